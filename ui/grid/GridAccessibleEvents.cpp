#include "grid/GridAccessibleEvents.h"

#include <QAccessible>
#include <QEvent>
#include <QScrollBar>

#include <algorithm>

#include "grid/DBGrid.h"
#include "grid/GridAccessibleView.h"
#include "grid/GridCellEditor.h"

namespace quorvel::ui {

void GridAccessibleEvents::watch(DBGrid* grid) {
    if (grid->findChild<GridAccessibleEvents*>(QString(), Qt::FindDirectChildrenOnly) == nullptr) {
        new GridAccessibleEvents(grid);
    }
}

GridAccessibleEvents::GridAccessibleEvents(DBGrid* grid) : QObject(grid), grid_(grid) {
    told_ = read();
    grid->viewport()->installEventFilter(this);
    // A result whose rows are counted after it opened: the bar learns the count first.
    connect(grid->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { tellSoon(); });
}

bool GridAccessibleEvents::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        tellSoon();  // once the paint is done, outside it
    }
    return QObject::eventFilter(watched, event);
}

void GridAccessibleEvents::tellSoon() {
    if (pending_) {
        return;
    }
    pending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            pending_ = false;
            tell();
        },
        Qt::QueuedConnection);
}

GridAccessibleEvents::Shown GridAccessibleEvents::read() const {
    const GridAccessibleView view(*grid_);
    Shown shown;
    for (int column = 0; column < view.columnCount(); ++column) {
        shown.titles << view.title(column);
    }
    shown.firstRow = view.firstRow();
    shown.rowCount = view.rowCount();
    shown.shownLines = view.shownLines();
    for (int line = 0; line < view.shownLines(); ++line) {
        for (int column = 0; column < view.columnCount(); ++column) {
            shown.texts << view.cellText(line, column);
        }
    }
    shown.state = view.state();
    if (shown.state != DataSetState::Inactive) {
        shown.currentRow = view.firstRow() + view.currentLine();
        shown.currentColumn = view.currentColumn();
    }
    shown.focused = view.focused();
    return shown;
}

void GridAccessibleEvents::tell() {
    const Shown now = read();
    // The cell editor reads as the column it shows.
    const QString title = now.titles.value(std::max(0, now.currentColumn));
    if (grid_->cellEditor() != nullptr && grid_->cellEditor()->accessibleName() != title) {
        grid_->cellEditor()->setAccessibleName(title);
    }
    if (QAccessible::isActive()) {
        const bool reset = now.titles != told_.titles || now.firstRow != told_.firstRow ||
                           now.rowCount != told_.rowCount || now.shownLines != told_.shownLines;
        tellOfCells(now, reset);
        tellOfCurrentCell(now, reset);
    }
    told_ = now;
}

void GridAccessibleEvents::tellOfCells(const Shown& now, bool reset) const {
    if (reset) {
        QAccessibleTableModelChangeEvent event(grid_, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
        return;
    }
    if (now.texts == told_.texts) {
        return;
    }
    // One change covering every cell whose text differs.
    const int columns = static_cast<int>(now.titles.size());
    int firstLine = now.shownLines, lastLine = -1, firstColumn = columns, lastColumn = -1;
    for (int index = 0; index < now.texts.size(); ++index) {
        if (now.texts[index] != told_.texts[index]) {
            const int line = index / columns;
            const int column = index % columns;
            firstLine = std::min(firstLine, line);
            lastLine = std::max(lastLine, line);
            firstColumn = std::min(firstColumn, column);
            lastColumn = std::max(lastColumn, column);
        }
    }
    QAccessibleTableModelChangeEvent event(grid_, QAccessibleTableModelChangeEvent::DataChanged);
    event.setFirstRow(now.firstRow + firstLine);
    event.setLastRow(now.firstRow + lastLine);
    event.setFirstColumn(firstColumn);
    event.setLastColumn(lastColumn);
    QAccessible::updateAccessibility(&event);
}

void GridAccessibleEvents::tellOfCurrentCell(const Shown& now, bool reset) const {
    if (now.state == DataSetState::Inactive) {
        return;
    }
    const int columns = static_cast<int>(now.titles.size());
    const int line = now.currentRow - now.firstRow;
    const int index = line * columns + now.currentColumn;
    const bool moved =
        now.currentRow != told_.currentRow || now.currentColumn != told_.currentColumn || reset;
    const bool changed =
        moved || now.state != told_.state || now.texts.value(index) != told_.texts.value(index);
    // Child indexes count the title row first.
    const int child = columns + index;
    if (moved) {
        QAccessibleEvent selection(grid_, QAccessible::Selection);
        selection.setChild(child);
        QAccessible::updateAccessibility(&selection);
    }
    if (now.focused && (changed || !told_.focused) && !grid_->cellEditor()->hasFocus()) {
        QAccessibleEvent focus(grid_, QAccessible::Focus);
        focus.setChild(child);
        QAccessible::updateAccessibility(&focus);
    }
}

}  // namespace quorvel::ui
