#include "grid/DBGridAccessible.h"

#include "grid/DBGrid.h"
#include "grid/DBGridCellAccessible.h"
#include "grid/GridAccessibleEvents.h"
#include "grid/GridAccessibleView.h"
#include "grid/GridCellEditor.h"

namespace quorvel::ui {

namespace {

QAccessibleInterface* gridFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(DBGrid::staticMetaObject.className())) {
        if (auto* grid = qobject_cast<DBGrid*>(object)) {
            return new DBGridAccessible(grid);
        }
    }
    return nullptr;
}

}  // namespace

void DBGridAccessible::install() {
    QAccessible::installFactory(gridFactory);  // Qt keeps each factory once
}

DBGridAccessible::DBGridAccessible(DBGrid* grid) : QAccessibleWidget(grid, QAccessible::Table) {
    GridAccessibleEvents::watch(grid);
}

DBGridAccessible::~DBGridAccessible() {
    for (const QAccessible::Id id : std::as_const(cells_)) {
        QAccessible::deleteAccessibleInterface(id);
    }
}

DBGrid* DBGridAccessible::grid() const {
    return static_cast<DBGrid*>(widget());
}

QAccessibleInterface* DBGridAccessible::cell(int row, int column) const {
    const QPair<int, int> key(row, column);
    if (const auto found = cells_.constFind(key); found != cells_.constEnd()) {
        if (QAccessibleInterface* known = QAccessible::accessibleInterface(found.value())) {
            return known;
        }
        cells_.erase(found);
    }
    // Rows the user scrolled past would pile up otherwise.
    if (cells_.size() > 4 * childCount() + 16) {
        dropStaleCells();
    }
    auto* made = new DBGridCellAccessible(grid(), row, column);
    cells_.insert(key, QAccessible::registerAccessibleInterface(made));
    return made;
}

void DBGridAccessible::dropStaleCells() const {
    for (auto it = cells_.begin(); it != cells_.end();) {
        QAccessibleInterface* known = QAccessible::accessibleInterface(it.value());
        if (known != nullptr && known->isValid()) {
            ++it;
            continue;
        }
        if (known != nullptr) {
            QAccessible::deleteAccessibleInterface(it.value());
        }
        it = cells_.erase(it);
    }
}

QAccessibleInterface* DBGridAccessible::titleCell(int column) const {
    const GridAccessibleView view(*grid());
    if (column < 0 || column >= view.columnCount()) {
        return nullptr;
    }
    return cell(DBGridCellAccessible::TitleRow, column);
}

QAccessibleInterface* DBGridAccessible::cellAt(int row, int column) const {
    const GridAccessibleView view(*grid());
    if (column < 0 || column >= view.columnCount() || view.lineOf(row) < 0) {
        return nullptr;
    }
    return cell(row, column);
}

QAccessibleInterface* DBGridAccessible::focusChild() const {
    GridCellEditor* editor = grid()->cellEditor();
    if (editor != nullptr && editor->hasFocus()) {
        return QAccessible::queryAccessibleInterface(editor);
    }
    const GridAccessibleView view(*grid());
    if (!grid()->hasFocus() || view.state() == DataSetState::Inactive) {
        return nullptr;
    }
    return cellAt(view.firstRow() + view.currentLine(), view.currentColumn());
}

QAccessibleInterface* DBGridAccessible::childAt(int x, int y) const {
    const QWidget* viewport = grid()->viewport();
    const QPoint point = viewport->mapFromGlobal(QPoint(x, y));
    if (!viewport->rect().contains(point)) {
        return nullptr;
    }
    const GridGeometry& geometry = grid()->geometry();
    const int column = geometry.columnAt(grid()->columns(), point.x());
    const int line = geometry.lineAt(point.y());
    if (line < 0) {
        return titleCell(column);
    }
    return cellAt(GridAccessibleView(*grid()).firstRow() + line, column);
}

int DBGridAccessible::childCount() const {
    const GridAccessibleView view(*grid());
    return view.columnCount() * (1 + view.shownLines());
}

QAccessibleInterface* DBGridAccessible::child(int index) const {
    const GridAccessibleView view(*grid());
    const int columns = view.columnCount();
    if (index < 0 || columns == 0 || index >= childCount()) {
        return nullptr;
    }
    if (index < columns) {
        return titleCell(index);
    }
    const int line = index / columns - 1;
    return cellAt(view.firstRow() + line, index % columns);
}

int DBGridAccessible::indexOfChild(const QAccessibleInterface* child) const {
    const auto* cell = dynamic_cast<const DBGridCellAccessible*>(child);
    if (cell == nullptr || !cell->isValid() || cell->table() != this) {
        return -1;
    }
    const GridAccessibleView view(*grid());
    if (cell->rowIndex() == DBGridCellAccessible::TitleRow) {
        return cell->columnIndex();
    }
    const int line = view.lineOf(cell->rowIndex());
    return line < 0 ? -1 : (line + 1) * view.columnCount() + cell->columnIndex();
}

QAccessible::State DBGridAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
}

void* DBGridAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TableInterface) {
        return static_cast<QAccessibleTableInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

int DBGridAccessible::selectedCellCount() const {
    return static_cast<int>(selectedCells().size());
}

QList<QAccessibleInterface*> DBGridAccessible::selectedCells() const {
    const GridAccessibleView view(*grid());
    QAccessibleInterface* current =
        view.state() == DataSetState::Inactive
            ? nullptr
            : cellAt(view.firstRow() + view.currentLine(), view.currentColumn());
    if (current == nullptr) {
        return {};
    }
    return {current};
}

QString DBGridAccessible::columnDescription(int column) const {
    return GridAccessibleView(*grid()).title(column);
}

int DBGridAccessible::columnCount() const {
    return GridAccessibleView(*grid()).columnCount();
}

int DBGridAccessible::rowCount() const {
    return GridAccessibleView(*grid()).rowCount();
}

void DBGridAccessible::modelChange(QAccessibleTableModelChangeEvent* event) {
    (void)event;  // cells read the grid when asked: only those whose rows left go
    dropStaleCells();
}

}  // namespace quorvel::ui
