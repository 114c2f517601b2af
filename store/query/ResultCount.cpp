#include "query/ResultCount.h"

#include <algorithm>

#include "sqlite/SqliteStatement.h"

namespace quorvel {

namespace {

// A range should hold its transaction about this long: long enough that beginning one costs
// nothing beside it, short enough that a commit waiting for it doesn't notice.
constexpr std::chrono::microseconds targetRange{4000};
constexpr std::int64_t smallestSpan = 64;
constexpr std::int64_t largestSpan = std::int64_t{1} << 20;

}  // namespace

ResultCount::ResultCount(CountQuery query) : query_(std::move(query)), next_(query_.firstId) {
    sql_ = "SELECT qv.id";
    if (!query_.sortKey.empty()) {
        sql_ += ", " + query_.sortKey;
    }
    sql_ += " FROM main.qv";
    if (query_.joinMemo) {
        sql_ += " LEFT JOIN mb.memo ON memo.id = qv.id";
    }
    sql_ += " WHERE qv.id >= ? AND qv.id <= ?";
    if (!query_.conditionSql.empty()) {
        sql_ += " AND (" + query_.conditionSql + ")";
    }
    complete_ = query_.lastId < query_.firstId;
}

std::int64_t ResultCount::rangeEnd() const {
    // Counted unsigned: the distance between two ids may not fit a signed 64-bit number.
    const std::uint64_t left =
        static_cast<std::uint64_t>(query_.lastId) - static_cast<std::uint64_t>(next_);
    if (left < static_cast<std::uint64_t>(span_)) {
        return query_.lastId;
    }
    return next_ + (span_ - 1);
}

void ResultCount::readIds(sqlite3* db, std::int64_t to) {
    sqlite::Statement statement(db, sql_);
    statement.bind(1, next_);
    statement.bind(2, to);
    for (std::size_t i = 0; i < query_.parameters.size(); ++i) {
        statement.bind(static_cast<int>(i) + 3, query_.parameters[i]);
    }
    while (statement.step()) {
        const std::int64_t id = statement.integer(0);
        if (query_.sortKey.empty()) {
            ids_.push_back(id);
        } else {
            keyed_.emplace_back(statement.text(1), id);
        }
    }
}

bool ResultCount::readRange(sqlite3* db) {
    if (complete_) {
        return true;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t to = rangeEnd();
    {
        sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Read);
        readIds(db, to);
        transaction.commit();
    }
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    longest_ = std::max(longest_, took);
    if (took < targetRange / 2) {
        span_ = std::min(span_ * 2, largestSpan);
    } else if (took > targetRange * 2) {
        span_ = std::max(span_ / 2, smallestSpan);
    }
    if (to == query_.lastId) {
        complete_ = true;
        ids_.insert(ids_.end(), tail_.begin(), tail_.end());
        if (!query_.sortKey.empty()) {
            // SQLite orders blobs (and texts in binary order) bytewise, shorter first on a
            // common prefix, as std::string does.
            std::sort(keyed_.begin(), keyed_.end());
            ids_.reserve(keyed_.size());
            for (const auto& entry : keyed_) {
                ids_.push_back(entry.second);
            }
            keyed_.clear();
            keyed_.shrink_to_fit();
        }
    } else {
        next_ = to + 1;
    }
    return complete_;
}

void ResultCount::knowHead(std::vector<std::int64_t> ids, std::int64_t upTo) {
    if (!query_.sortKey.empty() || complete_ || next_ != query_.firstId || upTo < next_) {
        return;
    }
    ids_ = std::move(ids);
    if (upTo >= query_.lastId) {
        complete_ = true;
    } else {
        next_ = upTo + 1;
    }
}

void ResultCount::knowTail(std::vector<std::int64_t> ids, std::int64_t from) {
    if (!query_.sortKey.empty() || complete_ || !tail_.empty() || from > query_.lastId) {
        return;
    }
    if (from <= next_) {
        // Everything not yet read is in it.
        for (std::int64_t id : ids) {
            if (id >= next_) {
                ids_.push_back(id);
            }
        }
        complete_ = true;
        return;
    }
    query_.lastId = from - 1;
    tail_ = std::move(ids);
}

void ResultCount::readAll(sqlite3* db) {
    span_ = largestSpan;
    while (!readRange(db)) {
    }
}

std::vector<std::int64_t> ResultCount::takeIds() {
    return std::move(ids_);
}

}  // namespace quorvel
