#include "CatalogueGenerator.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "CatalogueIssue.h"
#include "CatalogueSchema.h"
#include "LongPathVfs.h"
#include "NewCatalogue.h"
#include "SqliteStatement.h"
#include "SqliteUri.h"
#include "SyntheticIssues.h"

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

class Insert {
  public:
    Insert(sqlite3* db, const std::string& sql) : db_(db) {
        const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
        if (rc != SQLITE_OK) {
            sqlite::raise(db, rc);
        }
    }
    ~Insert() { sqlite3_finalize(stmt_); }
    Insert(const Insert&) = delete;
    Insert& operator=(const Insert&) = delete;

    // An empty text is stored as NULL, as the engine stores it. The text must outlive run().
    void bindText(int index, const std::string& text) {
        check(text.empty() ? sqlite3_bind_null(stmt_, index)
                           : sqlite3_bind_text(stmt_, index, text.data(),
                                               static_cast<int>(text.size()), SQLITE_STATIC));
    }
    void bindInteger(int index, std::int64_t value) {
        check(sqlite3_bind_int64(stmt_, index, value));
    }
    void run() {
        const int rc = sqlite3_step(stmt_);
        sqlite3_reset(stmt_);
        if (rc != SQLITE_DONE) {
            sqlite::raise(db_, rc);
        }
    }

  private:
    void check(int rc) const {
        if (rc != SQLITE_OK) {
            sqlite::raise(db_, rc);
        }
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

std::string rowInsertSql() {
    std::string sql = std::string("INSERT INTO main.") + schema::tableName + "(";
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        sql += c == 0 ? "" : ", ";
        sql += schema::columns[c].sqlName;
    }
    return sql + ") VALUES(?1, ?2, ?3)";
}

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

        Insert insertRow(db, rowInsertSql());
        Insert insertMemo(db, "INSERT INTO mb.memo(id, obsah) VALUES(?1, ?2)");
        SyntheticIssues issues(seed);
        std::uint64_t written = 0;
        progress(0);
        while (written < rows) {
            sqlite::execute(db, "BEGIN IMMEDIATE");
            const std::uint64_t batchEnd = std::min(rows, written + batchRows);
            for (; written < batchEnd; ++written) {
                const CatalogueIssue issue = issues.next();
                insertRow.bindText(1, issue.title);
                insertRow.bindText(2, issue.number);
                insertRow.bindText(3, issue.parts);
                insertRow.run();
                if (!issue.contents.empty()) {
                    insertMemo.bindInteger(1, sqlite3_last_insert_rowid(db));
                    insertMemo.bindText(2, issue.contents);
                    insertMemo.run();
                }
            }
            sqlite::execute(db, "COMMIT");
            progress(written);
        }
    }
    catalogue.keep();
}

}  // namespace quorvel::tools
