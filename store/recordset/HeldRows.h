// The window of rows a record set holds: as many rows of the result as the grid shows
// (capacity, at least one), the current one among them, and whether the result goes on before
// the first row held and after the last. Rows come from the cursor; each fill reads one row more
// on each side than it keeps, to know whether the result goes on.
#pragma once

#include <cstdint>
#include <vector>

#include "query/Direction.h"
#include "query/RowData.h"

namespace quorvel {

class Cursor;

class HeldRows {
  public:
    int capacity() const { return capacity_; }
    // Only the number; the caller fills or trims the window after it.
    void setCapacity(int capacity) { capacity_ = capacity; }

    int size() const { return static_cast<int>(rows_.size()); }
    bool empty() const { return current_ < 0; }
    const RowData& at(int index) const { return rows_.at(static_cast<std::size_t>(index)); }
    RowData& at(int index) { return rows_.at(static_cast<std::size_t>(index)); }
    // Index of the current row; -1 when there is none.
    int current() const { return current_; }
    void setCurrent(int index) { current_ = index; }
    RowData* currentRow() { return empty() ? nullptr : &at(current_); }
    const RowData* currentRow() const { return empty() ? nullptr : &at(current_); }
    bool isFirst() const { return current_ <= 0 && atStart_; }
    bool isLast() const { return current_ == size() - 1 && atEnd_; }

    void clear();
    // The first rows of cursor's result, the first of them current.
    void fillFromStart(Cursor& cursor);
    // The last rows, leaving reserve places free after them; the last row current.
    void fillFromEnd(Cursor& cursor, int reserve);
    // The rows around anchor, which becomes current at line (as near as the result allows).
    void fillAround(Cursor& cursor, const RowData& anchor, int line);
    // Reading anew after Post, Cancel and Delete: the row at position, else the next, else the
    // previous one; it keeps its line.
    void resync(Cursor& cursor, const RowData& position, int line);

    // A move past the last row held (Forward) or the first (Backward), reading rows in; the
    // row reached becomes current.
    struct Move {
        std::int64_t moved = 0;    // rows moved over
        std::int64_t shifted = 0;  // rows that left the window at the other end
    };
    Move moveAlong(Cursor& cursor, Direction direction, std::int64_t distance);

    // A new row, current: after the last rows (append, once fillFromEnd has left it a place),
    // or before the current row (insert), pushing the last row out when the window is full.
    void appendNew(RowData row);
    void insertNew(RowData row);
    // Takes the current row out; the one after it, else the one before, becomes current.
    void removeCurrent();
    // Rows beyond the capacity go, the later first, keeping the current row.
    void trimToCapacity();
    // Each row's number in cursor's numbering; skipCurrent for a new row, which has none.
    void numberRows(const Cursor& cursor, bool skipCurrent);

    void checkInvariants() const;

  private:
    int capacity_ = 1;
    std::vector<RowData> rows_;
    int current_ = -1;
    bool atStart_ = true;  // no row of the result before the first held
    bool atEnd_ = true;    // none after the last held
};

}  // namespace quorvel
