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
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "query/Direction.h"
#include "query/KeyWalk.h"
#include "query/RowData.h"
#include "query/RowNumbering.h"
#include "query/SqlDialect.h"

namespace quorvel {

class BackgroundCount;
class Database;
namespace sqlite {
class Transaction;
}  // namespace sqlite

class Cursor {
  public:
    // Parses and runs a statement of the dialect on database; throws EDBEngineError.
    // requestLive asks for a result that can be changed; one with an order clause is read-only
    // all the same.
    static std::unique_ptr<Cursor> open(Database& database, std::string_view text,
                                        bool requestLive);
    // Runs the statement; throws EDBEngineError.
    Cursor(Database& database, ParsedSelect select, bool requestLive);
    ~Cursor();  // releases every row lock this cursor holds
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    const std::vector<FieldDesc>& fields() const { return fields_; }
    // Rows can be added, changed and deleted through this result.
    bool isLive() const { return live_; }
    bool numbersRows() const { return numbering_.has_value(); }
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
    std::int64_t rowCount() const { return numbering_ ? numbering_->rowCount() : 0; }
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

    // Asserts, in the test build, what holds between two calls: a numbered result is neither
    // walked by a condition nor counted, and only a result in id order is live.
    void checkInvariants() const;

  private:
    // Checks the invariants when a call that changes the cursor's state returns or raises.
    struct Checked {
        const Cursor& cursor;
        ~Checked() { cursor.checkInvariants(); }
    };

    // readFirst (Forward) and readLast (Backward).
    std::vector<RowData> readEnd(Direction direction, std::size_t count);
    // readAfter (Forward) and readBefore (Backward).
    std::vector<RowData> readBeside(Direction direction, const RowData& row, std::size_t count,
                                    std::size_t skip);
    // The numbering's reads, which find rows by id through the walk.
    std::vector<RowData> readNumbered(Direction direction, std::int64_t from, std::size_t count);
    void startCount(const ParsedSelect& select);
    // takeCount without reading: the numbering only.
    bool adoptCount();
    // The count begins once the first rows have been read (firstRows, when read from the start
    // of the result).
    void beginCount(const std::vector<RowData>* firstRows = nullptr);
    // A walk from either end that came to the other end has read the whole result, in this
    // call's transaction: the result numbers its rows from now on, and the count isn't needed.
    void wholeResultRead(std::vector<RowData>& rows);
    // Inside a call's transaction: takes a count that is complete, and drops from the
    // numbering the rows that another connection deleted since.
    void refreshNumbering();
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
    KeyWalk walk_;
    // Numbering results: their rows' ids in result order.
    std::optional<RowNumbering> numbering_;
    // A search's: qv.db's data version at the opening, which its numbering starts from.
    std::optional<unsigned> openedVersion_;
    std::set<std::int64_t> locked_;
    std::unique_ptr<BackgroundCount> count_;
    // The id a new row got in a write whose commit failed: it may be in the table after all.
    std::optional<std::int64_t> doubtfulInsert_;
    // The id of an edited row whose commit failed, its lock still held.
    std::optional<std::int64_t> doubtfulEdit_;
};

}  // namespace quorvel
