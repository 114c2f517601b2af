// A connection of the repair's own: a qv.db opened as main, with files attached beside it, and
// czech_key installed (the sort keys are made by SQL). Files being mended are opened for
// writing in rollback-journal mode with full syncs, as the program has them; damaged originals
// being read from are opened immutable, so that SQLite neither locks them nor looks for a
// journal (the repair holds the catalogue, and the originals are kept as they were anyway);
// a private copy of them is read as SQLite reads any file, its WAL too.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

#include "sqlite/SqliteConnection.h"
#include "text/CzechCollator.h"

namespace quorvel::repair {

enum class FileUse { Mend, ReadDamaged, ReadCopy };

class RepairConnection {
  public:
    // Throws EDBEngineError when the file can't be opened.
    RepairConnection(const std::filesystem::path& rowsFile, FileUse use);
    RepairConnection(const RepairConnection&) = delete;
    RepairConnection& operator=(const RepairConnection&) = delete;

    // Attaches file as schemaName. Throws EDBEngineError.
    void attach(const std::filesystem::path& file, const std::string& schemaName, FileUse use);
    sqlite3* handle() const { return connection_.handle(); }

  private:
    // Serves czech_key, so it outlives the connection.
    CzechCollator collator_;
    sqlite::Connection connection_;
};

// The version in schemaName's header (PRAGMA user_version); throws EDBEngineError.
int formatVersionOf(sqlite3* db, const std::string& schemaName);

}  // namespace quorvel::repair
