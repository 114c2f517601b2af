#include "grid/GridAccessibleView.h"

#include <algorithm>
#include <limits>

#include "grid/DBGrid.h"
#include "grid/GridCellEditor.h"
#include "grid/GridPainter.h"
#include "recordset/DataSource.h"

namespace quorvel::ui {

namespace {

int clampedToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, std::numeric_limits<int>::max()));
}

}  // namespace

GridAccessibleView::GridAccessibleView(const DBGrid& grid)
    : grid_(grid), shownLines_(grid.shownLines()) {
    const DataSource* source = grid.dataSource();
    const RecordSet* set = source != nullptr ? source->DataSet() : nullptr;
    set_ = set != nullptr && set->Active() ? set : nullptr;
    rowCount_ = shownLines_;
    if (set_ == nullptr || !set_->NumbersRows()) {
        return;
    }
    // The row on the first line: counted back from the current row's number, or, for a new
    // row that has none, from the first row held that has one.
    std::int64_t first = -1;
    const std::int64_t number = set_->RecNo();
    if (number > 0) {
        first = number - 1 - std::max(0, set_->ActiveRecord());
    } else {
        for (int line = 0; line < set_->HeldRowCount() && first < 0; ++line) {
            const std::int64_t held = set_->HeldRow(line).recNo;
            if (held > 0) {
                first = held - 1 - line;
            }
        }
    }
    firstRow_ = clampedToInt(first);
    rowCount_ = std::max(clampedToInt(set_->RecordCount()), firstRow_ + shownLines_);
}

int GridAccessibleView::columnCount() const {
    return grid_.columns().count();
}

int GridAccessibleView::rowCount() const {
    return rowCount_;
}

int GridAccessibleView::lineOf(int row) const {
    const int line = row - firstRow_;
    return line >= 0 && line < shownLines_ ? line : -1;
}

QString GridAccessibleView::title(int column) const {
    return column >= 0 && column < columnCount() ? grid_.columns().at(column).title : QString();
}

QString GridAccessibleView::cellText(int line, int column) const {
    if (column < 0 || column >= columnCount() || line < 0 || line >= shownLines_) {
        return {};
    }
    const RowData* row =
        set_ != nullptr && line < set_->HeldRowCount() ? &set_->HeldRow(line) : nullptr;
    return GridPainter::cellText(grid_.columns().at(column), row);
}

int GridAccessibleView::currentLine() const {
    return grid_.currentLine();
}

int GridAccessibleView::currentColumn() const {
    return grid_.currentColumn();
}

bool GridAccessibleView::focused() const {
    return grid_.hasFocus() || (grid_.cellEditor() != nullptr && grid_.cellEditor()->hasFocus());
}

DataSetState GridAccessibleView::state() const {
    return set_ != nullptr ? set_->State() : DataSetState::Inactive;
}

}  // namespace quorvel::ui
