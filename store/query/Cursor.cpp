#include "query/Cursor.h"

#include <algorithm>
#include <cassert>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "engine/RowInsert.h"
#include "query/BackgroundCount.h"
#include "sqlite/SqliteStatement.h"
#include "text/LikePattern.h"
#include "text/Utf8.h"

namespace quorvel {

namespace {

using sqlite::ResetGuard;
using sqlite::Transaction;

// A search over a table whose ids span fewer than this is counted in its opening: the count
// costs less than starting a thread for it.
constexpr std::uint64_t countAtOnce = 1024;

[[noreturn]] void fail(EngineCode code, const std::string& detail = {}) {
    std::vector<EngineErrorEntry> entries;
    if (!detail.empty()) {
        entries.push_back({code, 0, detail});
    }
    throw EDBEngineError(code, std::move(entries));
}

}  // namespace

Cursor::Cursor(Database& database, ParsedSelect select, bool requestLive) : database_(database) {
    for (int column : select.columns) {
        const TableColumn& definition = schema::columns[column];
        fields_.push_back(
            {definition.fieldName, definition.type, definition.size, false, false, column});
    }
    live_ = requestLive && !select.orderColumn;
    const bool indexedOrder = select.orderColumn && database_.hasSortIndex(*select.orderColumn);
    idsAscending_ = !select.orderColumn;
    if (select.orderColumn && !indexedOrder) {
        // Sorted on the whole result anyway: the sort numbers it.
        numbered_ = true;
        materialize(select);
        return;
    }
    if (select.orderColumn) {
        idOrder_ = false;
        sortColumn_ = *select.orderColumn;
    }
    if (!select.conditionSql.empty()) {
        startCount(select);
    }
}

Cursor::~Cursor() {
    count_.reset();  // stops the count before anything it was given goes
    for (std::int64_t id : locked_) {
        database_.rowLocks().unlock(id);
    }
}

void Cursor::materialize(const ParsedSelect& select) {
    const bool joinMemo =
        select.conditionUsesMemo || select.orderColumn == std::optional<int>(schema::memoColumn);
    std::string sql = "SELECT qv.id FROM main.qv";
    if (joinMemo) {
        sql += " LEFT JOIN mb.memo ON memo.id = qv.id";
    }
    if (!select.conditionSql.empty()) {
        sql += " WHERE " + select.conditionSql;
    }
    sql += " ORDER BY ";
    if (select.orderColumn) {
        sql += database_.sortExpression(*select.orderColumn) + ", ";
    }
    sql += "qv.id";
    // The condition is evaluated here alone, with the engine's own LIKE.
    LikePattern::install(database_.handle());
    // Prepared for this result only: the condition differs with every search.
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    sqlite::Statement statement(database_.handle(), sql);
    for (std::size_t i = 0; i < select.parameters.size(); ++i) {
        statement.bind(static_cast<int>(i) + 1, select.parameters[i]);
    }
    while (statement.step()) {
        ids_.push_back(statement.integer(0));
    }
    statement.reset();
    seenVersion_ = dataVersion();
    transaction.commit();
}

void Cursor::startCount(const ParsedSelect& select) {
    LikePattern::install(database_.handle());
    condition_ = select.conditionSql;
    conditionParameters_ = select.parameters;
    joinMemo_ = select.conditionUsesMemo;
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    CountQuery query{condition_, conditionParameters_, joinMemo_,
                     idOrder_ ? std::string() : database_.sortExpression(sortColumn_)};
    {
        sqlite::Statement& span = database_.statement(
            // Apart, as SQLite finds a lone min() or max() at an end of the b-tree.
            "SELECT (SELECT min(id) FROM main.qv), (SELECT max(id) FROM main.qv)");
        ResetGuard guard(span);
        if (span.step() && !span.isNull(0)) {
            query.firstId = span.integer(0);
            query.lastId = span.integer(1);
        }
    }
    // Rows another copy adds from now on don't join; a change any other copy commits from now
    // on is looked for when the count is taken.
    seenVersion_ = dataVersion();
    lastId_ = query.lastId;
    const auto span =
        static_cast<std::uint64_t>(query.lastId) - static_cast<std::uint64_t>(query.firstId);
    if (query.lastId < query.firstId || span < countAtOnce) {
        // A small table is counted at once, as part of the opening.
        ResultCount count(std::move(query));
        count.readAll(database_.handle());
        ids_ = count.takeIds();
        numbered_ = true;
    } else {
        filtered_ = true;
        try {
            count_ = std::make_unique<BackgroundCount>(
                database_.countConnection(), std::move(query), database_.beforeCountRange());
        } catch (const EDBEngineError&) {
            // No connection to count on: the result goes on unnumbered, as after a failed count.
        }
    }
    transaction.commit();
}

void Cursor::beginCount(const std::vector<RowData>* firstRows) {
    if (!count_) {
        return;
    }
    std::vector<std::int64_t> head;
    std::int64_t upTo = 0;
    // The first rows in id order, read from the start: every row of the result up to the last
    // of them. Rows this copy wrote may stand among them out of that rule.
    if (firstRows != nullptr && !firstRows->empty() && idOrder_ && ownWritten_.empty()) {
        for (const RowData& row : *firstRows) {
            head.push_back(row.id);
        }
        upTo = firstRows->back().id;
    }
    count_->begin(std::move(head), upTo);
}

void Cursor::wholeResultRead(std::vector<RowData>& rows) {
    count_.reset();
    ids_.clear();
    for (RowData& row : rows) {
        ids_.push_back(row.id);
        row.recNo = static_cast<std::int64_t>(ids_.size());
    }
    ownWritten_.clear();
    ownDeleted_.clear();
    statements_.clear();
    filtered_ = false;
    numbered_ = true;
    seenVersion_ = dataVersion();
}

bool Cursor::counting() const {
    return count_ != nullptr;
}

void Cursor::stopCount() {
    if (count_) {
        count_->stop();
    }
}

bool Cursor::waitForCount(std::chrono::milliseconds timeout) {
    beginCount();  // whoever waits for it needs no first screen before it
    return count_ && count_->wait(timeout) == BackgroundCount::Outcome::Complete;
}

bool Cursor::takeCount() {
    if (!count_ || count_->outcome() == BackgroundCount::Outcome::Running) {
        return false;
    }
    const bool before = numbered_;
    try {
        // Rows that another copy deleted since the opening leave at once.
        Transaction transaction(database_.handle(), Transaction::Kind::Read);
        refreshNumbering();
        transaction.commit();
    } catch (const EDBEngineError&) {
        // Nobody asked for this read: the next call looks again.
        adoptCount();
    }
    return numbered_ && !before;
}

bool Cursor::adoptCount() {
    if (!count_ || count_->outcome() == BackgroundCount::Outcome::Running) {
        return false;
    }
    if (count_->outcome() == BackgroundCount::Outcome::Failed) {
        count_.reset();  // the result goes on unnumbered
        return false;
    }
    std::vector<std::int64_t> ids = count_->takeIds();
    count_.reset();
    // This copy's own changes since the opening stand as they do in a numbered result: its
    // deleted rows leave, the rows it added or changed stay where the walk showed them.
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [this](std::int64_t id) { return ownDeleted_.count(id) != 0; }),
              ids.end());
    for (std::int64_t id : ownWritten_) {
        // Written rows are those of a live result, which is in id order.
        const auto place = std::lower_bound(ids.begin(), ids.end(), id);
        if (place == ids.end() || *place != id) {
            ids.insert(place, id);
        }
    }
    ids_ = std::move(ids);
    ownWritten_.clear();
    ownDeleted_.clear();
    statements_.clear();
    filtered_ = false;
    numbered_ = true;
    // seenVersion_ is still the opening's: what any other copy committed since is looked for
    // at the next read.
    return true;
}

