// What SQLite finds sound but the program can't live with: a trigger on the files (the program
// made none, and its writes may touch only its own tables, so a trigger that writes elsewhere,
// or raises, makes every Save and import fail), and fields longer than the program's limits or
// not text (it shows them cut, and cuts them when their row is next saved).
#pragma once

#include <sqlite3.h>

#include <vector>

#include "check/CheckFinding.h"

namespace quorvel::check {

// On qv.db as "main" and qv.mb as "mb" of db, both of the current format.
std::vector<CheckFinding> checkProgramLimits(sqlite3* db);

}  // namespace quorvel::check
