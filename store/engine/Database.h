// The one connection to the table's two files: qv.db opened, qv.mb attached, both checked to be
// a matching pair of catalogue files before anything else happens, and both put into
// rollback-journal mode, the only one in which a commit touching both is atomic. Opens existing
// files only; a failed open changes nothing on disk.
//
// A catalogue whose files (or directory) the user may only read opens read-only: it can be
// browsed and searched, and every write is refused with "Table is read only." naming what can't
// be written. SQLite still takes its locks and looks for a hot journal then, so a change another
// copy is making, or one a crash left unfinished, is never read half-done: the latter is refused
// until someone allowed to write opens the catalogue and rolls it back.
//
// A catalogue of the unkeyed format (before the Czech sort keys) is upgraded by the first
// opening that may write it (FormatUpgrade); one that can only be read is sorted on keys the
// connection makes as it reads (czech_key), without its indexes.
//
// The opening reads only what the first screen needs besides the files' headers and schemas.
// The sort indexes' check, and the search for rows another program wrote without their sort
// keys, read far more, and only a sorted result depends on them: they run once the program asks
// (startSortIndexCheck, on the count connection's thread), and their findings are acted on before
// the first statement that sorts (settleSortIndexes).
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "EngineCodes.h"
#include "text/CzechCollator.h"

namespace quorvel {

class CountConnection;
class DeferredSortIndexCheck;
class RowInsert;
class RowLocks;
namespace sqlite {
class Connection;
class Statement;
enum class Access;
}  // namespace sqlite

class Database {
  public:
    // Throws EDBEngineError: a file missing, unreadable, foreign, newer, damaged, the pair
    // mismatched, or a file in WAL mode that can't be put back into rollback-journal mode.
    // vfs names the SQLite file layer to open both files with; empty for the engine's own
    // (the fault-injection tests put theirs under the engine this way).
    explicit Database(const std::filesystem::path& directory, const std::string& vfs = {});
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* handle() const { return db_; }
    // A prepared statement kept for the connection's life; always reset after use.
    sqlite::Statement& statement(const std::string& sql);
    // Throws readOnlyFile when the catalogue can only be read.
    RowLocks& rowLocks();
    bool readOnly() const { return !readOnlyPath_.empty(); }
    // Throws readOnlyFile, naming the file or directory that can't be written, when the
    // catalogue can only be read; every write asks this first.
    void requireWritable() const;
    // Reads the pages of the first rows in stored order, with their memos, into the
    // connection's cache, so that a first screen of that many rows finds them there. Errors are
    // left for the reading itself to report.
    void readAhead(int rows);
    // Starts the sort indexes' check on the count connection's thread, at most once; when that
    // connection can't be opened, the check is left to settleSortIndexes.
    void startSortIndexCheck();
    // Called before any statement that may read through a sort index: takes the check's findings
    // (waiting for a check under way, or running it here when nobody has begun it), then
    // rebuilds a miscounted index in one transaction of its own when the catalogue may be written
    // and no other copy holds a lock, and otherwise stops using it; then gives the rows other
    // programs wrote their keys. Once per opening; later calls return at once. Throws
    // EDBEngineError when another copy's lock outlasts the busy wait: nothing is settled then,
    // and the next call checks again.
    void settleSortIndexes();
    bool sortIndexesSettled() const { return sortIndexesSettled_; }
    // Asked on the check's thread whether it may begin (DeferredSortIndexCheck::start); set it
    // before startSortIndexCheck. Tests hold the check with it.
    void setBeforeSortIndexCheck(std::function<bool()> hook) {
        beforeSortIndexCheck_ = std::move(hook);
    }
    // Whether a sorted result reads through column's sort index; settled only after
    // settleSortIndexes.
    bool hasSortIndex(int column) const;
    // What an order by column sorts on in this catalogue's format (schema::sortExpression).
    std::string sortExpression(int column) const;
    // The table as a query reads it whole: "main.qv", kept from every index when one was found
    // wrong and kept (either index covers a list of ids, and SQLite may scan one); settled only
    // after settleSortIndexes.
    std::string rowsSource() const;
    // The writer of rows on this connection; throws readOnlyFile when the catalogue can only
    // be read.
    RowInsert& rowInsert();
    const std::filesystem::path& directory() const { return directory_; }
    // The SQLite file layer the files are opened with, for other connections to the same files.
    const std::string& vfsName() const { return vfsName_; }
    // The connection searches are counted on in the background, opened at the first call and
    // kept until the Database goes (CountConnection). Throws EDBEngineError when it can't be
    // opened; a later call tries again.
    CountConnection& countConnection();
    // Holds the reads made in the background on the count connection (a search's count, the
    // sort indexes' check) until the lock given is let go of: for work that opens and closes
    // connections of its own to the files, whose close would drop the locks they read under.
    // Throws EDBEngineError when the count connection can't be opened.
    std::unique_lock<std::mutex> holdBackgroundReads();
    // Asked on a search's count thread before each range it reads: whether it may read it now
    // (asked again a moment later if not). Tests hold counts with it.
    const std::function<bool()>& beforeCountRange() const { return beforeCountRange_; }
    void setBeforeCountRange(std::function<bool()> hook) { beforeCountRange_ = std::move(hook); }

  private:
    void configure();
    // How the files are opened: read-only when the catalogue can only be read.
    sqlite::Access access() const;
    // Attaches (but for main) and checks one of the two files: its application id, format
    // version and the tables that probe reads. Failures name the file.
    // Returns the file's format version. keyedProbe is run too when the format is the current
    // one.
    int checkFile(const char* schemaName, std::int32_t applicationId, EngineCode foreign,
                  const std::filesystem::path& path, const char* probe, const char* keyedProbe);
    void useRollbackJournal(const char* schemaName, const std::filesystem::path& path);
    void checkPair();
    void findSortIndexes();

    std::filesystem::path directory_;
    std::string vfsName_;
    std::function<bool()> beforeCountRange_;
    std::function<bool()> beforeSortIndexCheck_;
    // What can't be written when the catalogue can only be read; empty when it can be.
    std::filesystem::path readOnlyPath_;
    // Declared before connection_ so it is closed after SQLite: closing our descriptor of qv.db
    // while SQLite held its locks would drop them.
    std::unique_ptr<RowLocks> rowLocks_;
    // Serves the connection's czech_key, so it outlives connection_.
    CzechCollator collator_;
    std::unique_ptr<sqlite::Connection> connection_;
    sqlite3* db_ = nullptr;  // connection_'s, while it is open
    std::map<std::string, std::unique_ptr<sqlite::Statement>> statements_;
    std::unique_ptr<RowInsert> rowInsert_;
    std::unique_ptr<CountConnection> countConnection_;
    // Declared after the count connection, so that its thread has ended before that closes.
    std::unique_ptr<DeferredSortIndexCheck> sortIndexCheck_;
    bool sortIndexesSettled_ = false;
    bool sortKeys_ = false;  // the rows carry their sort keys (the current format)
    bool sortIndex_[2] = {false, false};
    bool bypassIndex_[2] = {false, false};  // an index found wrong and kept: reads go round it
};

}  // namespace quorvel
