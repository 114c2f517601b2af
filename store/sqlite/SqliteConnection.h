// The one way the store opens SQLite files: a file opened as main through the engine's file
// layer, with extended result codes and the busy wait the caller asks for, and more files
// attached beside it, each by a bound parameter (a path is never spliced into SQL). Files are
// named by URI with an explicit mode, so a missing file is never created. The connection is
// closed when the object goes, and by a constructor that fails.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>

namespace quorvel::sqlite {

// How a file is opened. ReadDamaged reads a file as it lies (URI immutable=1): SQLite neither
// locks it nor looks for its journal, for originals being salvaged that nothing else may touch.
enum class Access { ReadWrite, ReadOnly, ReadDamaged };

struct OpenOptions {
    Access access = Access::ReadWrite;
    // How long a statement waits for another connection's lock before SQLITE_BUSY; 0 answers
    // at once.
    int busyTimeoutMs = 0;
    // The SQLite file layer; empty for the engine's own, which takes paths of any length.
    std::string vfs;
};

class Connection {
  public:
    // Opens file as main; an empty path opens an empty database in memory instead. Throws
    // EDBEngineError with SQLite's text for the result code and a "File:" line.
    Connection(const std::filesystem::path& file, const OpenOptions& options);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Attaches file as schemaName (a plain identifier of ours). Throws EDBEngineError.
    void attach(const std::filesystem::path& file, const std::string& schemaName, Access access);
    // The same, reporting SQLite's result code instead of throwing; sqlite3_errmsg tells why.
    int tryAttach(const std::filesystem::path& file, const std::string& schemaName, Access access);

    sqlite3* handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

// The URI that opens file with access.
std::string uriFor(const std::filesystem::path& file, Access access);

}  // namespace quorvel::sqlite
