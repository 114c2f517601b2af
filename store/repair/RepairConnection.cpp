#include "repair/RepairConnection.h"

#include "sqlite/LongPathVfs.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"

namespace quorvel::repair {

namespace {

// Long enough for a check that reads under a shared lock to finish its step.
constexpr int busyTimeoutMs = 5000;

std::string uriFor(const std::filesystem::path& file, FileUse use) {
    switch (use) {
        case FileUse::Mend:
            return sqlite::fileUri(file, "rw");
        case FileUse::ReadCopy:
            return sqlite::fileUri(file, "ro");
        default:
            return sqlite::fileUri(file, "ro") + "&immutable=1";
    }
}

void configure(sqlite3* db, const std::string& schemaName, FileUse use) {
    if (use == FileUse::Mend) {
        sqlite::execute(db, ("PRAGMA " + schemaName + ".journal_mode=DELETE").c_str());
        sqlite::execute(db, ("PRAGMA " + schemaName + ".synchronous=FULL").c_str());
    }
}

}  // namespace

RepairConnection::RepairConnection(const std::filesystem::path& rowsFile, FileUse use) {
    const int rc = sqlite3_open_v2(
        uriFor(rowsFile, use).c_str(), &db_,
        (use == FileUse::Mend ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_URI,
        sqlite::longPathVfs());
    try {
        if (rc != SQLITE_OK) {
            sqlite::raise(db_, rc, "File: " + rowsFile.string());
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busyTimeoutMs);
        configure(db_, "main", use);
        collator_.installOn(db_);
    } catch (...) {
        sqlite3_close(db_);
        throw;
    }
}

RepairConnection::~RepairConnection() {
    sqlite3_close(db_);
}

void RepairConnection::attach(const std::filesystem::path& file, const std::string& schemaName,
                              FileUse use) {
    sqlite::Statement attach(db_, "ATTACH ?1 AS " + schemaName);
    attach.bind(1, std::optional<std::string>(uriFor(file, use)));
    attach.step();
    configure(db_, schemaName, use);
}

int formatVersionOf(sqlite3* db, const std::string& schemaName) {
    sqlite::Statement version(db, "PRAGMA " + schemaName + ".user_version");
    return version.step() ? static_cast<int>(version.integer(0)) : 0;
}

}  // namespace quorvel::repair
