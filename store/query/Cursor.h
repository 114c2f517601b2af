// The result of one statement, read a few rows at a time. The cursor keeps no SQLite statement
// or transaction open between two calls: every call reads what it needs in one short
// transaction and lets go. Rows are found again by their key (the row id, and the sort value
// for a sorted result), so reading the last rows of a large result never reads the rows before
// them.
//
// A result numbers its rows (recNo, rowCount) when the engine has to go through the whole
// table to make it anyway: one sorted on a field without an index. It then keeps the ids of its
// rows, in order, from its opening. A result of the whole table, in stored order or sorted by an
// indexed field, doesn't number its rows.
//
// A result with a where condition opens at once, walked by its key with the condition like the
// unnumbered ones, and is counted meanwhile on a thread of its own (BackgroundCount); the call
// after the count is complete takes its numbering (takeCount). Until then the result holds the
// rows of its opening that meet the condition, and the rows this copy wrote since. A small
// table is counted at once, in the opening. A count that fails leaves the result unnumbered.
// Rows that another running copy deletes leave the numbering at the next call that reads,
// so the numbers handed out are always places in the result as it stands; rows that copy adds
// don't join a result already open.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "query/Direction.h"
#include "query/RowData.h"
#include "query/SqlDialect.h"

namespace quorvel {

class BackgroundCount;
class Database;
namespace sqlite {
class Statement;
class Transaction;
}  // namespace sqlite

class Cursor {
  public:
    // Runs the statement; throws EDBEngineError.
    Cursor(Database& database, ParsedSelect select, bool requestLive);
    ~Cursor();  // releases every row lock this cursor holds
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    const std::vector<FieldDesc>& fields() const { return fields_; }
    // Rows can be added, changed and deleted through this result.
    bool isLive() const { return live_; }
    bool numbersRows() const { return numbered_; }
    // A count of the result is running (or done and not yet taken).
    bool counting() const;
    // Takes the numbering of a count that is complete; true when the result numbers its rows
    // from now on. A count that failed is dropped. Every reading call does this first.
    bool takeCount();
    // Asks a running count to stop, without waiting for it to end.
    void stopCount();
    // Waits for the count at most timeout; whether it is complete (tests and benchmarks).
    bool waitForCount(std::chrono::milliseconds timeout);
    // The longest time one range of the count held its read lock so far.
    std::chrono::microseconds longestCountRange() const;
    // Number of rows; numbering results only.
    std::int64_t rowCount() const { return static_cast<std::int64_t>(ids_.size()); }
    // The place of row in the result (1-based), as of the last call that read; 0 when it is
    // no longer in the result, or the result doesn't number its rows.
    std::int64_t numberOf(const RowData& row) const;

    // Reading. Each returns rows in result order. A row handed back need not still be in the
    // table: reading after or before a deleted row reads from where it stood.
    std::vector<RowData> readFirst(std::size_t count);
    std::vector<RowData> readLast(std::size_t count);
    // The count rows after row, skipping the first skip of them.
    std::vector<RowData> readAfter(const RowData& row, std::size_t count, std::size_t skip = 0);
    // The count rows before row (the nearest last), skipping the skip nearest.
    std::vector<RowData> readBefore(const RowData& row, std::size_t count, std::size_t skip = 0);
    // row read anew; nullopt when it is no longer in the table (or the result).
    std::optional<RowData> readRow(const RowData& row);
    // The row numbered recNo (1-based); numbering results only; nullopt outside 1..rowCount,
    // the count as this call finds it.
    std::optional<RowData> readNumber(std::int64_t recNo);
    // The whole memo text of row id; nullopt when it has none.
    std::optional<std::string> readMemo(std::int64_t id);

    // Writing, live results only (else readOnlyCursor).
    // Locks row for writing and reads it anew: recordLocked when another copy holds it,
    // recordNotFound when it is gone.
    RowData lockRow(const RowData& row);
    void unlockRow(const RowData& row);
    // An empty new row; the table supplies no values of its own.
    RowData newRow() const;
    // Adds row; returns it as stored. The new row stands at the end of the result.
    RowData insertRow(const RowData& row);
    // Replaces the locked row and releases its lock; recordChanged when the stored row is not
    // the version that was locked, recordNotFound when it is gone. Returns the row as stored.
    RowData modifyRow(const RowData& row);
    // Deletes row (and its memo); recordLocked when another copy is editing it,
    // recordNotFound (category 0x22) when it is gone already.
    void deleteRow(const RowData& row);

