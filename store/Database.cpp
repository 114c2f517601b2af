#include "Database.h"

#include <sys/stat.h>

#include <algorithm>

#include "CatalogueSchema.h"
#include "Cursor.h"
#include "EDBEngineError.h"
#include "SqlDialect.h"
#include "SqliteUri.h"

namespace quorvel {

namespace {

constexpr int busyTimeoutMs = 5000;

[[noreturn]] void failFile(EngineCode code, const std::filesystem::path& path,
                           const std::string& detail = {}) {
    std::vector<EngineErrorEntry> entries;
    if (!detail.empty()) {
        entries.push_back({code, 0, detail});
    }
    entries.push_back({code, 0, "File: " + path.string()});
    throw EDBEngineError(code, std::move(entries));
}

void requireRegularFile(const std::filesystem::path& path, EngineCode missing) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        failFile(missing, path);
    }
    if (!S_ISREG(info.st_mode)) {
        failFile(missing, path, "Not a regular file.");
    }
}

// Only what the engine itself asks of SQLite may run: reads, writes of the table's own rows,
// transactions. A statement that got past our own parser still couldn't attach, alter or
// change settings.
int authorize(void*, int action, const char* first, const char*, const char*, const char*) {
    const std::string_view table = first != nullptr ? first : "";
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_FUNCTION:
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            return SQLITE_OK;
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            return table == "qv" || table == "memo" || table == "sqlite_sequence" ? SQLITE_OK
                                                                                  : SQLITE_DENY;
        default:
            return SQLITE_DENY;
    }
}

}  // namespace

Database::Database(const std::filesystem::path& directory) : directory_(directory) {
    const std::filesystem::path rowsPath = directory / schema::rowsFileName;
    const std::filesystem::path memoPath = directory / schema::memoFileName;
    requireRegularFile(rowsPath, engine_code::tableNotFound);
    requireRegularFile(memoPath, engine_code::memoFileNotFound);
    rowLocks_ = std::make_unique<RowLocks>(rowsPath);

    const int rc = sqlite3_open_v2(sqlite::fileUri(rowsPath, "rw").c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
    try {
        if (rc != SQLITE_OK) {
            sqlite::raise(db_, rc, "File: " + rowsPath.string());
        }
        configure();
        // Each file is checked before the next is touched, so a failure names the right one.
        checkFile("main", schema::rowsApplicationId, engine_code::notATableFile, rowsPath,
                  "SELECT id, version, vytisk, cislo, nejzajimavejsi_casti FROM main.qv LIMIT 0; "
                  "SELECT token FROM main.qv_pair LIMIT 0");
        checkFile("mb", schema::memoApplicationId, engine_code::notAMemoFile, memoPath,
                  "SELECT id, obsah FROM mb.memo LIMIT 0; SELECT token FROM mb.qv_pair LIMIT 0");
        checkPairAndIndexes();
    } catch (...) {
        sqlite3_close(db_);
        db_ = nullptr;
        throw;
    }
}

Database::~Database() {
    statements_.clear();
    sqlite3_close(db_);
}

void Database::configure() {
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, busyTimeoutMs);
    sqlite::execute(db_, "PRAGMA case_sensitive_like=ON");
    sqlite::Statement likeCheck(db_, "SELECT 'a' LIKE 'A'");
    if (!likeCheck.step() || likeCheck.integer(0) != 0) {
        throw EDBEngineError(engine_code::libraryTooOld, {{engine_code::libraryTooOld, 0,
                                                           "LIKE can't be made case-sensitive."}});
    }
}

void Database::checkFile(const char* schemaName, std::int32_t applicationId, EngineCode foreign,
                         const std::filesystem::path& path, const char* probe) {
    const std::string prefix = std::string("PRAGMA ") + schemaName + ".";
    try {
        if (std::string_view(schemaName) != "main") {
            sqlite::execute(
                db_, ("ATTACH '" + sqlite::fileUri(path, "rw") + "' AS " + schemaName).c_str());
        }
        sqlite::Statement id(db_, prefix + "application_id");
        if (!id.step() || id.integer(0) != applicationId) {
            failFile(foreign, path);
        }
        sqlite::Statement version(db_, prefix + "user_version");
        if (!version.step() || version.integer(0) < 1) {
            failFile(foreign, path);
        }
        if (version.integer(0) > schema::formatVersion) {
            failFile(engine_code::unknownFormatVersion, path);
        }
        // The tables and columns we rely on; a damaged schema fails here too.
        sqlite::execute(db_, probe);
        // A rollback journal, never WAL: only then does a commit touching both files commit
        // both or neither, and only then is a plain byte copy of them a consistent backup.
        sqlite::execute(db_, (prefix + "synchronous=FULL").c_str());
    } catch (const EDBEngineError& error) {
        const bool named = std::any_of(error.entries().begin(), error.entries().end(),
                                       [&path](const EngineErrorEntry& entry) {
                                           return entry.text == "File: " + path.string();
                                       });
        if (named) {
            throw;
        }
        // SQLite's own "file is not a database" or "no such table": say which file it is and
        // what it should have been.
        const EngineCode code = error.errorCode() == engine_code::corruptFile ||
                                        error.errorCode() == engine_code::ioError ||
                                        error.errorCode() == engine_code::tableBusy
                                    ? error.errorCode()
                                    : foreign;
        std::vector<EngineErrorEntry> entries = error.entries();
        entries.push_back({code, 0, "File: " + path.string()});
        throw EDBEngineError(code, std::move(entries));
    }
}

void Database::checkPairAndIndexes() {
    sqlite::Statement pair(db_,
                           "SELECT (SELECT token FROM main.qv_pair) = "
                           "(SELECT token FROM mb.qv_pair)");
    if (!pair.step() || pair.integer(0) != 1) {
        failFile(engine_code::filesDoNotMatch, directory_ / schema::memoFileName);
    }
    for (int column : {0, 1}) {
        sqlite::Statement index(
            db_, "SELECT count(*) FROM main.sqlite_master WHERE type='index' AND name=?");
        index.bind(1, std::optional<std::string>(schema::sortIndexName(column)));
        sortIndex_[column] = index.step() && index.integer(0) == 1;
    }
    sqlite3_set_authorizer(db_, authorize, nullptr);
}

bool Database::hasSortIndex(int column) const {
    return column >= 0 && column < 2 && sortIndex_[column];
}

sqlite::Statement& Database::statement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        found = statements_.emplace(sql, std::make_unique<sqlite::Statement>(db_, sql)).first;
    }
    return *found->second;
}

std::unique_ptr<Cursor> Database::openCursor(std::string_view text, bool requestLive) {
    ParsedSelect parsed = parseSelect(text);
    return std::make_unique<Cursor>(*this, std::move(parsed), requestLive);
}

}  // namespace quorvel
