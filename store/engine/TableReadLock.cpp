#include "engine/TableReadLock.h"

#include <string>

#include "export/CopyIo.h"

namespace quorvel {

namespace {

int run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

}  // namespace

TableReadLock::TableReadLock(sqlite3* db) : db_(db) {
    if (sqlite3_get_autocommit(db_) == 0) {
        throw CopyFailure("the connection is inside a transaction");
    }
    if (run(db_, "BEGIN") != SQLITE_OK) {
        throw CopyFailure(std::string("BEGIN: ") + sqlite3_errmsg(db_));
    }
    // A deferred transaction takes each file's shared lock at its first read.
    if (run(db_,
            "SELECT (SELECT count(*) FROM main.sqlite_master) + "
            "(SELECT count(*) FROM mb.sqlite_master)") != SQLITE_OK) {
        const std::string error = sqlite3_errmsg(db_);
        run(db_, "ROLLBACK");
        throw CopyFailure("shared lock: " + error);
    }
}

TableReadLock::~TableReadLock() {
    if (run(db_, "COMMIT") != SQLITE_OK) {
        run(db_, "ROLLBACK");
    }
}

}  // namespace quorvel
