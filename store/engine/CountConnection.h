// The catalogue's second connection, read-only, with the memo file attached and our LIKE and
// czech_key installed: searches are counted on it in the background (BackgroundCount), and the
// sort indexes are checked on it (DeferredSortIndexCheck), one at a time.
//
// It is opened once, by the thread that first asks for it, and closed with the Database, on the
// Database's thread, when no count runs. It is never closed while the program works: on Linux,
// closing any descriptor of a file drops every POSIX lock the process holds on it, and SQLite's
// file layer, which keeps a descriptor open while another of the process's connections holds a
// lock, can't tell one that another thread is taking at that very moment. A count connection
// closed after each count dropped the main connection's locks that way.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <mutex>
#include <string>

#include "sqlite/SqliteConnection.h"
#include "text/CzechCollator.h"

namespace quorvel {

// Where the catalogue's files are and the SQLite file layer to open them with.
struct CatalogueFiles {
    std::filesystem::path rows;
    std::filesystem::path memos;
    std::string vfs;  // empty: the engine's own
};

class CountConnection {
  public:
    // Opens both files for reading; throws EDBEngineError when they can't be.
    explicit CountConnection(const CatalogueFiles& files);
    CountConnection(const CountConnection&) = delete;
    CountConnection& operator=(const CountConnection&) = delete;

    sqlite3* handle() const { return connection_.handle(); }
    // Held by a count for as long as it uses the connection.
    std::mutex& inUse() { return inUse_; }

  private:
    CzechCollator collator_;  // serves the connection's czech_key, so it outlives the connection
    // Closed on the thread that destroys this, or by a constructor that fails on the opening
    // thread, which holds none of the files' locks on another connection at that moment.
    sqlite::Connection connection_;
    std::mutex inUse_;
};

}  // namespace quorvel
