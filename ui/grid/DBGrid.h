// DBGrid: the read-only data grid bound to a data source. It shows the rows the record set
// holds (as many as fit in its data lines), marks the current row, and moves the current row
// by keys, clicks, the mouse wheel and its vertical scroll bar. Titles can be dragged to resize
// a column or move it (with its field); a read-only cell editor shows a cell's text for
// selecting and copying. It follows every notice of the set synchronously and repaints only
// what the notice changed.
#pragma once

#include <QAbstractScrollArea>
#include <functional>

#include "grid/GridColumns.h"
#include "grid/GridGeometry.h"
#include "grid/GridKeyTable.h"
#include "grid/GridTitleDrag.h"
#include "grid/GridVerticalBar.h"
#include "grid/IndicatorGlyphs.h"
#include "recordset/DataSetObserver.h"

namespace quorvel {
class DataSource;
class RecordSet;
}  // namespace quorvel

namespace quorvel::ui {

class GridCellEditor;

class DBGrid : public QAbstractScrollArea, private DataSetObserver {
    Q_OBJECT

  public:
    explicit DBGrid(QWidget* parent = nullptr);
    ~DBGrid() override;

    // Binds the grid to dataSource (nullptr unbinds); the grid then holds its lines' rows.
    void setDataSource(quorvel::DataSource* dataSource);
    quorvel::DataSource* dataSource() const { return dataSource_; }

    // What the grid shows, for its owner and its tests.
    int dataLines() const { return lines_; }  // L: the data lines that fit
    int shownLines() const;                   // min(L, rows held), at least one
    int currentLine() const { return currentLine_; }
    int currentColumn() const { return currentColumn_; }
    const GridColumns& columns() const { return columns_; }
    const GridGeometry& geometry() const { return geometry_; }
    GridCellEditor* cellEditor() const { return editor_; }
    bool editorOpen() const { return editorOpen_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Notices of the record set.
    void stateChanged() override;
    void rowsChanged() override;
    void scrolled(int distance) override;
    void recordChanged() override;
    void fieldChanged(const Field& field) override;
    void numberingChanged() override;

    RecordSet* dataSet() const;
    bool isOpen() const;
    bool gridFocused() const;
    // Gives the grid the focus; false when the control that had it refused to let it go.
    bool takeFocus();

    void act(GridMove move);
    void setCurrentColumn(int column);
    void openEditor(bool selectAll);
    void closeEditor();
    void placeEditor();
    void focusLeft(Qt::FocusReason reason);

    void remeasure();
    void rebuildColumns();
    void fitLines();
    // The current line follows the record set's current row; gives whether the row moved.
    void followCurrentRow();
    void updateVerticalBar();
    void updateHorizontalBar();
    void verticalBarUsed(int action);
    void thumbReleased();
    // Runs a move the scroll bar asked for, with the cell editor closed first.
    void moveFromBar(const std::function<void()>& move);
    void wheelTurned(QWheelEvent* event);
    IndicatorGlyph glyph() const;

    void updateDataLines();
    void updateLine(int line);
    // The indicator cell and the current column's cell of line: what the current row's mark
    // and highlight take.
    void updateMark(int line);

    quorvel::DataSource* dataSource_ = nullptr;
    IndicatorGlyphs glyphs_;
    GridColumns columns_;
    GridGeometry geometry_;
    int lines_ = 1;
    int currentLine_ = 0;
    int currentColumn_ = 0;
    std::int64_t currentRowId_ = -1;
    bool wasActive_ = false;

    GridCellEditor* editor_ = nullptr;
    bool editorOpen_ = false;

    GridVerticalBar verticalBar_;
    bool barRefused_ = false;  // the thumb was pressed but the focus could not be taken
    int wheelRemainder_ = 0;
    GridTitleDrag titleDrag_;
};

}  // namespace quorvel::ui
