// Whether each row's sort keys are the ones the program writes for its fields (engine/SortKey.h),
// read from the table alone (by row id, never through an index, so a damaged index can't hide
// a row). Two findings per keyed field: rows whose key is empty while the field is not (rows
// another program wrote, which sort among the empty fields), and rows whose key is some other
// key than the field's.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <vector>

#include "check/CheckFinding.h"

namespace quorvel::check {

// On qv.db as "main" of db, of the current format. Progress is told as base + units' worth of
// the rows read (by row id). A row that can't be read ends the walk with a finding of its own.
std::vector<CheckFinding> checkSortKeys(sqlite3* db, std::uint64_t units, std::uint64_t base,
                                        const CheckProgress& progress);

}  // namespace quorvel::check
