// A second running copy of the program on one catalogue, reduced to what the export's tests
// ask of it. Exit status: 0 done, 3 the files (or the row) are locked by someone else, 4 any
// other failure, 2 wrong usage.
//
//   export_test_writer commit DIR ID TITLE [MEMO] one transaction changing row ID's title in
//                                                 qv.db (and its memo in qv.mb); no waiting
//   export_test_writer lockrow DIR ID             takes row ID's lock, as an edit does
#include <sqlite3.h>

#include <cstdio>
#include <string>

#include "RowLocks.h"

namespace {

int commit(const std::string& dir, const char* id, const char* title, const char* memo) {
    sqlite3* db = nullptr;
    const std::string uri = "file:" + dir + "/qv.db?mode=rw";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) !=
        SQLITE_OK) {
        std::fprintf(stderr, "open: %s\n", sqlite3_errmsg(db));
        sqlite3_close(db);
        return 4;
    }
    // qv.mb is attached only when the change touches it: a transaction begun on both files
    // needs both unlocked to commit, so a title alone is written as a program that has only
    // qv.db open writes it.
    std::string sql;
    if (memo != nullptr) {
        sql += "ATTACH 'file:" + dir + "/qv.mb?mode=rw' AS mb; ";
    }
    sql += "BEGIN IMMEDIATE; UPDATE main.qv SET vytisk = '" + std::string(title) +
           "', version = version + 1 WHERE id = " + id + "; ";
    if (memo != nullptr) {
        sql += "UPDATE mb.memo SET obsah = '" + std::string(memo) + "' WHERE id = " + id + "; ";
    }
    sql += "COMMIT";
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "commit: %s\n", error != nullptr ? error : "?");
        sqlite3_free(error);
    }
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : (rc & 0xff) == SQLITE_BUSY ? 3 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "commit" && (argc == 5 || argc == 6)) {
        return commit(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
    }
    if (mode == "lockrow" && argc == 4) {
        try {
            quorvel::RowLocks locks(std::string(argv[2]) + "/qv.db");
            return locks.tryLock(std::stoll(argv[3])) ? 0 : 3;
        } catch (...) {
            return 4;
        }
    }
    std::fprintf(stderr, "usage: export_test_writer commit DIR ID TITLE [MEMO] | lockrow DIR ID\n");
    return 2;
}
