// The check of the sort indexes, once for each opening. A damaged index can read without an
// error and yet hold fewer entries than the table has rows (or more): a list sorted through it
// would leave rows out. The two indexes' entries are counted, and the table's rows only when they
// differ: two index b-trees are a fraction of the table, so the check is done for every opening
// rather than remembering what was checked (`qvbench start` times it cold and warm, as
// start-check-sort-indexes). It reads both index b-trees whole, so it is kept off the way to the
// first screen (DeferredSortIndexCheck). An index found wrong is built afresh when the
// catalogue may be written; otherwise, or when that fails, it is not used.
#pragma once

#include <sqlite3.h>

#include <vector>

namespace quorvel::schema {

// The keyed columns among present whose sort index holds another number of entries than the
// table has rows. Throws EDBEngineError when the table itself can't be counted, or is locked.
std::vector<int> miscountedSortIndexes(sqlite3* db, const std::vector<int>& present);

// What the check found, on the connection it read.
struct SortIndexFindings {
    std::vector<int> miscounted;  // as miscountedSortIndexes gives them
    bool keyless = false;         // rows another program wrote without their sort keys
};

// miscountedSortIndexes and, when every index counted right and lookForKeyless, whether any row
// lacks its sort key (anyRowsWithoutKeys; db needs czech_key then). A table that can't be read
// gives no findings, as its damage shows where it is read. Throws EDBEngineError only when
// another connection's lock outlasts db's busy wait: nothing is known then.
SortIndexFindings findSortIndexFaults(sqlite3* db, const std::vector<int>& present,
                                      bool lookForKeyless);

// Drops and builds afresh the sort indexes of the keyed columns, in one transaction, without
// waiting for another copy's lock. False when that can't be done; nothing is changed then. Restores
// busyTimeoutMs as db's busy timeout.
bool rebuildSortIndexes(sqlite3* db, const std::vector<int>& keyed, int busyTimeoutMs);

}  // namespace quorvel::schema
