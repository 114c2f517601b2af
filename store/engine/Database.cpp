#include "engine/Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "engine/CountConnection.h"
#include "engine/DeferredSortIndexCheck.h"
#include "engine/FormatUpgrade.h"
#include "engine/RowInsert.h"
#include "engine/RowLocks.h"
#include "engine/SortIndexCheck.h"
#include "sqlite/LongPathVfs.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel {

namespace {

constexpr int busyTimeoutMs = 5000;

// The failure of one file, raised as if where failFile was called: the start-up report's code
// location then leads to the check that failed, not to this helper.
[[noreturn, gnu::noinline]] void failFile(EngineCode code, const std::filesystem::path& path,
                                          const std::string& detail = {}) {
    std::vector<EngineErrorEntry> entries;
    if (!detail.empty()) {
        entries.push_back({code, 0, detail});
    }
    entries.push_back({code, 0, "File: " + path.string()});
    throw EDBEngineError(code, std::move(entries),
                         Exception::RaisedAt{__builtin_return_address(0)});
}

// The file must be there, be a file and be readable; each failure says which of these it is.
// Inlined into each call, so that every failure of each file has a code location of its own.
[[gnu::always_inline]] inline void requireReadableFile(const std::filesystem::path& path,
                                                       EngineCode missing) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {
            failFile(missing, path);
        }
        if (error == EACCES) {
            failFile(engine_code::accessDenied, path, "No permission to reach the file.");
        }
        failFile(engine_code::ioError, path, std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        failFile(missing, path, "Not a regular file.");
    }
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
        failFile(engine_code::accessDenied, path, "No permission to read the file.");
    }
}

// Whether an SQLite file's header marks it as in WAL mode (format versions 2 at bytes 18 and
// 19). Read by hand for a catalogue that can only be read: SQLite reading a file in WAL mode
// would make -wal and -shm files beside it wherever the directory lets it. Read through the
// engine's own file layer, never by a descriptor of ours: SQLite's unix layer keeps a
// descriptor it closes open for as long as any connection in the process holds a lock on the
// file, while closing one of ours would drop every such lock at once.
bool inWalMode(const std::filesystem::path& path, const char* vfsName) {
    sqlite3_vfs* vfs = sqlite3_vfs_find(vfsName);
    if (vfs == nullptr) {
        return false;
    }
    std::vector<std::byte> storage(static_cast<std::size_t>(vfs->szOsFile));
    auto* file = reinterpret_cast<sqlite3_file*>(storage.data());
    const std::string name = path.string();
    int flags = 0;
    // SQLite keeps a pointer to the name until the file is closed; name outlives it here.
    if (vfs->xOpen(vfs, name.c_str(), file, SQLITE_OPEN_READONLY | SQLITE_OPEN_MAIN_DB, &flags) !=
        SQLITE_OK) {
        if (file->pMethods != nullptr) {
            file->pMethods->xClose(file);
        }
        return false;
    }
    unsigned char versions[2] = {0, 0};
    const bool read = file->pMethods->xRead(file, versions, sizeof versions, 18) == SQLITE_OK;
    file->pMethods->xClose(file);
    return read && (versions[0] == 2 || versions[1] == 2);
}

bool writable(const std::filesystem::path& path) {
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0) {
        return true;
    }
    // Anything but a refusal (a full table of open files, say) shows later as what it is.
    return errno != EACCES && errno != EROFS && errno != EPERM;
}

[[noreturn, gnu::always_inline]] inline void failWalReadOnly(const std::filesystem::path& path) {
    failFile(engine_code::readOnlyFile, path,
             "The file is in WAL mode; putting it back into rollback-journal mode needs "
             "permission to write the catalogue.");
}

// Whether an SQLite message names a file by the URI it was opened with; the engine's own
// "File:" line names it as the user knows it instead.
bool namesAUri(const EngineErrorEntry& entry) {
    return entry.nativeCode != 0 && entry.text.find("file:") != std::string::npos;
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
            return table == "qv" || table == "memo" || table == "sqlite_sequence" ||
                           table == "qv_pair"
                       ? SQLITE_OK
                       : SQLITE_DENY;
        default:
            return SQLITE_DENY;
    }
}

// A copy killed while it commits a change of both files can leave that commit's super-journal
// (qv.db-mj and nine hex digits) with no journal naming it any more; SQLite never looks at it
// again, and each such kill would leave one more file beside the table. They are removed under
// a write lock on both files: no commit of another copy can be under way then, and taking the
// lock first rolls back whatever journal a kill left hot, so every one still there is an orphan.
// Nothing is tried while another copy writes; a later opening tidies up.
void removeOrphanedSuperJournals(sqlite3* db, const std::filesystem::path& directory) {
    const std::string prefix = std::string(schema::rowsFileName) + "-mj";
    const auto isSuperJournal = [&prefix](const std::string& name) {
        return name.size() == prefix.size() + 9 && name.compare(0, prefix.size(), prefix) == 0 &&
               std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    };
    std::vector<std::filesystem::path> orphans;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
         entry.increment(error)) {
        if (isSuperJournal(entry->path().filename().string())) {
            orphans.push_back(entry->path());
        }
    }
    if (orphans.empty() ||
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return;
    }
    for (const std::filesystem::path& orphan : orphans) {
        std::filesystem::remove(orphan, error);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
}

}  // namespace

