#include "query/KeyWalk.h"

#include <algorithm>
#include <cassert>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel {

using sqlite::ResetGuard;

KeyWalk::KeyWalk(Database& database, std::optional<int> sortColumn)
    : database_(database), sortColumn_(sortColumn.value_or(-1)) {}

KeyWalk::~KeyWalk() = default;

void KeyWalk::filterBy(std::string condition, std::vector<SqlValue> parameters, bool joinMemo,
                       std::int64_t lastId) {
    condition_ = std::move(condition);
    conditionParameters_ = std::move(parameters);
    joinMemo_ = joinMemo;
    lastId_ = lastId;
    filtered_ = true;
}

void KeyWalk::stopFiltering() {
    ownWritten_.clear();
    ownDeleted_.clear();
    statements_.clear();
    filtered_ = false;
}

void KeyWalk::ownWrite(std::int64_t id) {
    if (filtered_ && ownWritten_.insert(id).second) {
        statements_.clear();  // their rule names the rows written
    }
}

void KeyWalk::ownDelete(std::int64_t id) {
    if (!filtered_) {
        return;
    }
    ownDeleted_.insert(id);
    if (ownWritten_.erase(id) != 0) {
        statements_.clear();
    }
}

void KeyWalk::checkInvariants() const {
    assert(filtered_ || (ownWritten_.empty() && ownDeleted_.empty() && statements_.empty()));
    assert(!filtered_ || !condition_.empty());
}

std::string KeyWalk::rowSelect() const {
    std::string sql =
        "SELECT qv.id, qv.version, qv.vytisk, qv.cislo, qv.nejzajimavejsi_casti, "
        "EXISTS(SELECT 1 FROM mb.memo WHERE memo.id = qv.id), ";
    sql += idOrder() ? "''" : database_.sortExpression(sortColumn_);
    return sql + " FROM main.qv";
}

RowData KeyWalk::rowFrom(const sqlite::Statement& statement) const {
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

void KeyWalk::requireKeyOrder(const std::vector<RowData>& rows, const RowData* after,
                              const RowData* before) const {
    // SQLite compares the key blobs with memcmp, the shorter first on a common prefix, as
    // std::string compares.
    const auto less = [this](const RowData& a, const RowData& b) {
        if (!idOrder() && a.sortKey != b.sortKey) {
            return a.sortKey < b.sortKey;
        }
        return a.id < b.id;
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RowData* previous = i > 0 ? &rows[i - 1] : after;
        if ((previous != nullptr && !less(*previous, rows[i])) ||
            (before != nullptr && !less(rows[i], *before))) {
            const std::string detail =
                "File: " + (database_.directory() / schema::rowsFileName).string();
            throw EDBEngineError(engine_code::corruptFile, {{engine_code::corruptFile, 0, detail}});
        }
    }
}

std::vector<RowData> KeyWalk::query(const std::string& where, const std::string& order,
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

sqlite::Statement& KeyWalk::ownStatement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        found =
            statements_.emplace(sql, std::make_unique<sqlite::Statement>(database_.handle(), sql))
                .first;
    }
    return *found->second;
}

std::optional<RowData> KeyWalk::readById(std::int64_t id) {
    std::vector<RowData> rows =
        query("qv.id = ?", "qv.id", {static_cast<long long>(id)}, 1, 0, false);
    if (rows.empty()) {
        return std::nullopt;
    }
    return rows.front();
}

std::vector<RowData> KeyWalk::readEnd(Direction direction, std::size_t count) {
    const char* way = direction == Direction::Forward ? "" : " DESC";
    const std::string order = idOrder()
                                  ? std::string("qv.id") + way
                                  : database_.sortExpression(sortColumn_) + way + ", qv.id" + way;
    std::vector<RowData> rows = query({}, order, {}, count, 0);
    if (direction == Direction::Backward) {
        std::reverse(rows.begin(), rows.end());
    }
    requireKeyOrder(rows, nullptr, nullptr);
    return rows;
}

std::vector<RowData> KeyWalk::readBeside(Direction direction, const RowData& row, std::size_t count,
                                         std::size_t skip) {
    const bool forward = direction == Direction::Forward;
    // Read nearest first: ascending after the row, descending before it.
    const char* beyond = forward ? " > ?" : " < ?";
    const char* way = forward ? "" : " DESC";
    std::vector<RowData> rows;
    if (idOrder()) {
        rows = query(std::string("qv.id") + beyond, std::string("qv.id") + way,
                     {static_cast<long long>(row.id)}, count, skip);
    } else {
        // Rows with an equal sort value come in id order, then the values beyond.
        const std::string key = database_.sortExpression(sortColumn_);
        rows = query(key + " = ? AND qv.id" + beyond, std::string("qv.id") + way,
                     {SqlBlob{row.sortKey}, static_cast<long long>(row.id)}, count + skip, 0);
        const std::size_t equal = rows.size();
        rows.erase(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(std::min(skip, equal)));
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
    return rows;
}

}  // namespace quorvel