std::chrono::microseconds Cursor::longestCountRange() const {
    return count_ ? count_->longestRange() : std::chrono::microseconds(0);
}

unsigned Cursor::dataVersion() const {
    unsigned version = 0;
    if (sqlite3_file_control(database_.handle(), "main", SQLITE_FCNTL_DATA_VERSION, &version) !=
        SQLITE_OK) {
        return seenVersion_ + 1;  // unknown: as if changed, so the numbering is checked
    }
    return version;
}

void Cursor::refreshNumbering() {
    adoptCount();
    if (!numbered_) {
        return;
    }
    // SQLite learns of other connections' commits when a read first looks at the file.
    {
        sqlite::Statement& probe = database_.statement("SELECT id FROM main.qv LIMIT 1");
        ResetGuard guard(probe);
        probe.step();
    }
    const unsigned version = dataVersion();
    if (version == seenVersion_) {
        return;
    }
    // Few ids are looked up one by one; many against one pass over the table's ids.
    constexpr std::size_t lookUpOneByOne = 4096;
    std::vector<std::int64_t> present;
    if (ids_.size() <= lookUpOneByOne) {
        sqlite::Statement& exists = database_.statement("SELECT 1 FROM main.qv WHERE id = ?");
        for (std::int64_t id : ids_) {
            ResetGuard guard(exists);
            exists.bind(1, id);
            if (exists.step()) {
                present.push_back(id);
            }
        }
        ids_ = std::move(present);
    } else {
        sqlite::Statement& all = database_.statement("SELECT id FROM main.qv ORDER BY id");
        {
            ResetGuard guard(all);
            while (all.step()) {
                present.push_back(all.integer(0));
            }
        }
        ids_.erase(std::remove_if(ids_.begin(), ids_.end(),
                                  [&present](std::int64_t id) {
                                      return !std::binary_search(present.begin(), present.end(),
                                                                 id);
                                  }),
                   ids_.end());
    }
    seenVersion_ = version;
}

