#include "catalogues/CatalogueGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "catalogues/CatalogueIssue.h"
#include "catalogues/NewCatalogue.h"
#include "catalogues/SyntheticIssues.h"
#include "engine/CatalogueSchema.h"
#include "engine/RowInsert.h"
#include "sqlite/LongPathVfs.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"

namespace quorvel::tools {

namespace {

// Rows per transaction: large enough that commits cost nothing, small enough that progress
// moves and the journal of the index pages stays small.
constexpr std::uint64_t batchRows = 50000;

class Connection {
  public:
    explicit Connection(const std::filesystem::path& rowsFile) {
        // The engine's own file layer, so that any directory the engine opens can be filled.
        const int rc =
            sqlite3_open_v2(sqlite::fileUri(rowsFile, "rw").c_str(), &db_,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, sqlite::longPathVfs());
        if (rc != SQLITE_OK) {
            sqlite::raise(db_, rc, "File: " + rowsFile.string());
        }
        sqlite3_extended_result_codes(db_, 1);
    }
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

}  // namespace

void generateCatalogue(const std::filesystem::path& directory, std::uint64_t rows,
                       std::uint64_t seed, const std::function<void(std::uint64_t)>& progress) {
    NewCatalogue catalogue(directory);
    {
        Connection connection(directory / schema::rowsFileName);
        sqlite3* db = connection.handle();
        {
            sqlite::Statement attach(db, "ATTACH ?1 AS mb");
            attach.bind(1, std::optional<std::string>((directory / schema::memoFileName).string()));
            attach.step();
        }
        // Nothing but this run knows the files yet, and a failed run removes them: waiting for
        // the disk at each commit would buy nothing. The journal mode stays the store's DELETE.
        sqlite::execute(db, "PRAGMA main.synchronous=OFF");
        sqlite::execute(db, "PRAGMA mb.synchronous=OFF");
        // The two sort indexes take random inserts; 64 MB of cache keeps them off the disk.
        sqlite::execute(db, "PRAGMA main.cache_size=-65536");

        RowInsert insert(db);
        SyntheticIssues issues(seed);
        std::uint64_t written = 0;
        progress(0);
        while (written < rows) {
            sqlite::execute(db, "BEGIN IMMEDIATE");
            const std::uint64_t batchEnd = std::min(rows, written + batchRows);
            for (; written < batchEnd; ++written) {
                const CatalogueIssue issue = issues.next();
                insert.insert({issue.title, issue.number, issue.parts}, issue.contents);
            }
            sqlite::execute(db, "COMMIT");
            progress(written);
        }
    }
    catalogue.keep();
}

}  // namespace quorvel::tools
