// Whether every memo in qv.mb belongs to a row of qv.db. A row without a memo is normal (an
// empty memo is stored as none); a memo without its row is left over from a damaged or foreign
// write, and no one can see it.
#pragma once

#include <sqlite3.h>

#include <vector>

#include "check/CheckFinding.h"

namespace quorvel::check {

// On qv.db as "main" and qv.mb as "mb" of db, both of the current format.
std::vector<CheckFinding> checkMemoRows(sqlite3* db);

}  // namespace quorvel::check
