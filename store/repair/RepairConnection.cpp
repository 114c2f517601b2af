#include "repair/RepairConnection.h"

#include "sqlite/SqliteStatement.h"

namespace quorvel::repair {

namespace {

// Long enough for a check that reads under a shared lock to finish its step.
constexpr int busyTimeoutMs = 5000;

sqlite::Access accessFor(FileUse use) {
    switch (use) {
        case FileUse::Mend:
            return sqlite::Access::ReadWrite;
        case FileUse::ReadCopy:
            return sqlite::Access::ReadOnly;
        default:
            return sqlite::Access::ReadDamaged;
    }
}

void configure(sqlite3* db, const std::string& schemaName, FileUse use) {
    if (use == FileUse::Mend) {
        sqlite::execute(db, ("PRAGMA " + schemaName + ".journal_mode=DELETE").c_str());
        sqlite::execute(db, ("PRAGMA " + schemaName + ".synchronous=FULL").c_str());
    }
}

}  // namespace

RepairConnection::RepairConnection(const std::filesystem::path& rowsFile, FileUse use)
    : connection_(rowsFile, {accessFor(use), busyTimeoutMs, {}}) {
    configure(handle(), "main", use);
    collator_.installOn(handle());
}

void RepairConnection::attach(const std::filesystem::path& file, const std::string& schemaName,
                              FileUse use) {
    connection_.attach(file, schemaName, accessFor(use));
    configure(handle(), schemaName, use);
}

int formatVersionOf(sqlite3* db, const std::string& schemaName) {
    sqlite::Statement version(db, "PRAGMA " + schemaName + ".user_version");
    return version.step() ? static_cast<int>(version.integer(0)) : 0;
}

}  // namespace quorvel::repair
