// A second running copy of the program, reduced to one commit: row ID's title in qv.db and,
// given MEMO, its memo in qv.mb, in one transaction, without waiting for locks. qv.mb is
// attached only for a memo: a transaction begun on both files needs both unlocked to commit.
// Exit status: 0 committed, 3 the files are locked by someone else, 4 another failure.
//
//   export_test_writer DIR ID TITLE [MEMO]
#include <sqlite3.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: export_test_writer DIR ID TITLE [MEMO]\n");
        return 2;
    }
    const std::string dir = argv[1], id = argv[2], title = argv[3];
    std::string sql = "BEGIN IMMEDIATE; UPDATE main.qv SET vytisk = '" + title +
                      "', version = version + 1 WHERE id = " + id + "; ";
    if (argc == 5) {
        sql = "ATTACH 'file:" + dir + "/qv.mb?mode=rw' AS mb; " + sql +
              "UPDATE mb.memo SET obsah = '" + argv[4] + "' WHERE id = " + id + "; ";
    }
    sqlite3* db = nullptr;
    char* error = nullptr;
    int rc = sqlite3_open_v2(("file:" + dir + "/qv.db?mode=rw").c_str(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(db, (sql + "COMMIT").c_str(), nullptr, nullptr, &error);
    }
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "export_test_writer: %s\n", error != nullptr ? error : "open failed");
    }
    sqlite3_free(error);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : (rc & 0xff) == SQLITE_BUSY ? 3 : 4;
}
