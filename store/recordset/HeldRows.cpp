#include "recordset/HeldRows.h"

#include <algorithm>
#include <cassert>

#include "query/Cursor.h"

namespace quorvel {

namespace {

// Rows read at a time when a move goes past the rows held: a long move reads on in pages of at
// least this many rows and keeps only the last window of them.
constexpr std::int64_t movePage = 256;

}  // namespace

void HeldRows::clear() {
    rows_.clear();
    current_ = -1;
    atStart_ = atEnd_ = true;
}

void HeldRows::fillFromStart(Cursor& cursor) {
    const auto capacity = static_cast<std::size_t>(capacity_);
    std::vector<RowData> rows = cursor.readFirst(capacity + 1);
    const bool atEnd = rows.size() <= capacity;
    if (!atEnd) {
        rows.pop_back();
    }
    rows_ = std::move(rows);
    current_ = rows_.empty() ? -1 : 0;
    atStart_ = true;
    atEnd_ = atEnd;
}

void HeldRows::fillFromEnd(Cursor& cursor, int reserve) {
    const auto wanted = static_cast<std::size_t>(capacity_ - reserve);
    std::vector<RowData> rows = cursor.readLast(wanted + 1);
    const bool atStart = rows.size() <= wanted;
    if (!atStart) {
        rows.erase(rows.begin());
    }
    rows_ = std::move(rows);
    current_ = size() - 1;
    atStart_ = atStart;
    atEnd_ = true;
}

void HeldRows::fillAround(Cursor& cursor, const RowData& anchor, int line) {
    const auto capacity = static_cast<std::size_t>(capacity_);
    const auto wantedBefore = static_cast<std::size_t>(std::clamp(line, 0, capacity_ - 1));
    std::vector<RowData> before = cursor.readBefore(anchor, wantedBefore + 1);
    bool atStart = before.size() <= wantedBefore;
    if (!atStart) {
        before.erase(before.begin());
    }
    const std::size_t wantedAfter = capacity - 1 - before.size();
    std::vector<RowData> after = cursor.readAfter(anchor, wantedAfter + 1);
    const bool atEnd = after.size() <= wantedAfter;
    if (!atEnd) {
        after.pop_back();
    }
    // Near the end of the result the window is filled up with rows before.
    const std::size_t room = capacity - 1 - before.size() - after.size();
    if (room > 0 && !atStart) {
        std::vector<RowData> more =
            cursor.readBefore(before.empty() ? anchor : before.front(), room + 1);
        atStart = more.size() <= room;
        if (!atStart) {
            more.erase(more.begin());
        }
        before.insert(before.begin(), more.begin(), more.end());
    }
    std::vector<RowData> rows = std::move(before);
    const int current = static_cast<int>(rows.size());
    rows.push_back(anchor);
    rows.insert(rows.end(), after.begin(), after.end());
    rows_ = std::move(rows);
    current_ = current;
    atStart_ = atStart;
    atEnd_ = atEnd;
}

void HeldRows::resync(Cursor& cursor, const RowData& position, int line) {
    std::optional<RowData> found = cursor.readRow(position);
    if (!found) {
        std::vector<RowData> next = cursor.readAfter(position, 1);
        if (!next.empty()) {
            found = std::move(next.front());
        }
    }
    if (!found) {
        std::vector<RowData> previous = cursor.readBefore(position, 1);
        if (!previous.empty()) {
            found = std::move(previous.back());
        }
    }
    if (!found) {
        clear();
        return;
    }
    fillAround(cursor, *found, line);
}

HeldRows::Move HeldRows::moveAlong(Cursor& cursor, Direction direction, std::int64_t distance) {
    const bool forward = direction == Direction::Forward;
    const std::int64_t last = static_cast<std::int64_t>(rows_.size()) - 1;
    Move move;
    move.moved = std::min<std::int64_t>(distance, forward ? last - current_ : current_);
    std::int64_t remaining = distance - move.moved;
    std::vector<RowData> rows = rows_;
    // The end the walk goes towards, and the one it leaves.
    bool atFar = forward ? atEnd_ : atStart_;
    bool atNear = forward ? atStart_ : atEnd_;
    while (remaining > 0 && !atFar) {
        const std::int64_t wanted =
            std::min(remaining, std::max<std::int64_t>(capacity_, movePage));
        const std::size_t asked = static_cast<std::size_t>(wanted) + 1;
        std::vector<RowData> chunk =
            forward ? cursor.readAfter(rows.back(), asked) : cursor.readBefore(rows.front(), asked);
        atFar = static_cast<std::int64_t>(chunk.size()) <= wanted;
        const std::int64_t taken = std::min(wanted, static_cast<std::int64_t>(chunk.size()));
        if (forward) {
            rows.insert(rows.end(), chunk.begin(), chunk.begin() + taken);
        } else {
            rows.insert(rows.begin(), chunk.end() - taken, chunk.end());
        }
        remaining -= taken;
        move.moved += taken;
        if (static_cast<int>(rows.size()) > capacity_) {
            move.shifted += static_cast<std::int64_t>(rows.size()) - capacity_;
            if (forward) {
                rows.erase(rows.begin(), rows.end() - capacity_);
            } else {
                rows.erase(rows.begin() + capacity_, rows.end());
            }
            atNear = false;
        }
    }
    rows_ = std::move(rows);
    (forward ? atEnd_ : atStart_) = atFar;
    (forward ? atStart_ : atEnd_) = atNear;
    current_ = forward ? size() - 1 : 0;
    return move;
}

void HeldRows::appendNew(RowData row) {
    rows_.push_back(std::move(row));
    current_ = size() - 1;
    atEnd_ = true;
}

void HeldRows::insertNew(RowData row) {
    if (empty()) {
        rows_ = {std::move(row)};
        current_ = 0;
        atStart_ = atEnd_ = true;
        return;
    }
    rows_.insert(rows_.begin() + current_, std::move(row));
    if (size() > capacity_) {
        rows_.pop_back();
        atEnd_ = false;
    }
}

void HeldRows::removeCurrent() {
    rows_.erase(rows_.begin() + current_);
    current_ = std::min(current_, size() - 1);
}

void HeldRows::trimToCapacity() {
    while (size() > capacity_) {
        if (current_ < size() - 1) {
            rows_.pop_back();
            atEnd_ = false;
        } else {
            rows_.erase(rows_.begin());
            --current_;
            atStart_ = false;
        }
    }
}

void HeldRows::numberRows(const Cursor& cursor, bool skipCurrent) {
    std::int64_t next = 0;
    for (int i = 0; i < size(); ++i) {
        if (skipCurrent && i == current_) {
            continue;  // the new row has no number yet
        }
        RowData& row = at(i);
        row.recNo = next + 1;  // the likely place, tried first
        row.recNo = cursor.numberOf(row);
        if (row.recNo != 0) {
            next = row.recNo;
        }
    }
}

void HeldRows::checkInvariants() const {
    // The current row is one of those held, and there is one whenever a row is held; a window
    // without rows has nothing on either side.
    assert(capacity_ >= 1);
    assert(size() <= capacity_);
    assert(current_ >= -1 && current_ < size());
    assert((current_ < 0) == rows_.empty());
    assert(!rows_.empty() || (atStart_ && atEnd_));
}

}  // namespace quorvel
