// The one connection to the table's two files: qv.db opened, qv.mb attached, both checked to be
// a matching pair of catalogue files before anything else happens. Opens existing files only;
// a failed open changes nothing on disk.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "EngineCodes.h"
#include "RowLocks.h"
#include "SqliteStatement.h"

namespace quorvel {

class Cursor;

class Database {
  public:
    // Throws EDBEngineError: a file missing, foreign, newer, damaged, or the pair mismatched.
    explicit Database(const std::filesystem::path& directory);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Parses and runs a statement of the dialect. requestLive asks for a result that can be
    // changed; one with an order clause is read-only all the same.
    std::unique_ptr<Cursor> openCursor(std::string_view text, bool requestLive);

    sqlite3* handle() const { return db_; }
    // A prepared statement kept for the connection's life; always reset after use.
    sqlite::Statement& statement(const std::string& sql);
    RowLocks& rowLocks() { return *rowLocks_; }
    bool hasSortIndex(int column) const;
    const std::filesystem::path& directory() const { return directory_; }

  private:
    void configure();
    // Attaches (but for main) and checks one of the two files: its application id, format
    // version and the tables that probe reads. Failures name the file.
    void checkFile(const char* schemaName, std::int32_t applicationId, EngineCode foreign,
                   const std::filesystem::path& path, const char* probe);
    void checkPairAndIndexes();

    std::filesystem::path directory_;
    // Declared before db_ so it is closed after SQLite: closing our descriptor of qv.db while
    // SQLite held its locks would drop them.
    std::unique_ptr<RowLocks> rowLocks_;
    sqlite3* db_ = nullptr;
    std::map<std::string, std::unique_ptr<sqlite::Statement>> statements_;
    bool sortIndex_[2] = {false, false};
};

}  // namespace quorvel
