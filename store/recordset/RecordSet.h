// The record set (Query1): the one object through which the program reads and changes the
// table. It holds the statement's lines, has the engine run them, keeps one row of the result
// current and carries out every change of the data, in four states: inactive, browse, edit and
// insert. It holds only a window of rows (as many as the grid shows, HeldRows) and reads the
// others from the engine's cursor when the current row moves to them.
//
// Every operation either completes or raises, leaving the state and every pending value as they
// were (a failed Open leaves the set inactive).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "query/RowData.h"
#include "recordset/Field.h"
#include "recordset/HeldRows.h"
#include "recordset/StatementText.h"

namespace quorvel {

class Cursor;
class DataSource;
class Engine;

enum class DataSetState { Inactive, Browse, Edit, Insert };

class RecordSet {
  public:
    RecordSet(Engine& engine, std::string name = "Query1");
    ~RecordSet();
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    const std::string& Name() const { return name_; }

    // The statement's lines. Every change closes the set first (dropping a pending change
    // without a word) and rescans the text for parameter markers.
    const std::vector<std::string>& SQL() const { return sql_; }
    void ClearSQL();
    void AddSQL(const std::string& line);
    bool RequestLive() const { return requestLive_; }
    void SetRequestLive(bool requestLive) { requestLive_ = requestLive; }

    DataSetState State() const { return state_; }
    bool Active() const { return state_ != DataSetState::Inactive; }
    void SetActive(bool active);
    bool CanModify() const { return canModify_; }
    bool Modified() const { return modified_; }
    bool IsEmpty() const { return held_.empty(); }

    void Open();
    void Close();
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void First();
    void Last();
    // Moves row by row, stopping at either end; gives the rows actually moved (negative
    // backwards).
    int MoveBy(int distance);
    void UpdateRecord();
    void CheckBrowseMode();

    // Fields of the open result, in result order; none while inactive.
    int FieldCount() const { return static_cast<int>(fields_.size()); }
    Field& Fields(int index) const { return *fields_.at(static_cast<std::size_t>(index)); }
    // Found without regard to case; "Field '%s' not found".
    Field& FieldByName(const std::string& name) const;
    Field* FindField(const std::string& name) const;
    // Moves the field at from to the place to in the field order (the grid's column moves);
    // the order lasts until the next opening builds the fields anew.
    void MoveField(int from, int to);

    // The window of rows held. BufferCount is how many rows to hold (at least one).
    int BufferCount() const { return held_.capacity(); }
    void SetBufferCount(int count);
    int HeldRowCount() const { return held_.size(); }
    const RowData& HeldRow(int index) const { return held_.at(index); }
    // Index of the current row among the rows held; -1 when there is none.
    int ActiveRecord() const { return held_.current(); }
    bool IsFirst() const { return held_.isFirst(); }
    bool IsLast() const { return held_.isLast(); }

    // Where the result numbers its rows: the current row's number (1-based, 0 for a new row),
    // the number of rows, and a move to a number.
    bool NumbersRows() const;
    std::int64_t RecNo() const;
    std::int64_t RecordCount() const;
    void MoveToRecNo(std::int64_t recNo);
    // A search result opens before its rows are counted; the count runs meanwhile in the
    // store. The controls ask CheckCount now and then while CountRunning: when the count has
    // arrived, the set numbers its rows from then on and tells them (numberingChanged). Any
    // move also takes a count that has arrived, without that notice.
    bool CountRunning() const;
    bool CheckCount();
    // Waits at most timeout for the count and takes it; whether the set numbers its rows.
    bool WaitForCount(std::chrono::milliseconds timeout);

    void addDataSource(DataSource* dataSource);
    void removeDataSource(DataSource* dataSource);

    // Used by the fields.
    RowData* currentRow() { return held_.currentRow(); }
    const RowData* currentRow() const { return held_.currentRow(); }
    // The memo text of a held row, read from the engine the first time it is asked for.
    std::optional<std::string> memoOf(RowData& row);
    void fieldWritten(const Field& field);
    [[noreturn]] void raise(const std::string& text) const;  // "Query1: text"

    // Asserts, in the test build, what holds between two calls: an open set has a cursor and
    // fields, a pending row is held and current, and the window of rows is sound.
    void checkInvariants() const;

  private:
    // Checks the invariants when a call that changes the set's state returns or raises.
    struct Checked {
        const RecordSet& set;
        ~Checked() { set.checkInvariants(); }
    };

    template <typename Notice>
    void notify(Notice notice);
    void setState(DataSetState state);
    void requireOpen() const;
    void requireCanModify() const;
    // Closes the set and rescans the lines after a change of them.
    void linesChanged();

    Engine& engine_;
    std::string name_;
    std::vector<std::string> sql_;
    ScannedStatement scanned_;  // the lines as the engine gets them, markers found
    bool requestLive_ = true;

    DataSetState state_ = DataSetState::Inactive;
    bool canModify_ = false;
    bool modified_ = false;
    std::unique_ptr<Cursor> cursor_;
    std::vector<std::unique_ptr<Field>> fields_;

    HeldRows held_;
    // Where the engine's cursor stands for a new row: the row it was placed before (Insert),
    // or the end of the result (Append, insertAtEnd_).
    std::optional<RowData> insertBefore_;
    bool insertAtEnd_ = false;
    // The row in edit as it was read when the edit began, shown again by Cancel.
    std::optional<RowData> original_;

    std::vector<DataSource*> dataSources_;
};

}  // namespace quorvel
