#include "catalogues/CatalogueGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "catalogues/CatalogueIssue.h"
#include "catalogues/NewCatalogue.h"
#include "catalogues/SyntheticIssues.h"
#include "engine/CatalogueSchema.h"
#include "engine/RowInsert.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::tools {

namespace {

// Rows per transaction: large enough that commits cost nothing, small enough that progress
// moves and the journal of the index pages stays small.
constexpr std::uint64_t batchRows = 50000;

}  // namespace

void generateCatalogue(const std::filesystem::path& directory, std::uint64_t rows,
                       std::uint64_t seed, const std::function<void(std::uint64_t)>& progress) {
    NewCatalogue catalogue(directory);
    {
        // The engine's own file layer, so that any directory the engine opens can be filled.
        sqlite::Connection connection(directory / schema::rowsFileName, {});
        connection.attach(directory / schema::memoFileName, "mb", sqlite::Access::ReadWrite);
        sqlite3* db = connection.handle();
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
