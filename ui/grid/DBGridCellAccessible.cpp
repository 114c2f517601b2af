#include "grid/DBGridCellAccessible.h"

#include <QWidget>

#include "grid/DBGrid.h"
#include "grid/DBGridAccessible.h"
#include "grid/GridAccessibleView.h"

namespace quorvel::ui {

DBGridCellAccessible::DBGridCellAccessible(DBGrid* grid, int row, int column)
    : grid_(grid), row_(row), column_(column) {}

bool DBGridCellAccessible::isValid() const {
    if (grid_.isNull()) {
        return false;
    }
    const GridAccessibleView view(*grid_);
    return column_ >= 0 && column_ < view.columnCount() && (isTitle() || view.lineOf(row_) >= 0);
}

QWindow* DBGridCellAccessible::window() const {
    return grid_.isNull() ? nullptr : grid_->window()->windowHandle();
}

QAccessibleInterface* DBGridCellAccessible::childAt(int, int) const {
    return nullptr;
}

QAccessibleInterface* DBGridCellAccessible::parent() const {
    return table();
}

QAccessibleInterface* DBGridCellAccessible::child(int) const {
    return nullptr;
}

int DBGridCellAccessible::indexOfChild(const QAccessibleInterface*) const {
    return -1;
}

bool DBGridCellAccessible::isCurrent() const {
    if (!isValid() || isTitle()) {
        return false;
    }
    const GridAccessibleView view(*grid_);
    return view.state() != DataSetState::Inactive && view.lineOf(row_) == view.currentLine() &&
           column_ == view.currentColumn();
}

QString DBGridCellAccessible::text(QAccessible::Text type) const {
    if (!isValid()) {
        return {};
    }
    const GridAccessibleView view(*grid_);
    switch (type) {
        case QAccessible::Name:
        case QAccessible::Value:
            return isTitle() ? view.title(column_) : view.cellText(view.lineOf(row_), column_);
        case QAccessible::Description:
            // What the indicator's glyph says of the current row.
            if (isCurrent() && view.state() == DataSetState::Edit) {
                return QStringLiteral("Upravovaný záznam");
            }
            if (isCurrent() && view.state() == DataSetState::Insert) {
                return QStringLiteral("Nový záznam");
            }
            return {};
        default:
            return {};
    }
}

void DBGridCellAccessible::setText(QAccessible::Text, const QString&) {
    // The grid is read-only.
}

QRect DBGridCellAccessible::rect() const {
    if (!isValid()) {
        return {};
    }
    const GridAccessibleView view(*grid_);
    const GridGeometry& geometry = grid_->geometry();
    QRect cell = isTitle() ? geometry.titleCell(grid_->columns(), column_)
                           : geometry.dataCell(grid_->columns(), column_, view.lineOf(row_));
    cell &= grid_->viewport()->rect();
    return cell.isEmpty() ? QRect()
                          : QRect(grid_->viewport()->mapToGlobal(cell.topLeft()), cell.size());
}

QAccessible::Role DBGridCellAccessible::role() const {
    return isTitle() ? QAccessible::ColumnHeader : QAccessible::Cell;
}

QAccessible::State DBGridCellAccessible::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    state.readOnly = true;
    if (!grid_->isEnabled()) {
        state.disabled = true;
    }
    if (!grid_->isVisible()) {
        state.invisible = true;
    }
    if (rect().isEmpty()) {
        state.offscreen = true;  // scrolled out of sight sideways
    }
    if (isTitle()) {
        return state;
    }
    state.selectable = true;
    state.focusable = true;
    if (isCurrent()) {
        state.selected = true;
        state.focused = grid_->hasFocus();  // not while its cell editor has it
    }
    return state;
}

void* DBGridCellAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableCellInterface) {
        return static_cast<QAccessibleTableCellInterface*>(this);
    }
    return nullptr;
}

bool DBGridCellAccessible::isSelected() const {
    return isCurrent();
}

QList<QAccessibleInterface*> DBGridCellAccessible::columnHeaderCells() const {
    auto* gridTable = dynamic_cast<DBGridAccessible*>(table());
    if (isTitle() || gridTable == nullptr) {
        return {};
    }
    return {gridTable->titleCell(column_)};
}

QAccessibleInterface* DBGridCellAccessible::table() const {
    return grid_.isNull() ? nullptr : QAccessible::queryAccessibleInterface(grid_.data());
}

}  // namespace quorvel::ui