Database::Database(const std::filesystem::path& directory, const std::string& vfs)
    : directory_(directory), vfsName_(vfs.empty() ? sqlite::longPathVfs() : vfs) {
    const std::filesystem::path rowsPath = directory / schema::rowsFileName;
    const std::filesystem::path memoPath = directory / schema::memoFileName;
    requireReadableFile(rowsPath, engine_code::tableNotFound);
    requireReadableFile(memoPath, engine_code::memoFileNotFound);
    // The journals are made beside the files, so writing needs the directory too.
    for (const std::filesystem::path& path : {rowsPath, memoPath, directory}) {
        if (!writable(path)) {
            readOnlyPath_ = path;
            break;
        }
    }
    // A copy that only reads holds the catalogue open too: a repair must not swap the files
    // under it.
    rowLocks_ = std::make_unique<RowLocks>(rowsPath);
    for (const std::filesystem::path& path : {rowsPath, memoPath}) {
        if (readOnly() && inWalMode(path, vfsName_.c_str())) {
            failWalReadOnly(path);
        }
    }

    try {
        connection_ = std::make_unique<sqlite::Connection>(
            rowsPath, sqlite::OpenOptions{access(), busyTimeoutMs, vfsName_});
    } catch (const EDBEngineError& error) {
        failFile(error.errorCode(), rowsPath, error.entries().front().text);
    }
    db_ = connection_->handle();
    try {
        configure();
        // Each file is checked before the next is touched, so a failure names the right one.
        const int format = checkFile(
            "main", schema::rowsApplicationId, engine_code::notATableFile, rowsPath,
            (std::string(schema::rowColumnsProbe) + "; SELECT token FROM main.qv_pair LIMIT 0")
                .c_str(),
            schema::keyColumnsProbe);
        checkFile("mb", schema::memoApplicationId, engine_code::notAMemoFile, memoPath,
                  (std::string(schema::memoColumnsProbe) + "; SELECT token FROM mb.qv_pair LIMIT 0")
                      .c_str(),
                  "");
        {
            sqlite::Transaction reading(db_, sqlite::Transaction::Kind::Read);
            checkPair();
            reading.commit();
        }
        // Only a pair that passed every check is changed: an open that fails leaves both files
        // as they were.
        useRollbackJournal("main", rowsPath);
        useRollbackJournal("mb", memoPath);
        sqlite::execute(db_, "PRAGMA main.synchronous=FULL; PRAGMA mb.synchronous=FULL");
        if (!readOnly()) {
            removeOrphanedSuperJournals(db_, directory);
        }
        sortKeys_ = format == schema::formatVersion;
        if (!sortKeys_ && !readOnly()) {
            try {
                schema::upgradeToSortKeys(db_);
            } catch (const EDBEngineError& error) {
                std::vector<EngineErrorEntry> entries = error.entries();
                entries.push_back({error.errorCode(), 0,
                                   "The catalogue's sort keys couldn't be added; nothing was "
                                   "changed."});
                entries.push_back({error.errorCode(), 0, "File: " + rowsPath.string()});
                throw EDBEngineError(error.errorCode(), std::move(entries));
            }
            sortKeys_ = true;
        }
        {
            sqlite::Transaction reading(db_, sqlite::Transaction::Kind::Read);
            findSortIndexes();
            reading.commit();
        }
        sqlite3_set_authorizer(db_, authorize, nullptr);
    } catch (...) {
        db_ = nullptr;
        connection_.reset();
        throw;
    }
}

Database::~Database() {
    sortIndexCheck_.reset();
    countConnection_.reset();
    statements_.clear();
    rowInsert_.reset();
    db_ = nullptr;
    connection_.reset();
    // Only after the connection: closing the row locks' descriptor drops every POSIX lock this
    // process holds on qv.db, and SQLite's own are gone only now.
    rowLocks_.reset();
}

void Database::configure() {
    sqlite::execute(db_, "PRAGMA case_sensitive_like=ON");
    collator_.installOn(db_);
    sqlite::Statement likeCheck(db_, "SELECT 'a' LIKE 'A'");
    if (!likeCheck.step() || likeCheck.integer(0) != 0) {
        throw EDBEngineError(engine_code::libraryTooOld, {{engine_code::libraryTooOld, 0,
                                                           "LIKE can't be made case-sensitive."}});
    }
}

