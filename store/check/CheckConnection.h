// The check's own connection to the catalogue's two files: qv.db opened and qv.mb attached as
// "mb", both read-only (URI mode=ro), so nothing can be written, not even a journal. It holds
// one read transaction across both for as long as it lives: the check sees one committed state
// of the table, and a running program can still read meanwhile; its writes wait for the end
// (and give up after their busy timeout).
//
// A file that is missing, is no SQLite database or can't be read becomes a finding here, and
// that file's further checks are skipped.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "check/CheckFinding.h"
#include "sqlite/SqliteConnection.h"

namespace quorvel::check {

class CheckConnection {
  public:
    // Throws EDBEngineError only when SQLite itself can't be used (no memory, say).
    explicit CheckConnection(const std::filesystem::path& directory);
    ~CheckConnection();
    CheckConnection(const CheckConnection&) = delete;
    CheckConnection& operator=(const CheckConnection&) = delete;

    sqlite3* handle() const { return db_; }
    bool rowsReadable() const { return rowsReadable_; }
    bool memoReadable() const { return memoReadable_; }
    // Whether both files are the pair of one catalogue, so that the table's own checks apply;
    // and whether it is of the current format, whose rows keep sort keys.
    bool isCatalogue() const { return catalogue_; }
    bool isKeyed() const { return catalogue_ && keyed_; }
    // What the opening found: files missing, unreadable, foreign or not a pair.
    const std::vector<CheckFinding>& findings() const { return findings_; }

  private:
    bool lock(const char* schemaName, const char* file);
    void identify();

    std::unique_ptr<sqlite::Connection> connection_;
    sqlite3* db_ = nullptr;  // connection_'s
    bool rowsReadable_ = false;
    bool memoReadable_ = false;
    bool catalogue_ = false;
    bool keyed_ = false;
    std::vector<CheckFinding> findings_;
};

}  // namespace quorvel::check
