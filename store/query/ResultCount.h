// The rows of a search result, found by going through the table in ranges of ids, each range in
// a read transaction of its own. In rollback-journal mode a reader's shared lock keeps every
// commit waiting, this copy's and another's, so no range holds it for longer than a few
// milliseconds: a Post waits at most for the range being read.
//
// Only rows up to the largest id at the start count: rows another copy adds meanwhile don't
// join a result already open. The ids come in the result's order: by id, or by the sort key and
// then the id.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "query/SqlDialect.h"

namespace quorvel {

struct CountQuery {
    // The condition as SQL over "qv" (and "memo" when joinMemo), "?" for each parameter.
    std::string conditionSql;
    std::vector<SqlValue> parameters;
    bool joinMemo = false;
    // SQL of the sort key over "qv"; empty for a result in id order.
    std::string sortKey;
    std::int64_t firstId = 0;  // the smallest and largest id to go through
    std::int64_t lastId = -1;
};

class ResultCount {
  public:
    explicit ResultCount(CountQuery query);

    // Reads the next range, one read transaction of db (which must have no transaction open)
    // and the engine's LIKE installed. Returns true when the whole table has been gone
    // through. Throws EDBEngineError.
    bool readRange(sqlite3* db);
    // The ids up to upTo are known already (result order is id order): the first rows read.
    // Only before the first range.
    void knowHead(std::vector<std::int64_t> ids, std::int64_t upTo);
    // The ids from from on are known already (the last rows read, in id order): the count
    // ends before them and adds them. Any time before the count is complete.
    void knowTail(std::vector<std::int64_t> ids, std::int64_t from);
    // Reads every range at once, inside whatever transaction db has open.
    void readAll(sqlite3* db);
    bool complete() const { return complete_; }
    // The result's ids in its order, once complete.
    std::vector<std::int64_t> takeIds();
    // The longest time one range held its transaction.
    std::chrono::microseconds longestRange() const { return longest_; }

  private:
    void readIds(sqlite3* db, std::int64_t to);
    std::int64_t rangeEnd() const;

    CountQuery query_;
    std::string sql_;
    std::int64_t next_;        // the first id not yet gone through
    std::int64_t span_ = 256;  // ids a range covers, fitted to the time a range takes
    bool complete_ = false;
    std::vector<std::int64_t> ids_;
    std::vector<std::int64_t> tail_;  // known ids after query_.lastId
    // Sorted results: each id with its sort key (nullopt sorts first, as SQLite's NULL).
    std::vector<std::pair<std::optional<std::string>, std::int64_t>> keyed_;
    std::chrono::microseconds longest_{0};
};

}  // namespace quorvel