int Database::checkFile(const char* schemaName, std::int32_t applicationId, EngineCode foreign,
                        const std::filesystem::path& path, const char* probe,
                        const char* keyedProbe) {
    const std::string prefix = std::string("PRAGMA ") + schemaName + ".";
    int format = 0;
    try {
        if (std::string_view(schemaName) != "main") {
            connection_->attach(path, schemaName, access());
        }
        // One read for all of this file's checks, rather than a lock taken and dropped for
        // each; the other file isn't touched by them.
        sqlite::Transaction reading(db_, sqlite::Transaction::Kind::Read);
        {
            // Scoped: a statement left on a row would keep a read open.
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
            format = static_cast<int>(version.integer(0));
        }
        // The tables and columns we rely on; a damaged schema fails here too.
        sqlite::execute(db_, probe);
        if (format == schema::formatVersion) {
            sqlite::execute(db_, keyedProbe);
        }
        reading.commit();
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
        // Any other failure here means the file is not what it should be.
        const EngineCode kept[] = {engine_code::corruptFile,  engine_code::ioError,
                                   engine_code::tableBusy,    engine_code::accessDenied,
                                   engine_code::readOnlyFile, engine_code::outOfMemory};
        const EngineCode code =
            std::find(std::begin(kept), std::end(kept), error.errorCode()) != std::end(kept)
                ? error.errorCode()
                : foreign;
        std::vector<EngineErrorEntry> entries;
        if (readOnly() && error.entries().front().nativeCode == SQLITE_READONLY_ROLLBACK) {
            // SQLite's "attempt to write a readonly database" would only puzzle here.
            entries.push_back({code, 0,
                               "A change left unfinished has to be rolled back first, "
                               "which needs permission to write the catalogue."});
        } else {
            if (error.errorCode() == engine_code::accessDenied) {
                entries.push_back({engine_code::accessDenied, 0, "The file can't be opened."});
            }
            for (const EngineErrorEntry& entry : error.entries()) {
                if (!namesAUri(entry)) {
                    entries.push_back(entry);
                }
            }
        }
        entries.push_back({code, 0, "File: " + path.string()});
        throw EDBEngineError(code, std::move(entries));
    }
    return format;
}

// A rollback journal, never WAL: only then does a commit touching both files commit both or
// neither, and only then is a plain byte copy of them a consistent backup. Leaving WAL mode
// moves the saved changes from the -wal file into the file and removes the -wal file; nothing
// else of the file changes. It needs the only connection, so another program holding the file
// in WAL mode makes the open fail (after the busy timeout) rather than be ignored.
void Database::useRollbackJournal(const char* schemaName, const std::filesystem::path& path) {
    const std::string pragma = std::string("PRAGMA ") + schemaName + ".journal_mode";
    bool wal = false;
    {
        sqlite::Statement current(db_, pragma);
        wal = current.step() && current.text(0).value_or("") == "wal";
    }
    if (wal && readOnly()) {
        failWalReadOnly(path);
    }
    std::optional<EDBEngineError> failure;
    std::string mode;
    try {
        sqlite::Statement change(db_, pragma + "=DELETE");
        mode = change.step() ? change.text(0).value_or("") : "";
    } catch (const EDBEngineError& error) {
        failure = error;
    }
    if (mode != "delete") {
        const EngineCode code = failure ? failure->errorCode() : engine_code::tableBusy;
        failFile(code == engine_code::tableBusy || code == engine_code::readOnlyFile
                     ? code
                     : engine_code::tableBusy,
                 path,
                 "The file is in WAL mode and can't be put back into rollback-journal mode "
                 "while another program has it open.");
    }
}

void Database::requireWritable() const {
    if (!readOnly()) {
        return;
    }
    const bool isDirectory = readOnlyPath_ == directory_;
    throw EDBEngineError(engine_code::readOnlyFile,
                         {{engine_code::readOnlyFile, 0,
                           isDirectory ? "No permission to write in the catalogue's directory."
                                       : "No permission to write the file."},
                          {engine_code::readOnlyFile, 0,
                           (isDirectory ? "Directory: " : "File: ") + readOnlyPath_.string()}});
}

RowLocks& Database::rowLocks() {
    requireWritable();
    return *rowLocks_;
}

void Database::checkPair() {
    sqlite::Statement pair(db_,
                           "SELECT (SELECT token FROM main.qv_pair) = "
                           "(SELECT token FROM mb.qv_pair)");
    if (!pair.step() || pair.integer(0) != 1) {
        failFile(engine_code::filesDoNotMatch, directory_ / schema::memoFileName);
    }
    sqlite::Statement counts(db_, schema::commitCountsSql);
    if (counts.step() && counts.integer(0) != counts.integer(1)) {
        failFile(engine_code::filesDoNotMatch, directory_ / schema::memoFileName,
                 "The files are from different moments: qv.db has " +
                     std::to_string(counts.integer(0)) + " changes of both files, qv.mb " +
                     std::to_string(counts.integer(1)) + ". qvtool check and repair tell more.");
    }
}