  private:
    // readFirst (Forward) and readLast (Backward).
    std::vector<RowData> readEnd(Direction direction, std::size_t count);
    // readAfter (Forward) and readBefore (Backward).
    std::vector<RowData> readBeside(Direction direction, const RowData& row, std::size_t count,
                                    std::size_t skip);
    std::string rowSelect() const;
    // Rows of the table that meet where, or, byCondition, rows of the result (a result walked
    // by its condition).
    std::vector<RowData> query(const std::string& where, const std::string& order,
                               const std::vector<SqlValue>& values, std::size_t count,
                               std::size_t skip, bool byCondition = true);
    sqlite::Statement& ownStatement(const std::string& sql);
    void startCount(const ParsedSelect& select);
    // takeCount without reading: the numbering only.
    bool adoptCount();
    // The count begins once the first rows have been read (firstRows, when read from the start
    // of the result).
    void beginCount(const std::vector<RowData>* firstRows = nullptr);
    // A walk from either end that came to the other end has read the whole result, in this
    // call's transaction: the result numbers its rows from now on, and the count isn't needed.
    void wholeResultRead(std::vector<RowData>& rows);
    // A row this copy added or changed while the result is walked by its condition.
    void ownWrite(std::int64_t id);
    RowData rowFrom(const sqlite::Statement& statement) const;
    // Rows read in key order (the id, or the sort value and then the id) come strictly in that
    // order, and after (before) the row they were asked after (before). A damaged file can break
    // that without SQLite noticing, and a walk over it would then go round for ever: corruptFile.
    void requireKeyOrder(const std::vector<RowData>& rows, const RowData* after,
                         const RowData* before) const;
    std::optional<RowData> readById(std::int64_t id);
    // Numbering results: count rows from position start onwards, or the count rows before
    // position end. A row another copy deleted meanwhile leaves the list, so pages stay full
    // and numbers stay right.
    std::vector<RowData> readForward(std::int64_t start, std::size_t count);
    std::vector<RowData> readBackward(std::int64_t end, std::size_t count);
    std::optional<std::int64_t> positionOf(const RowData& row) const;
    // Numbering results, inside a call's transaction: drops from ids_ the rows that another
    // connection deleted since this cursor last looked. dataVersion tells whether anyone did.
    void refreshNumbering();
    // After this cursor's own commit: the table is as ids_ says.
    void numberingCommitted();
    unsigned dataVersion() const;
    // Where a row no longer in the result stood: the row after it now has that position.
    static std::int64_t gapOf(const RowData& row);
    void materialize(const ParsedSelect& select);
    void requireLive() const;
    void writeMemo(const RowData& row);
    // Commits a write. A COMMIT of a change to both files can fail after its commit point
    // (SQLite has deleted the super-journal, then syncing the directory fails): the change is
    // in the table then, and a failure reported would have it written a second time on retry.
    // So the failure is raised only when landed, asked afresh, says the change is not there.
    // A failure that couldn't tell is raised; the retried Post (of the same row, still pending)
    // then finds the change in the table and takes it as written (doubtfulInsert_ for a new
    // row; doubtfulEdit_ and the row's next version for an edited one).
    void commitWrite(sqlite::Transaction& transaction, const std::function<bool()>& landed);
    // Whether the table holds row's fields (and its memo, when written) under id.
    bool holdsWritten(std::int64_t id, const RowData& row);

    Database& database_;
    std::vector<FieldDesc> fields_;
    bool live_ = false;
    bool numbered_ = false;
    bool idOrder_ = true;            // ordered by id (else by sortColumn_)
    int sortColumn_ = -1;            // the order by column of a keyset-sorted result
    std::vector<std::int64_t> ids_;  // numbering results: the ids in result order
    bool idsAscending_ = true;       // ... which are then in id order too
    unsigned seenVersion_ = 0;       // qv.db's data version that ids_ agrees with
    std::set<std::int64_t> locked_;
    // A result walked by its condition (counting, or its count failed).
    bool filtered_ = false;
    std::string condition_;
    std::vector<SqlValue> conditionParameters_;
    bool joinMemo_ = false;
    std::int64_t lastId_ = 0;            // the largest id at the opening
    std::set<std::int64_t> ownWritten_;  // ... rows this copy wrote since
    std::set<std::int64_t> ownDeleted_;  // ... and deleted since
    std::map<std::string, std::unique_ptr<sqlite::Statement>> statements_;
    std::unique_ptr<BackgroundCount> count_;
    // The id a new row got in a write whose commit failed: it may be in the table after all.
    std::optional<std::int64_t> doubtfulInsert_;
    // The id of an edited row whose commit failed, its lock still held.
    std::optional<std::int64_t> doubtfulEdit_;
};

}  // namespace quorvel
