// The engine's shared lock on both of the table's files, held for as long as the object lives:
// a read transaction on the engine's own connection that has read from qv.db (schema main) and
// from the attached qv.mb (schema mb). While it is held no one can commit to either file, and
// since a change touching both commits on both or neither, the two files on disk are one
// committed version of the table.
#pragma once

#include <sqlite3.h>

namespace quorvel {

class TableReadLock {
  public:
    // Throws CopyFailure when the lock can't be had: the connection is inside a transaction of
    // its own (its changes may lie half-written in the files), or a writer kept the files
    // locked past the engine's busy timeout.
    explicit TableReadLock(sqlite3* db);
    // Ends the read transaction, releasing the lock.
    ~TableReadLock();
    TableReadLock(const TableReadLock&) = delete;
    TableReadLock& operator=(const TableReadLock&) = delete;

    static constexpr const char* rowsSchema = "main";
    static constexpr const char* memoSchema = "mb";

  private:
    sqlite3* db_;
};

}  // namespace quorvel
