// Brings a catalogue of the unkeyed format (1) up to the current one: Vytisk and Cislo get
// their Czech sort key columns, filled from the rows, the bytewise sort indexes give way to
// indexes on the keys, and both files' format version is raised. All of it is one transaction
// across both files, so a process killed half-way leaves a hot journal that the next opening
// rolls back: the catalogue is then the unkeyed one it was, every row in it, and that opening
// upgrades it again.
#pragma once

#include <sqlite3.h>

namespace quorvel::schema {

// On db (qv.db as main, qv.mb as mb, writable, rollback journals), whose files were found to be
// of the unkeyed format, and with czech_key installed (CzechCollator::installOn). Does nothing
// when another copy upgraded the files first. Throws EDBEngineError; nothing is changed then.
void upgradeToSortKeys(sqlite3* db);

// On db as for upgradeToSortKeys, of the current format: gives the rows another program wrote
// without sort keys (an empty key beside a field with a value) their keys, in one transaction.
// Finds them through the key indexes, and writes nothing when there are none. Skipped when
// another copy holds a lock (the next opening tries again) or when the write fails; the files
// are then as they were. Restores busyTimeoutMs as db's busy timeout.
void keyRowsWrittenByOthers(sqlite3* db, int busyTimeoutMs);

// Whether any row lacks its sort key, as keyRowsWrittenByOthers finds them: reads only rows with
// an empty key, through the key indexes. Needs czech_key on db; throws EDBEngineError.
bool anyRowsWithoutKeys(sqlite3* db);

}  // namespace quorvel::schema
