// SQLite's own integrity_check on one of the files. Besides every page, record and free page,
// it checks each index against its table: that every row has its entry in each index, with the
// key the row's values give, and that no index holds more entries than the table has rows. So
// a sort index that reads without an error but lacks or misplaces a row is found here.
//
// Its lines are grouped into findings in plain words: rows missing from an index, counted per
// index; an index holding a wrong number of entries; and every other fault of pages and
// records, counted, with SQLite's first line quoted.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <vector>

#include "check/CheckFinding.h"
#include "check/IntegrityEstimate.h"

namespace quorvel::check {

// On schemaName ("main" or "mb") of db, the file being file (its name, for the findings).
// Progress is told as base + the share of estimate's steps taken, in estimate's rows. SQLite
// checks the pages of a file in one step that can't tell progress, so it pauses meanwhile.
std::vector<CheckFinding> checkIntegrity(sqlite3* db, const char* schemaName, const char* file,
                                         const IntegrityEstimate& estimate, std::uint64_t base,
                                         const CheckProgress& progress);

}  // namespace quorvel::check
