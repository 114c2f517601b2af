#include "query/Cursor.h"

#include <algorithm>
#include <cassert>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "engine/RowInsert.h"
#include "engine/RowLocks.h"
#include "query/BackgroundCount.h"
#include "sqlite/SqliteStatement.h"
#include "text/LikePattern.h"

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

// The column a sorted result is walked by through its sort index, once the index is known to
// be sound; nullopt when the result is walked in id order.
std::optional<int> indexedOrder(Database& database, const ParsedSelect& select) {
    if (!select.orderColumn) {
        return std::nullopt;
    }
    database.settleSortIndexes();
    return database.hasSortIndex(*select.orderColumn) ? select.orderColumn : std::nullopt;
}

}  // namespace

std::unique_ptr<Cursor> Cursor::open(Database& database, std::string_view text, bool requestLive) {
    return std::make_unique<Cursor>(database, parseSelect(text), requestLive);
}

Cursor::Cursor(Database& database, ParsedSelect select, bool requestLive)
    : database_(database), walk_(database, indexedOrder(database, select)) {
    const Checked checked{*this};
    for (int column : select.columns) {
        const TableColumn& definition = schema::columns[column];
        fields_.push_back(
            {definition.fieldName, definition.type, definition.size, false, false, column});
    }
    live_ = requestLive && !select.orderColumn;
    if (select.orderColumn && walk_.idOrder()) {
        // Sorted on the whole result anyway, without an index: the sort numbers it.
        materialize(select);
        return;
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
    std::string sql = "SELECT qv.id FROM " + database_.rowsSource();
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
    std::vector<std::int64_t> ids;
    while (statement.step()) {
        ids.push_back(statement.integer(0));
    }
    statement.reset();
    numbering_.emplace(std::move(ids), !select.orderColumn, RowNumbering::dataVersion(database_));
    transaction.commit();
}

void Cursor::startCount(const ParsedSelect& select) {
    LikePattern::install(database_.handle());
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    CountQuery query{
        select.conditionSql, select.parameters, select.conditionUsesMemo,
        walk_.idOrder() ? std::string() : database_.sortExpression(walk_.sortColumn())};
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
    openedVersion_ = RowNumbering::dataVersion(database_);
    const std::int64_t lastId = query.lastId;
    const auto span =
        static_cast<std::uint64_t>(query.lastId) - static_cast<std::uint64_t>(query.firstId);
    if (query.lastId < query.firstId || span < countAtOnce) {
        // A small table is counted at once, as part of the opening.
        ResultCount count(std::move(query));
        count.readAll(database_.handle());
        numbering_.emplace(count.takeIds(), walk_.idOrder(), openedVersion_);
    } else {
        walk_.filterBy(select.conditionSql, select.parameters, select.conditionUsesMemo, lastId);
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
    if (firstRows != nullptr && !firstRows->empty() && walk_.idOrder() &&
        walk_.ownWritten().empty()) {
        for (const RowData& row : *firstRows) {
            head.push_back(row.id);
        }
        upTo = firstRows->back().id;
    }
    count_->begin(std::move(head), upTo);
}

void Cursor::wholeResultRead(std::vector<RowData>& rows) {
    count_.reset();
    std::vector<std::int64_t> ids;
    for (RowData& row : rows) {
        ids.push_back(row.id);
        row.recNo = static_cast<std::int64_t>(ids.size());
    }
    walk_.stopFiltering();
    numbering_.emplace(std::move(ids), walk_.idOrder(), RowNumbering::dataVersion(database_));
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
    const Checked checked{*this};
    if (!count_ || count_->outcome() == BackgroundCount::Outcome::Running) {
        return false;
    }
    const bool before = numbersRows();
    try {
        // Rows that another copy deleted since the opening leave at once.
        Transaction transaction(database_.handle(), Transaction::Kind::Read);
        refreshNumbering();
        transaction.commit();
    } catch (const EDBEngineError&) {
        // Nobody asked for this read: the next call looks again.
        adoptCount();
    }
    return numbersRows() && !before;
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
    const std::set<std::int64_t>& deleted = walk_.ownDeleted();
    ids.erase(std::remove_if(ids.begin(), ids.end(),
                             [&deleted](std::int64_t id) { return deleted.count(id) != 0; }),
              ids.end());
    for (std::int64_t id : walk_.ownWritten()) {
        // Written rows are those of a live result, which is in id order.
        const auto place = std::lower_bound(ids.begin(), ids.end(), id);
        if (place == ids.end() || *place != id) {
            ids.insert(place, id);
        }
    }
    walk_.stopFiltering();
    // Its version is the opening's: what any other copy committed since is looked for at the
    // next read.
    numbering_.emplace(std::move(ids), walk_.idOrder(), openedVersion_);
    return true;
}

std::chrono::microseconds Cursor::longestCountRange() const {
    return count_ ? count_->longestRange() : std::chrono::microseconds(0);
}

void Cursor::refreshNumbering() {
    adoptCount();
    if (numbering_) {
        numbering_->refresh(database_);
    }
}

std::vector<RowData> Cursor::readNumbered(Direction direction, std::int64_t from,
                                          std::size_t count) {
    return numbering_->read(direction, from, count,
                            [this](std::int64_t id) { return walk_.readById(id); });
}

void Cursor::checkInvariants() const {
#ifndef NDEBUG
    assert(!numbering_ || (!walk_.filtered() && !count_));
    assert(!live_ || walk_.idOrder());
    walk_.checkInvariants();
    if (numbering_) {
        numbering_->checkInvariants();
    }
#endif
}

std::int64_t Cursor::numberOf(const RowData& row) const {
    if (!numbering_) {
        return 0;
    }
    const std::optional<std::int64_t> position = numbering_->positionOf(row);
    return position ? *position + 1 : 0;
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
    const Checked checked{*this};
    const bool forward = direction == Direction::Forward;
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::vector<RowData> rows = numbering_
                                    ? readNumbered(direction, forward ? 0 : rowCount(), count)
                                    : walk_.readEnd(direction, count);
    if (walk_.filtered() && rows.size() < count) {
        wholeResultRead(rows);
    } else if (!forward && count_ && !rows.empty() && walk_.idOrder() &&
               walk_.ownWritten().empty()) {
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
    const Checked checked{*this};
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::vector<RowData> rows;
    if (numbering_) {
        const auto skipped = static_cast<std::int64_t>(skip);
        const std::optional<std::int64_t> position = numbering_->positionOf(row);
        const std::int64_t gap = RowNumbering::gapOf(row);
        rows = direction == Direction::Forward
                   ? readNumbered(direction, (position ? *position + 1 : gap) + skipped, count)
                   : readNumbered(direction, position.value_or(gap) - skipped, count);
    } else {
        rows = walk_.readBeside(direction, row, count, skip);
    }
    transaction.commit();
    beginCount();
    return rows;
}

std::optional<RowData> Cursor::readRow(const RowData& row) {
    const Checked checked{*this};
    // By id alone, 0 included: SQLite allows a row with id 0. A new row is never asked for.
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    std::optional<RowData> fresh;
    if (numbering_) {
        if (const std::optional<std::int64_t> position = numbering_->positionOf(row)) {
            fresh = walk_.readById(row.id);
            if (fresh) {
                fresh->recNo = *position + 1;
            }
        }
    } else {
        fresh = walk_.readById(row.id);
    }
    transaction.commit();
    beginCount();
    return fresh;
}

std::optional<RowData> Cursor::readNumber(std::int64_t recNo) {
    const Checked checked{*this};
    if (!numbering_) {
        return std::nullopt;
    }
    Transaction transaction(database_.handle(), Transaction::Kind::Read);
    refreshNumbering();
    // Checked only now: rows deleted elsewhere have just left the count.
    std::vector<RowData> rows;
    if (recNo >= 1 && recNo <= rowCount()) {
        rows = readNumbered(Direction::Forward, recNo - 1, 1);
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
    const Checked checked{*this};
    requireLive();
    if (!database_.rowLocks().tryLock(row.id)) {
        fail(engine_code::recordLocked);
    }
    const bool heldBefore = !locked_.insert(row.id).second;
    std::optional<RowData> fresh;
    try {
        fresh = readRow(row);
        if (!fresh && !numbering_) {
            fail(engine_code::recordNotFound);
        }
        if (!fresh) {
            // Still in the table, maybe, but no longer among this result's rows.
            fresh = walk_.readById(row.id);
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
    const std::optional<RowData> inTable = walk_.readById(id);
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
    const Checked checked{*this};
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
        doubtfulInsert_ ? walk_.readById(*doubtfulInsert_) : std::nullopt;
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
    std::optional<RowData> fresh = walk_.readById(written.id);
    assert(fresh.has_value());
    try {
        commitWrite(transaction, [&] { return holdsWritten(written.id, row); });
    } catch (const EDBEngineError&) {
        doubtfulInsert_ = written.id;
        throw;
    }
    doubtfulInsert_.reset();
    if (numbering_) {
        numbering_->committed(database_);
        numbering_->append(written.id);
        fresh->recNo = rowCount();
    } else {
        walk_.ownWrite(written.id);
    }
    fresh->memo = RowInsert::stored(row.memo);
    fresh->memoLoaded = row.memoLoaded || row.memoChanged;
    return *fresh;
}

RowData Cursor::modifyRow(const RowData& row) {
    const Checked checked{*this};
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
        const std::optional<RowData> inTable = walk_.readById(row.id);
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
    std::optional<RowData> fresh = walk_.readById(row.id);
    assert(fresh.has_value());
    // Nobody else changes the row while this copy holds its lock: the next version is ours.
    try {
        commitWrite(transaction, [&] {
            const std::optional<RowData> inTable = walk_.readById(row.id);
            return inTable && inTable->version == fresh->version && holdsWritten(row.id, row);
        });
    } catch (const EDBEngineError&) {
        doubtfulEdit_ = row.id;
        throw;
    }
    doubtfulEdit_.reset();
    if (numbering_) {
        numbering_->committed(database_);
    }
    walk_.ownWrite(row.id);
    unlockRow(row);
    fresh->recNo = numberOf(row);
    if (row.memoLoaded || row.memoChanged) {
        fresh->memo = RowInsert::stored(row.memo);
        fresh->memoLoaded = true;
    }
    return *fresh;
}

void Cursor::deleteRow(const RowData& row) {
    const Checked checked{*this};
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
            commitWrite(transaction, [&] { return !walk_.readById(row.id); });
            if (numbering_) {
                numbering_->committed(database_);
            }
        }
        unlockRow(row);
        if (numbering_) {
            if (const std::optional<std::int64_t> position = numbering_->positionOf(row)) {
                numbering_->erase(*position);
            }
        } else {
            walk_.ownDelete(row.id);
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