// An unkeyed catalogue's indexes order bytes, not Czech: of no use to a sorted result.
void Database::findSortIndexes() {
    std::vector<int> present;
    for (int column = 0; column < schema::keyedColumnCount; ++column) {
        sqlite::Statement index(
            db_, "SELECT count(*) FROM main.sqlite_master WHERE type='index' AND name=?");
        index.bind(1, std::optional<std::string>(schema::sortIndexName(column)));
        sortIndex_[column] = sortKeys_ && index.step() && index.integer(0) == 1;
        if (sortIndex_[column]) {
            present.push_back(column);
        }
    }
    // Rows without keys are searched for through both indexes, and written only when the
    // catalogue may be.
    const bool lookForKeyless = !readOnly() && present.size() == 2;
    sortIndexCheck_ =
        std::make_unique<DeferredSortIndexCheck>([present, lookForKeyless](sqlite3* db) {
            return schema::findSortIndexFaults(db, present, lookForKeyless);
        });
}

void Database::readAhead(int rows) {
    // Another copy's lock is not waited for here: the reading itself waits for it, once.
    sqlite3_busy_timeout(db_, 0);
    sqlite::TolerantStatement read(db_,
                                   "SELECT m.obsah IS NULL FROM (SELECT id FROM main.qv ORDER BY "
                                   "rowid LIMIT ?1) q LEFT JOIN mb.memo m ON m.id = q.id");
    read.bind(1, static_cast<std::int64_t>(rows));
    // A failure is left alone: the first screen reads the rows itself and reports what fails.
    read.run();
    sqlite3_busy_timeout(db_, busyTimeoutMs);
}

void Database::startSortIndexCheck() {
    if (sortIndexCheck_->done() || (!sortIndex_[0] && !sortIndex_[1])) {
        return;
    }
    try {
        sortIndexCheck_->start(countConnection(), beforeSortIndexCheck_);
    } catch (const EDBEngineError&) {
        // No connection to check on: the first sort checks on this one.
    }
}

void Database::settleSortIndexes() {
    if (sortIndexesSettled_) {
        return;
    }
    const schema::SortIndexFindings& findings = sortIndexCheck_->take(db_);
    sortIndexesSettled_ = true;
    if (findings.miscounted.empty() && !findings.keyless) {
        return;
    }
    // What follows are the engine's own statements, which the fence around the user's
    // statements would refuse.
    sqlite3_set_authorizer(db_, nullptr, nullptr);
    const bool rebuilt = !findings.miscounted.empty() && !readOnly() &&
                         schema::rebuildSortIndexes(db_, findings.miscounted, busyTimeoutMs);
    if (!findings.miscounted.empty() && !rebuilt) {
        for (const int column : findings.miscounted) {
            sortIndex_[column] = false;
            bypassIndex_[column] = true;
        }
    }
    // A rebuilt index wasn't searched for rows without keys.
    if (!readOnly() && sortIndex_[0] && sortIndex_[1] && (findings.keyless || rebuilt)) {
        schema::keyRowsWrittenByOthers(db_, busyTimeoutMs);
    }
    sqlite3_set_authorizer(db_, authorize, nullptr);
}

sqlite::Access Database::access() const {
    return readOnly() ? sqlite::Access::ReadOnly : sqlite::Access::ReadWrite;
}

bool Database::hasSortIndex(int column) const {
    return column >= 0 && column < 2 && sortIndex_[column];
}

std::string Database::sortExpression(int column) const {
    return sortKeys_ ? schema::sortExpression(column) : schema::unkeyedSortExpression(column);
}

std::string Database::rowsSource() const {
    return bypassIndex_[0] || bypassIndex_[1] ? "main.qv NOT INDEXED" : "main.qv";
}

CountConnection& Database::countConnection() {
    if (!countConnection_) {
        countConnection_ = std::make_unique<CountConnection>(CatalogueFiles{
            directory_ / schema::rowsFileName, directory_ / schema::memoFileName, vfsName_});
    }
    return *countConnection_;
}

std::unique_lock<std::mutex> Database::holdBackgroundReads() {
    return std::unique_lock<std::mutex>(countConnection().inUse());
}

RowInsert& Database::rowInsert() {
    requireWritable();
    if (!rowInsert_) {
        rowInsert_ = std::make_unique<RowInsert>(db_);
    }
    return *rowInsert_;
}

sqlite::Statement& Database::statement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end()) {
        found = statements_.emplace(sql, std::make_unique<sqlite::Statement>(db_, sql)).first;
    }
    return *found->second;
}

}  // namespace quorvel