void Cursor::ownWrite(std::int64_t id) {
    if (filtered_ && ownWritten_.insert(id).second) {
        statements_.clear();  // their rule names the rows written
    }
}

void Cursor::numberingCommitted() {
    if (numbered_) {
        seenVersion_ = dataVersion();
    }
}

std::string Cursor::rowSelect() const {
    std::string sql =
        "SELECT qv.id, qv.version, qv.vytisk, qv.cislo, qv.nejzajimavejsi_casti, "
        "EXISTS(SELECT 1 FROM mb.memo WHERE memo.id = qv.id), ";
    sql += idOrder_ ? "''" : database_.sortExpression(sortColumn_);
    return sql + " FROM main.qv";
}

RowData Cursor::rowFrom(const sqlite::Statement& statement) const {
    RowData row;
    row.id = statement.integer(0);
    row.version = statement.integer(1);
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        row.strings[c] = statement.text(2 + c);
    }
    row.memoStored = statement.integer(5) != 0;
    row.sortKey = statement.blob(6);
    return row;
}

void Cursor::requireKeyOrder(const std::vector<RowData>& rows, const RowData* after,
                             const RowData* before) const {
    // SQLite compares the key blobs with memcmp, the shorter first on a common prefix, as
    // std::string compares.
    const auto less = [this](const RowData& a, const RowData& b) {
        if (!idOrder_ && a.sortKey != b.sortKey) {
            return a.sortKey < b.sortKey;
        }
        return a.id < b.id;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowData* previous = i > 0 ? &rows[i - 1] : after;
        if ((previous != nullptr && !less(*previous, rows[i])) ||
            (before != nullptr && !less(rows[i], *before))) {
            fail(engine_code::corruptFile,
                 "File: " + (database_.directory() / schema::rowsFileName).string());
        }
    }
}

