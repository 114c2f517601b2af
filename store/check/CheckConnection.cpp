#include "check/CheckConnection.h"

#include <string>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::check {

namespace {

// As long as the program waits for a lock: a check started during a Save waits for its commit.
constexpr int busyTimeoutMs = 5000;

CheckFinding unreadable(const char* file, sqlite3* db, int rc) {
    std::string why = sqlite3_errmsg(db);
    if (rc == SQLITE_READONLY_ROLLBACK) {
        why =
            "a change to it was left unfinished (its journal is beside it); the program rolls "
            "it back when it next opens the catalogue";
    }
    return {file, 1, std::string(file) + ": the file can't be read: " + why + "."};
}

std::int64_t pragmaInteger(sqlite3* db, const std::string& sql) {
    sqlite::Statement statement(db, sql);
    return statement.step() ? statement.integer(0) : 0;
}

}  // namespace

CheckConnection::CheckConnection(const std::filesystem::path& directory) {
    const std::filesystem::path rowsPath = directory / schema::rowsFileName;
    const std::filesystem::path memoPath = directory / schema::memoFileName;
    std::error_code error;
    const bool rowsThere = std::filesystem::is_regular_file(rowsPath, error);
    bool memoThere = std::filesystem::is_regular_file(memoPath, error);
    for (const auto& [there, file] :
         {std::pair{rowsThere, schema::rowsFileName}, std::pair{memoThere, schema::memoFileName}}) {
        if (!there) {
            findings_.push_back({file, 1, std::string(file) + ": the file is missing."});
        }
    }
    // A missing qv.db leaves main an empty database in memory, so qv.mb is still checked.
    connection_ = std::make_unique<sqlite::Connection>(
        rowsThere ? rowsPath : std::filesystem::path(),
        sqlite::OpenOptions{sqlite::Access::ReadOnly, busyTimeoutMs, {}});
    db_ = connection_->handle();
    // A larger cache than the default for qv.db: integrity_check looks each row up in every
    // index. qv.mb has none, and is read faster through the default one. Setting it reads
    // the file's header: a file that is no database is reported by lock() below.
    sqlite3_exec(db_, "PRAGMA main.cache_size=-65536", nullptr, nullptr, nullptr);
    if (memoThere) {
        const int attached = connection_->tryAttach(memoPath, "mb", sqlite::Access::ReadOnly);
        if (attached != SQLITE_OK) {
            findings_.push_back(unreadable(schema::memoFileName, db_, attached));
            memoThere = false;
        }
    }
    sqlite::execute(db_, "BEGIN");
    rowsReadable_ = rowsThere && lock("main", schema::rowsFileName);
    memoReadable_ = memoThere && lock("mb", schema::memoFileName);
    if (rowsReadable_ && memoReadable_) {
        try {
            identify();
        } catch (const EDBEngineError& failure) {
            // A table or pragma the catalogue must have can't be read: its schema is damaged.
            findings_.push_back({schema::rowsFileName, 1,
                                 std::string(schema::rowsFileName) +
                                     ": the catalogue's tables can't be read: " +
                                     failure.entries().front().text + "."});
            catalogue_ = false;
        }
    }
}

CheckConnection::~CheckConnection() {
    // Only read: the end of the transaction just lets go of the read locks.
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

// The first read of a file in the transaction takes its shared lock, kept until the end.
bool CheckConnection::lock(const char* schemaName, const char* file) {
    const std::string read = std::string("SELECT count(*) FROM ") + schemaName + ".sqlite_master";
    const int rc = sqlite3_exec(db_, read.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        findings_.push_back(unreadable(file, db_, rc));
        return false;
    }
    return true;
}

void CheckConnection::identify() {
    const struct {
        const char* schemaName;
        const char* file;
        std::int32_t applicationId;
        const char* role;
    } files[] = {{"main", schema::rowsFileName, schema::rowsApplicationId, "rows"},
                 {"mb", schema::memoFileName, schema::memoApplicationId, "memo texts"}};
    for (const auto& f : files) {
        const std::string prefix = std::string("PRAGMA ") + f.schemaName + ".";
        const std::int64_t version = pragmaInteger(db_, prefix + "user_version");
        if (pragmaInteger(db_, prefix + "application_id") != f.applicationId || version < 1) {
            findings_.push_back(
                {f.file, 1,
                 std::string(f.file) + ": not the file of a catalogue's " + f.role + "."});
            return;
        }
        if (version > schema::formatVersion) {
            findings_.push_back({f.file, 1,
                                 std::string(f.file) + ": of format " + std::to_string(version) +
                                     ", newer than this qvtool knows (" +
                                     std::to_string(schema::formatVersion) + ")."});
            return;
        }
        // The unkeyed format is no fault: the next opening that may write it adds the keys;
        // but it can't add columns the table has already.
        if (f.file == schema::rowsFileName) {
            keyed_ = version == schema::formatVersion;
            if (!keyed_ && sqlite3_exec(db_, schema::keyColumnsProbe, nullptr, nullptr, nullptr) ==
                               SQLITE_OK) {
                findings_.push_back(
                    {f.file, 1,
                     std::string(f.file) + ": of format " + std::to_string(version) +
                         " by its header, yet with the sort keys of format " +
                         std::to_string(schema::formatVersion) + "; the program can't open it."});
                return;
            }
        }
    }
    // The columns the program reads: a damaged schema can name them otherwise and still pass
    // SQLite's integrity check.
    std::vector<std::pair<const char*, const char*>> probes{
        {schema::rowsFileName, schema::rowColumnsProbe},
        {schema::memoFileName, schema::memoColumnsProbe}};
    if (keyed_) {
        probes.emplace_back(schema::rowsFileName, schema::keyColumnsProbe);
    }
    for (const auto& [file, probe] : probes) {
        if (sqlite3_exec(db_, probe, nullptr, nullptr, nullptr) != SQLITE_OK) {
            findings_.push_back({file, 1,
                                 std::string(file) + ": its table can't be read as the program " +
                                     "reads it: " + sqlite3_errmsg(db_) + "."});
            return;
        }
    }
    sqlite::Statement pair(db_,
                           "SELECT (SELECT token FROM main.qv_pair) = "
                           "(SELECT token FROM mb.qv_pair)");
    if (!pair.step() || pair.integer(0) != 1) {
        findings_.push_back({schema::memoFileName, 1,
                             std::string(schema::memoFileName) + ": not the memo file of " +
                                 schema::rowsFileName + " (their pairing tokens differ)."});
        return;
    }
    sqlite::Statement counts(db_, schema::commitCountsSql);
    if (counts.step() && counts.integer(0) != counts.integer(1)) {
        const std::int64_t rows = counts.integer(0);
        const std::int64_t memos = counts.integer(1);
        findings_.push_back(
            {schema::memoFileName, 1,
             std::string(schema::memoFileName) + ": qv.db and qv.mb are from different moments: " +
                 "qv.db has " + std::to_string(rows) + " changes of both files, qv.mb " +
                 std::to_string(memos) + "; " + (rows < memos ? "qv.db" : "qv.mb") +
                 " is the older, so the rows and memo texts changed between them don't agree. "
                 "The program refuses to open them."});
    }
    catalogue_ = true;
}

}  // namespace quorvel::check
