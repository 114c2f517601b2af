#include "grid/DBGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

#include "grid/GridCellEditor.h"
#include "grid/GridPainter.h"
#include "grid/GridRowMoves.h"
#include "messages/DefaultErrorHandler.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"

namespace quorvel::ui {

DBGrid::DBGrid(QWidget* parent)
    : QAbstractScrollArea(parent),
      verticalBar_(verticalScrollBar(),
                   [this] { runHandler([this] { verticalBar_.pollCount(dataSet(), lines_); }); }),
      titleDrag_(*this, columns_, geometry_, [this] {
          updateHorizontalBar();
          if (editorOpen_) {
              placeEditor();
          }
      }) {
    setObjectName(QStringLiteral("DBGrid1"));
    // The grid takes the focus on a click itself, after asking the control that has it.
    setFocusPolicy(Qt::TabFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->installEventFilter(this);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { runHandler([this, action] { verticalBarUsed(action); }); });
    connect(verticalScrollBar(), &QScrollBar::sliderPressed, this,
            [this] { barRefused_ = !takeFocus(); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this,
            [this] { runHandler([this] { thumbReleased(); }); });
    editor_ = new GridCellEditor([this](GridMove move) { act(move); },
                                 [this](Qt::FocusReason reason) { focusLeft(reason); }, viewport());
    remeasure();
    rebuildColumns();
}

DBGrid::~DBGrid() {
    setDataSource(nullptr);
}

void DBGrid::setDataSource(quorvel::DataSource* dataSource) {
    if (dataSource_ != nullptr) {
        dataSource_->removeObserver(this);
    }
    dataSource_ = dataSource;
    if (dataSource_ != nullptr) {
        dataSource_->addObserver(this);
    }
    wasActive_ = isOpen();
    closeEditor();
    rebuildColumns();
    fitLines();
    followCurrentRow();
    updateVerticalBar();
    viewport()->update();
}

RecordSet* DBGrid::dataSet() const {
    return dataSource_ != nullptr ? dataSource_->DataSet() : nullptr;
}

bool DBGrid::isOpen() const {
    const RecordSet* set = dataSet();
    return set != nullptr && set->Active();
}

int DBGrid::shownLines() const {
    const RecordSet* set = dataSet();
    const int held = set != nullptr && set->Active() ? set->HeldRowCount() : 0;
    return std::max(1, std::min(lines_, held));
}

bool DBGrid::gridFocused() const {
    return hasFocus() || editor_->hasFocus();
}

bool DBGrid::takeFocus() {
    if (!gridFocused()) {
        setFocus(Qt::MouseFocusReason);
    }
    return gridFocused();
}

IndicatorGlyph DBGrid::glyph() const {
    const RecordSet* set = dataSet();
    if (set == nullptr || !set->Active()) {
        return IndicatorGlyph::None;
    }
    switch (set->State()) {
        case DataSetState::Edit:
            return IndicatorGlyph::Edit;
        case DataSetState::Insert:
            return IndicatorGlyph::Insert;
        default:
            return IndicatorGlyph::CurrentRow;
    }
}

// ---- measures, columns and lines -------------------------------------------------------------

void DBGrid::remeasure() {
    const int hOffset = geometry_.hOffset;
    // The titles are drawn in the same font as the cells.
    geometry_ = GridGeometry::measure(font(), font());
    geometry_.hOffset = hOffset;
}

void DBGrid::rebuildColumns() {
    columns_.rebuild(dataSet(), font(), font());
    currentColumn_ = std::clamp(currentColumn_, 0, columns_.count() - 1);
    updateHorizontalBar();
}

void DBGrid::fitLines() {
    lines_ = geometry_.linesFitting(viewport()->height());
    if (RecordSet* set = dataSet()) {
        // May read rows and tell the controls; the lines are fitted again on that notice.
        set->SetBufferCount(std::max(1, lines_));
    }
}

void DBGrid::followCurrentRow() {
    const RecordSet* set = dataSet();
    const int line = set != nullptr && set->Active() ? std::max(0, set->ActiveRecord()) : 0;
    const std::int64_t id = set != nullptr && set->Active() && set->ActiveRecord() >= 0
                                ? set->HeldRow(set->ActiveRecord()).id
                                : -1;
    if (line != currentLine_ || id != currentRowId_) {
        closeEditor();
    }
    currentLine_ = line;
    currentRowId_ = id;
}

// ---- notices ---------------------------------------------------------------------------------

void DBGrid::stateChanged() {
    const bool active = isOpen();
    if (active != wasActive_) {
        wasActive_ = active;
        if (!active) {
            closeEditor();
        }
        rebuildColumns();
        if (active) {
            fitLines();
        }
        followCurrentRow();
        updateVerticalBar();
        viewport()->update();
        return;
    }
    // The glyph changes; a change of state that failed half-way may have moved the row too.
    const int previous = currentLine_;
    followCurrentRow();
    updateMark(previous);
    updateMark(currentLine_);
}

void DBGrid::rowsChanged() {
    followCurrentRow();
    updateVerticalBar();
    updateDataLines();
}

void DBGrid::scrolled(int distance) {
    const int previous = currentLine_;
    followCurrentRow();
    updateVerticalBar();
    if (distance == 0) {
        if (previous != currentLine_) {
            updateMark(previous);
            updateMark(currentLine_);
        }
        return;
    }
    if (std::abs(distance) >= shownLines()) {
        updateDataLines();
        return;
    }
    // The lines still shown move by their pixels; the uncovered lines are painted anew, and
    // the mark leaves the row it was on.
    const QRect lines(0, geometry_.lineTop(0), viewport()->width(),
                      shownLines() * geometry_.lineTotal());
    viewport()->scroll(0, -distance * geometry_.lineTotal(), lines);
    updateMark(previous - distance);
    updateMark(currentLine_);
}

void DBGrid::recordChanged() {
    if (editorOpen_) {
        placeEditor();
    }
    updateDataLines();
}

void DBGrid::numberingChanged() {
    updateVerticalBar();
}

void DBGrid::fieldChanged(const Field& field) {
    for (int column : columns_.showing(field)) {
        const QRect cell = geometry_.dataCell(columns_, column, 0);
        viewport()->update(
            QRect(cell.left(), cell.top(), cell.width(), shownLines() * geometry_.lineTotal()));
        if (editorOpen_ && column == currentColumn_) {
            placeEditor();
        }
    }
}

// ---- painting --------------------------------------------------------------------------------

void DBGrid::updateDataLines() {
    viewport()->update(QRect(0, geometry_.lineTop(0), viewport()->width(),
                             viewport()->height() - geometry_.lineTop(0)));
}

void DBGrid::updateLine(int line) {
    if (line >= 0 && line < shownLines()) {
        viewport()->update(geometry_.lineStrip(line, viewport()->width()));
    }
}

void DBGrid::updateMark(int line) {
    if (line < 0 || line >= shownLines()) {
        return;
    }
    viewport()->update(geometry_.indicatorCell(line));
    if (currentColumn_ < columns_.count()) {
        viewport()->update(geometry_.dataCell(columns_, currentColumn_, line).adjusted(0, 0, 1, 1));
    }
}

void DBGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    GridPaintState state;
    state.columns = &columns_;
    state.geometry = geometry_;
    state.set = dataSet();
    state.shownLines = shownLines();
    state.currentLine = currentLine_;
    state.currentColumn = currentColumn_;
    state.highlighted = gridFocused();
    state.focusRect = state.highlighted && window()->focusWidget() == this;
    state.glyph = glyph();
    if (const std::optional<int> marker = titleDrag_.markerX()) {
        state.moveMarkerX = *marker;
    }
    GridPainter(painter, palette(), font(), font(), glyphs_)
        .paint(state, event->region(), viewport()->size());
}

// ---- scroll bars -----------------------------------------------------------------------------

void DBGrid::updateVerticalBar() {
    verticalBar_.show(dataSet(), lines_);
}

void DBGrid::verticalBarUsed(int action) {
    if (action == QAbstractSlider::SliderMove) {
        if (!verticalScrollBar()->isSliderDown()) {
            updateVerticalBar();  // a wheel or key on the bar: the grid's own wheel decides
        }
        return;
    }
    if (action == QAbstractSlider::SliderNoAction) {
        return;
    }
    RecordSet* set = dataSet();
    if (!takeFocus() || set == nullptr || !set->Active()) {
        updateVerticalBar();
        return;
    }
    moveFromBar(
        [&] { GridVerticalBar::runAction(*set, action, currentLine_, shownLines(), lines_); });
}

void DBGrid::thumbReleased() {
    RecordSet* set = dataSet();
    const int position = verticalScrollBar()->sliderPosition();
    if (barRefused_ || set == nullptr || !set->Active()) {
        barRefused_ = false;
        updateVerticalBar();
        return;
    }
    moveFromBar([&] { GridVerticalBar::runRelease(*set, position, lines_); });
}

void DBGrid::moveFromBar(const std::function<void()>& move) {
    closeEditor();
    // The bar shows where the current row is afterwards, also when the move failed.
    try {
        move();
    } catch (...) {
        updateVerticalBar();
        throw;
    }
    updateVerticalBar();
}

void DBGrid::updateHorizontalBar() {
    QScrollBar* bar = horizontalScrollBar();
    const int visible = std::max(0, viewport()->width() - geometry_.dataLeft());
    bar->setRange(0, std::max(0, columns_.totalWidth() - visible));
    bar->setPageStep(visible);
    bar->setSingleStep(20);
    geometry_.hOffset = bar->value();
}

void DBGrid::scrollContentsBy(int dx, int dy) {
    (void)dy;  // the vertical bar moves rows, never pixels (verticalBarUsed)
    if (dx != 0) {
        geometry_.hOffset = horizontalScrollBar()->value();
        if (editorOpen_) {
            placeEditor();
        }
        viewport()->update();
    }
}

bool DBGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == verticalScrollBar() && event->type() == QEvent::Wheel) {
        wheelTurned(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void DBGrid::wheelEvent(QWheelEvent* event) {
    wheelTurned(event);
}

void DBGrid::wheelTurned(QWheelEvent* event) {
    event->accept();
    RecordSet* set = dataSet();
    if (set == nullptr || !set->Active()) {
        return;
    }
    // One row per notch of the wheel, finer wheels adding up to notches.
    wheelRemainder_ += event->angleDelta().y();
    const int notches = wheelRemainder_ / QWheelEvent::DefaultDeltasPerStep;
    wheelRemainder_ -= notches * QWheelEvent::DefaultDeltasPerStep;
    if (notches != 0) {
        runHandler([&] {
            closeEditor();
            set->MoveBy(-notches);
        });
    }
}

// ---- keys ------------------------------------------------------------------------------------

bool DBGrid::focusNextPrevChild(bool next) {
    (void)next;
    return false;  // Tab and Shift+Tab are keys of the grid
}

void DBGrid::keyPressEvent(QKeyEvent* event) {
    const GridMove move = gridMoveFor(*event);
    if (move == GridMove::None) {
        event->ignore();
        return;
    }
    event->accept();
    act(move);
}

void DBGrid::act(GridMove move) {
    runHandler([this, move] {
        RecordSet* set = dataSet();
        const bool open = set != nullptr && set->Active();
        switch (move) {
            case GridMove::ToggleEditor:
                if (editorOpen_) {
                    closeEditor();
                } else {
                    openEditor(true);
                }
                return;
            case GridMove::TypedCharacter:
                openEditor(true);  // the character itself is dropped
                return;
            default:
                break;
        }
        if (!open) {
            return;
        }
        switch (move) {
            case GridMove::Backspace:
                openEditor(true);
                break;
            case GridMove::EditorAtEnd:
                openEditor(false);
                break;
            case GridMove::FirstColumn:
                setCurrentColumn(0);
                break;
            case GridMove::LastColumn:
                setCurrentColumn(columns_.count() - 1);
                break;
            case GridMove::PriorColumn:
            case GridMove::NextColumn: {
                const int step = move == GridMove::NextColumn ? 1 : -1;
                for (int column = currentColumn_ + step; column >= 0 && column < columns_.count();
                     column += step) {
                    if (columns_.at(column).width > 0) {
                        setCurrentColumn(column);
                        break;
                    }
                }
                break;
            }
            case GridMove::Cancel:
                // Whichever control started the change: the set's Cancel drops it.
                set->Cancel();
                closeEditor();
                break;
            case GridMove::Nothing:
                break;
            default:
                runRowMove(*set, move, currentLine_, lines_);
                break;
        }
    });
}

void DBGrid::setCurrentColumn(int column) {
    column = std::clamp(column, 0, columns_.count() - 1);
    if (column != currentColumn_) {
        closeEditor();
        updateMark(currentLine_);
        currentColumn_ = column;
        updateMark(currentLine_);
    }
    // Brought into view, as far as the viewport allows.
    const int visible = viewport()->width() - geometry_.dataLeft();
    const int left = columns_.offset(column);
    const int right = left + columns_.at(column).width;
    QScrollBar* bar = horizontalScrollBar();
    if (left < bar->value()) {
        bar->setValue(left);
    } else if (right > bar->value() + visible) {
        bar->setValue(std::min(left, right - visible));
    }
}

// ---- the cell editor -------------------------------------------------------------------------

void DBGrid::openEditor(bool selectAll) {
    if (!gridFocused()) {
        return;
    }
    editorOpen_ = true;
    placeEditor();
    editor_->show();
    editor_->setFocus(Qt::OtherFocusReason);
    if (selectAll) {
        editor_->selectAll();
    } else {
        editor_->deselect();
        editor_->end(false);
    }
}

void DBGrid::placeEditor() {
    const RecordSet* set = dataSet();
    const RowData* row = set != nullptr && set->Active() && set->ActiveRecord() >= 0
                             ? &set->HeldRow(set->ActiveRecord())
                             : nullptr;
    const GridColumn& column = columns_.at(currentColumn_);
    const QString text = GridPainter::cellText(column, row);
    if (editor_->text() != text) {
        editor_->setText(text);
    }
    editor_->setFont(font());
    QRect cell = geometry_.dataCell(columns_, currentColumn_, currentLine_);
    cell.setLeft(std::max(cell.left(), geometry_.dataLeft()));
    editor_->setGeometry(cell);
}

void DBGrid::closeEditor() {
    if (!editorOpen_) {
        return;
    }
    editorOpen_ = false;
    if (editor_->hasFocus()) {
        setFocus(Qt::OtherFocusReason);  // the focus stays in the grid, never wanders off
    }
    editor_->hide();
}

// ---- focus -----------------------------------------------------------------------------------

void DBGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (editorOpen_ && !editor_->isVisible()) {
        placeEditor();
        editor_->show();
        editor_->setFocus(Qt::OtherFocusReason);
    }
    updateMark(currentLine_);
}

void DBGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    focusLeft(event->reason());
}