std::vector<RowData> Cursor::query(const std::string& where, const std::string& order,
                                   const std::vector<SqlValue>& values, std::size_t count,
                                   std::size_t skip, bool byCondition) {
    std::vector<RowData> rows;
    if (count == 0) {
        return rows;
    }
    std::string sql = rowSelect();
    std::vector<SqlValue> bound;
    std::string conditions = where;
    const bool filter = byCondition && filtered_;
    if (filter) {
        if (joinMemo_) {
            sql += " LEFT JOIN mb.memo ON memo.id = qv.id";
        }
        // The result's rows: those of the opening that hold the condition, and the rows this
        // copy wrote since, whatever they hold now.
        std::string rule = "(qv.id <= ? AND (" + condition_ + "))";
        if (!ownWritten_.empty()) {
            rule = "(" + rule + " OR qv.id IN (";
            for (auto id = ownWritten_.begin(); id != ownWritten_.end(); ++id) {
                if (id != ownWritten_.begin()) {
                    rule += ',';
                }
                rule += std::to_string(*id);
            }
            rule += "))";
        }
        conditions = where.empty() ? rule : rule + " AND " + where;
        bound.emplace_back(static_cast<long long>(lastId_));
        bound.insert(bound.end(), conditionParameters_.begin(), conditionParameters_.end());
    }
    bound.insert(bound.end(), values.begin(), values.end());
    if (!conditions.empty()) {
        sql += " WHERE " + conditions;
    }
    sql += " ORDER BY " + order + " LIMIT ? OFFSET ?";
    // A search's statements are its own: kept with the database they would pile up.
    sqlite::Statement& statement = filter ? ownStatement(sql) : database_.statement(sql);
    ResetGuard guard(statement);
    int index = 1;
    for (const SqlValue& value : bound) {
        statement.bind(index++, value);
    }
    statement.bind(index++, static_cast<std::int64_t>(count));
    statement.bind(index, static_cast<std::int64_t>(skip));
    while (statement.step()) {
        rows.push_back(rowFrom(statement));
    }
    return rows;
}

sqlite::Statement& Cursor::ownStatement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        found =
            statements_.emplace(sql, std::make_unique<sqlite::Statement>(database_.handle(), sql))
                .first;
    }
    return *found->second;
}

