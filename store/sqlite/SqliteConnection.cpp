#include "sqlite/SqliteConnection.h"

#include <algorithm>
#include <cassert>
#include <cctype>

#include "sqlite/LongPathVfs.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel::sqlite {

namespace {

// A schema name goes into the statement's text, so it must be one that needs no quoting.
[[maybe_unused]] bool plainIdentifier(const std::string& name) {
    return !name.empty() && std::isdigit(static_cast<unsigned char>(name.front())) == 0 &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
           });
}

}  // namespace

std::string uriFor(const std::filesystem::path& file, Access access) {
    switch (access) {
        case Access::ReadWrite:
            return fileUri(file, "rw");
        case Access::ReadOnly:
            return fileUri(file, "ro");
        case Access::ReadDamaged:
            return fileUri(file, "ro") + "&immutable=1";
    }
    return fileUri(file, "ro");
}

Connection::Connection(const std::filesystem::path& file, const OpenOptions& options) {
    const std::string uri =
        file.empty() ? std::string("file::memory:") : uriFor(file, options.access);
    const int flags =
        (options.access == Access::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) |
        SQLITE_OPEN_URI;
    const int rc = sqlite3_open_v2(uri.c_str(), &db_, flags,
                                   options.vfs.empty() ? longPathVfs() : options.vfs.c_str());
    if (rc != SQLITE_OK) {
        // A destructor doesn't run for a constructor that throws.
        sqlite3_close(db_);
        db_ = nullptr;
        raise(nullptr, rc, "File: " + file.string());
    }
    sqlite3_extended_result_codes(db_, 1);
    if (options.busyTimeoutMs > 0) {
        sqlite3_busy_timeout(db_, options.busyTimeoutMs);
    }
}

Connection::~Connection() {
    // Every statement goes before its connection; one left over would keep the files open.
    [[maybe_unused]] const int rc = sqlite3_close(db_);
    assert(rc == SQLITE_OK);
}

int Connection::tryAttach(const std::filesystem::path& file, const std::string& schemaName,
                          Access access) {
    assert(plainIdentifier(schemaName));
    TolerantStatement attach(db_, "ATTACH ?1 AS " + schemaName);
    attach.bind(1, uriFor(file, access));
    return attach.run() ? SQLITE_OK : attach.code();
}

void Connection::attach(const std::filesystem::path& file, const std::string& schemaName,
                        Access access) {
    const int rc = tryAttach(file, schemaName, access);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

}  // namespace quorvel::sqlite