void DBGrid::focusLeft(Qt::FocusReason reason) {
    const QWidget* next = QApplication::focusWidget();
    if (next == this || next == editor_) {
        return;
    }
    updateMark(currentLine_);
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
        return;  // the window went inactive; the focus comes back to the grid
    }
    editor_->hide();  // while the focus is outside the grid; it comes back with the focus
    // Leaving the grid drops an untouched new row.
    RecordSet* set = dataSet();
    if (set != nullptr && set->State() == DataSetState::Insert && !set->Modified()) {
        try {
            set->Cancel();
        } catch (const std::exception& failure) {
            setFocus(Qt::OtherFocusReason);
            handleEscapedFailure(failure);
        }
    }
}

// ---- the mouse -------------------------------------------------------------------------------

void DBGrid::mousePressEvent(QMouseEvent* event) {
    runHandler([this, event] {
        closeEditor();
        const QPoint position = event->position().toPoint();
        const int line = geometry_.lineAt(position.y());
        if (line < 0) {
            if (event->button() == Qt::LeftButton) {
                titleDrag_.press(position.x(), isOpen());
            }
            return;
        }
        if (!takeFocus()) {
            return;
        }
        RecordSet* set = dataSet();
        if (set == nullptr || !set->Active() || line >= shownLines()) {
            return;  // the empty area below the last line only takes the focus
        }
        const int column = geometry_.columnAt(columns_, position.x());
        const bool onCell = column >= 0 && column < columns_.count();
        const bool wasCurrent = onCell && line == currentLine_ && column == currentColumn_;
        if (line != currentLine_) {
            set->MoveBy(line - currentLine_);
        }
        if (onCell) {
            setCurrentColumn(column);
            if (wasCurrent && event->button() == Qt::LeftButton) {
                openEditor(true);
            }
        }
    });
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();  // the second press of a double click does nothing
}

void DBGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint position = event->position().toPoint();
    if (!titleDrag_.active()) {
        const bool inZone = position.y() < geometry_.titleTotal() &&
                            geometry_.resizeZoneAt(columns_, position.x()) >= 0;
        viewport()->setCursor(inZone ? Qt::SplitHCursor : Qt::ArrowCursor);
        return;
    }
    titleDrag_.moveTo(position.x());
}

void DBGrid::mouseReleaseEvent(QMouseEvent* event) {
    (void)event;
    const std::optional<GridTitleDrag::Drop> drop = titleDrag_.release();
    if (!drop) {
        return;
    }
    viewport()->update();
    RecordSet* set = dataSet();
    if (set == nullptr || !set->Active() || drop->to == drop->from) {
        return;
    }
    // The column and its field move together; the current cell stays on its field.
    const Field* current = columns_.at(currentColumn_).field;
    closeEditor();
    set->MoveField(drop->from, drop->to);
    rebuildColumns();
    for (int column = 0; column < columns_.count(); ++column) {
        if (columns_.at(column).field == current) {
            currentColumn_ = column;
        }
    }
}

// ---- size and font ---------------------------------------------------------------------------

void DBGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateHorizontalBar();
    const int lines = geometry_.linesFitting(viewport()->height());
    if (lines != lines_) {
        fitLines();
        followCurrentRow();
        updateVerticalBar();
    }
}

void DBGrid::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        remeasure();
        // Widths the user gave stay; the others follow the new font at the next rebuild.
        rebuildColumns();
        fitLines();
        followCurrentRow();
        viewport()->update();
    }
}

}  // namespace quorvel::ui
