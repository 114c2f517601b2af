// About how much work SQLite's integrity_check of one file is, so that its progress can be told.
// Its steps are mostly a walk over every row of each table, looking the row up in each of the
// table's indexes; how many steps of SQLite's machine a row takes depends on the table's
// columns, constraints and indexes and on SQLite's version. So it is learned, not assumed: on
// a copy of the file's schema in memory, with a few rows in each table in turn.
#pragma once

#include <sqlite3.h>

#include <cstdint>

namespace quorvel::check {

struct IntegrityEstimate {
    std::uint64_t rows = 0;   // the rows of all tables, by their largest row id
    std::uint64_t steps = 0;  // the machine steps the check will about take
};

// For schemaName of db; all zero when the schema can't be read (the check then says why).
IntegrityEstimate estimateIntegrity(sqlite3* db, const char* schemaName);

}  // namespace quorvel::check