std::optional<RowData> Cursor::readById(std::int64_t id) {
    std::vector<RowData> rows =
        query("qv.id = ?", "qv.id", {static_cast<long long>(id)}, 1, 0, false);
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::vector<RowData> Cursor::readForward(std::int64_t start, std::size_t count) {
    std::vector<RowData> rows;
    std::int64_t position = std::max<std::int64_t>(start, 0);
    while (rows.size() < count && position < rowCount()) {
        if (std::optional<RowData> row = readById(ids_[static_cast<std::size_t>(position)])) {
            row->recNo = position + 1;
            rows.push_back(std::move(*row));
            ++position;
        } else {
            ids_.erase(ids_.begin() + position);
        }
    }
    return rows;
}

std::vector<RowData> Cursor::readBackward(std::int64_t end, std::size_t count) {
    std::vector<RowData> rows;  // nearest first, turned round at the end
    std::int64_t position = std::min<std::int64_t>(end, rowCount()) - 1;
    while (rows.size() < count && position >= 0) {
        if (std::optional<RowData> row = readById(ids_[static_cast<std::size_t>(position)])) {
            row->recNo = position + 1;
            rows.push_back(std::move(*row));
        } else {
            ids_.erase(ids_.begin() + position);
            for (RowData& later : rows) {
                --later.recNo;
            }
        }
        --position;
    }
    std::reverse(rows.begin(), rows.end());
    return rows;
}

std::optional<std::int64_t> Cursor::positionOf(const RowData& row) const {
    const std::int64_t guess = row.recNo - 1;
    if (guess >= 0 && guess < rowCount() && ids_[guess] == row.id) {
        return guess;
    }
    if (idsAscending_) {
        const auto found = std::lower_bound(ids_.begin(), ids_.end(), row.id);
        if (found != ids_.end() && *found == row.id) {
            return found - ids_.begin();
        }
        return std::nullopt;
    }
    const auto found = std::find(ids_.begin(), ids_.end(), row.id);
    if (found != ids_.end()) {
        return found - ids_.begin();
    }
    return std::nullopt;
}

std::int64_t Cursor::numberOf(const RowData& row) const {
    if (!numbered_) {
        return 0;
    }
    const std::optional<std::int64_t> position = positionOf(row);
    return position ? *position + 1 : 0;
}

std::int64_t Cursor::gapOf(const RowData& row) {
    return std::max<std::int64_t>(row.recNo - 1, 0);
}

std::vector<RowData> Cursor::readFirst(std::size_t count) {
    return readEnd(Direction::Forward, count);
}

std::vector<RowData> Cursor::readLast(std::size_t count) {
    return readEnd(Direction::Backward, count);
}

std::vector<RowData> Cursor::readAfter(const RowData& row, std::size_t count, std::size_t skip) {
    return readBeside(Direction::Forward, row, count, skip);
}

std::vector<RowData> Cursor::readBefore(const RowData& row, std::size_t count, std::size_t skip) {
    return readBeside(Direction::Backward, row, count, skip);
}

std::vector<RowData> Cursor::readEnd(Direction direction, std::size_t count) {
    const bool forward = direction == Direction::Forward;
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::vector<RowData> rows;
    if (numbered_) {
        rows = forward ? readForward(0, count) : readBackward(rowCount(), count);
    } else {
        const char* way = forward ? "" : " DESC";
        const std::string order =
            idOrder_ ? std::string("qv.id") + way
                     : database_.sortExpression(sortColumn_) + way + ", qv.id" + way;
        rows = query({}, order, {}, count, 0);
        if (!forward) {
            std::reverse(rows.begin(), rows.end());
        }
        requireKeyOrder(rows, nullptr, nullptr);
    }
    if (filtered_ && rows.size() < count) {
        wholeResultRead(rows);
    } else if (!forward && count_ && !rows.empty() && idOrder_ && ownWritten_.empty()) {
        // Every row of the result from the first of these on: the count needn't read them.
        std::vector<std::int64_t> tail;
        for (const RowData& row : rows) {
            tail.push_back(row.id);
        }
        count_->knowTail(std::move(tail), rows.front().id);
    }
    transaction.commit();
    // Rows read from the start are the result's first: the count needn't read them either.
    beginCount(forward ? &rows : nullptr);
    return rows;
}

std::vector<RowData> Cursor::readBeside(Direction direction, const RowData& row, std::size_t count,
                                        std::size_t skip) {
    const bool forward = direction == Direction::Forward;
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::vector<RowData> rows;
    const auto skipped = static_cast<std::int64_t>(skip);
    if (numbered_) {
        const std::optional<std::int64_t> position = positionOf(row);
        rows = forward ? readForward((position ? *position + 1 : gapOf(row)) + skipped, count)
                       : readBackward(position.value_or(gapOf(row)) - skipped, count);
    } else {
        // Read nearest first: ascending after the row, descending before it.
        const char* beyond = forward ? " > ?" : " < ?";
        const char* way = forward ? "" : " DESC";
        if (idOrder_) {
            rows = query(std::string("qv.id") + beyond, std::string("qv.id") + way,
                         {static_cast<long long>(row.id)}, count, skip);
        } else {
            // Rows with an equal sort value come in id order, then the values beyond.
            const std::string key = database_.sortExpression(sortColumn_);
            rows = query(key + " = ? AND qv.id" + beyond, std::string("qv.id") + way,
                         {SqlBlob{row.sortKey}, static_cast<long long>(row.id)}, count + skip, 0);
            const std::size_t equal = rows.size();
            rows.erase(rows.begin(),
                       rows.begin() + static_cast<std::ptrdiff_t>(std::min(skip, equal)));
            if (rows.size() < count) {
                std::vector<RowData> further =
                    query(key + beyond, key + way + ", qv.id" + way, {SqlBlob{row.sortKey}},
                          count - rows.size(), skip > equal ? skip - equal : 0);
                rows.insert(rows.end(), further.begin(), further.end());
            }
        }
        if (!forward) {
            std::reverse(rows.begin(), rows.end());
        }
        requireKeyOrder(rows, forward ? &row : nullptr, forward ? nullptr : &row);
    }
    transaction.commit();
    beginCount();
    return rows;
}

std::optional<RowData> Cursor::readRow(const RowData& row) {
    // By id alone, 0 included: SQLite allows a row with id 0. A new row is never asked for.
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::optional<RowData> fresh;
    if (numbered_) {
        if (const std::optional<std::int64_t> position = positionOf(row)) {
            fresh = readById(row.id);
            if (fresh) {
                fresh->recNo = *position + 1;
            }
        }
    } else {
        fresh = readById(row.id);
    }
    transaction.commit();
    beginCount();
    return fresh;
}

std::optional<RowData> Cursor::readNumber(std::int64_t recNo) {
    if (!numbered_) {
        return std::nullopt;
    }
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    // Checked only now: rows deleted elsewhere have just left the count.
    std::vector<RowData> rows;
    if (recNo >= 1 && recNo <= rowCount()) {
        rows = readForward(recNo - 1, 1);
    }
    transaction.commit();
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::optional<std::string> Cursor::readMemo(std::int64_t id) {
    sqlite::Statement& statement = database_.statement("SELECT obsah FROM mb.memo WHERE id = ?");
    ResetGuard guard(statement);
    statement.bind(1, id);
    if (!statement.step()) {
        return std::nullopt;
    }
    return RowInsert::stored(statement.text(0));
}

void Cursor::requireLive() const {
    if (!live_) {
        fail(engine_code::readOnlyCursor);
    }
    database_.requireWritable();
}

RowData Cursor::lockRow(const RowData& row) {
    requireLive();
    if (!database_.rowLocks().tryLock(row.id)) {
        fail(engine_code::recordLocked);
    }
    const bool heldBefore = !locked_.insert(row.id).second;
    std::optional<RowData> fresh;
    try {
        fresh = readRow(row);
        if (!fresh && !numbered_) {
            fail(engine_code::recordNotFound);
        }
        if (!fresh) {
            // Still in the table, maybe, but no longer among this result's rows.
            fresh = readById(row.id);
            if (!fresh) {
                fail(engine_code::recordNotFound);
            }
            fresh->recNo = row.recNo;
        }
    } catch (...) {
        if (!heldBefore) {
            unlockRow(row);
        }
        throw;
    }
    return *fresh;
}

void Cursor::unlockRow(const RowData& row) {
    if (locked_.erase(row.id) != 0) {
        database_.rowLocks().unlock(row.id);
    }
}

RowData Cursor::newRow() const {
    return RowData{};
}

void Cursor::writeMemo(const RowData& row) {
    database_.rowInsert().writeMemo(row.id, row.memo);
}

void Cursor::commitWrite(Transaction& transaction, const std::function<bool()>& landed) {
    try {
        transaction.commit();
    } catch (const EDBEngineError&) {
        // Still inside the transaction (a busy COMMIT keeps it open): the change seen would be
        // our own, not yet in the table, and it is rolled back.
        if (sqlite3_get_autocommit(database_.handle()) == 0) {
            throw;
        }
        bool inTable = false;
        try {
            inTable = landed();
        } catch (const EDBEngineError&) {
            // Can't tell: the commit's own failure is the one to report.
        }
        if (!inTable) {
            throw;
        }
    }
}

bool Cursor::holdsWritten(std::int64_t id, const RowData& row) {
    const std::optional<RowData> inTable = readById(id);
    if (!inTable) {
        return false;
    }
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        if (inTable->strings[c] != RowInsert::stored(row.strings[c])) {
            return false;
        }
    }
    return !row.memoChanged || readMemo(id) == RowInsert::stored(row.memo);
}

RowData Cursor::insertRow(const RowData& row) {
    requireLive();
    const RowInsert::Texts texts = RowInsert::textsOf(row);
    RowInsert::checkSizes(texts);
    RowInsert& writer = database_.rowInsert();
    Transaction transaction(database_.handle(), Transaction::Kind::Write);
    refreshNumbering();
    RowData written = row;
    // An earlier Post of this new row failed in doubt and its row is in the table after all:
    // taken as written when it holds these values, else given them; never added twice.
    const std::optional<RowData> doubtful =
        doubtfulInsert_ ? readById(*doubtfulInsert_) : std::nullopt;
    if (doubtful && holdsWritten(doubtful->id, row)) {
        written.id = doubtful->id;
    } else if (doubtful) {
        written.id = doubtful->id;
        writer.update(written.id, doubtful->version, texts);
        if (row.memoChanged) {
            writeMemo(written);
        }
    } else {
        written.id = writer.insert(texts, row.memoChanged && row.memo
                                              ? std::optional<std::string_view>(*row.memo)
                                              : std::nullopt);
    }
    std::optional<RowData> fresh = readById(written.id);
    assert(fresh.has_value());
    try {
        commitWrite(transaction, [&] { return holdsWritten(written.id, row); });
    } catch (const EDBEngineError&) {
        doubtfulInsert_ = written.id;
        throw;
    }
    doubtfulInsert_.reset();
    numberingCommitted();
    if (numbered_) {
        ids_.push_back(written.id);
        fresh->recNo = rowCount();
    } else {
        ownWrite(written.id);
    }
    fresh->memo = RowInsert::stored(row.memo);
    fresh->memoLoaded = row.memoLoaded || row.memoChanged;
    return *fresh;
}

RowData Cursor::modifyRow(const RowData& row) {
    requireLive();
    const RowInsert::Texts texts = RowInsert::textsOf(row);
    RowInsert::checkSizes(texts);
    RowInsert& writer = database_.rowInsert();
    Transaction transaction(database_.handle(), Transaction::Kind::Write);
    refreshNumbering();
    // Writes row's values over the given version; whether that version was there.
    const auto update = [&](std::int64_t version) { return writer.update(row.id, version, texts); };
    bool inAlready = false;
    if (!update(row.version)) {
        const std::optional<RowData> inTable = readById(row.id);
        if (!inTable) {
            fail(engine_code::recordNotFound);
        }
        // Posted again after a commit that failed in doubt: the row lock, still held, kept
        // everyone else away, so the next version is that commit's. Taken as written when it
        // holds these values, else given them.
        if (doubtfulEdit_ != row.id || locked_.count(row.id) == 0 ||
            inTable->version != row.version + 1) {
            fail(engine_code::recordChanged);
        }
        inAlready = holdsWritten(row.id, row);
        if (!inAlready) {
            update(inTable->version);
        }
    }
    if (row.memoChanged && !inAlready) {
        writeMemo(row);
    }
    std::optional<RowData> fresh = readById(row.id);
    assert(fresh.has_value());
    // Nobody else changes the row while this copy holds its lock: the next version is ours.
    try {
        commitWrite(transaction, [&] {
            const std::optional<RowData> inTable = readById(row.id);
            return inTable && inTable->version == fresh->version && holdsWritten(row.id, row);
        });
    } catch (const EDBEngineError&) {
        doubtfulEdit_ = row.id;
        throw;
    }
    doubtfulEdit_.reset();
    numberingCommitted();
    ownWrite(row.id);
    unlockRow(row);
    fresh->recNo = numbered_ ? numberOf(row) : 0;
    if (row.memoLoaded || row.memoChanged) {
        fresh->memo = RowInsert::stored(row.memo);
        fresh->memoLoaded = true;
    }
    return *fresh;
}

void Cursor::deleteRow(const RowData& row) {
    requireLive();
    const bool heldBefore = locked_.count(row.id) != 0;
    if (!database_.rowLocks().tryLock(row.id)) {
        fail(engine_code::recordLocked);
    }
    locked_.insert(row.id);
    try {
        Transaction transaction(database_.handle(), Transaction::Kind::Write);
        refreshNumbering();
        sqlite::Statement& remove = database_.statement("DELETE FROM main.qv WHERE id = ?");
        {
            ResetGuard guard(remove);
            remove.bind(1, row.id);
            remove.step();
        }
        const bool found = sqlite3_changes(database_.handle()) != 0;
        if (found) {
            RowData withoutMemo = row;
            withoutMemo.memo.reset();
            writeMemo(withoutMemo);
            commitWrite(transaction, [&] { return !readById(row.id); });
            numberingCommitted();
        }
        unlockRow(row);
        if (numbered_) {
            if (const std::optional<std::int64_t> position = positionOf(row)) {
                ids_.erase(ids_.begin() + *position);
            }
        } else if (filtered_) {
            ownDeleted_.insert(row.id);
            if (ownWritten_.erase(row.id) != 0) {
                statements_.clear();
            }
        }
        if (!found) {
            fail(engine_code::recordNotFound);
        }
    } catch (const EDBEngineError& error) {
        if (!error.isNotFound() && !heldBefore) {
            unlockRow(row);
        }
        throw;
    }
}

}  // namespace quorvel
