// Tells a screen reader what changed in the grid: the cells (a new window of rows or other
// columns resets the table, changed texts are data changes), and where the current cell went
// (the focus and the selection move to it while the grid has the focus). It compares what the
// grid shows with what it showed when it last told, after each time the grid painted (or its scroll
// bar's range changed), so a move of several steps is told once, as it ends, and only what a person
// could see is told. It also names the cell editor after the current column.
#pragma once

#include <QObject>
#include <QStringList>

#include "recordset/RecordSet.h"

namespace quorvel::ui {

class DBGrid;

class GridAccessibleEvents : public QObject {
    Q_OBJECT

  public:
    // Starts telling of grid's changes, once per grid; stops when the grid goes.
    static void watch(DBGrid* grid);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit GridAccessibleEvents(DBGrid* grid);

    struct Shown {
        QStringList titles;
        int firstRow = 0;
        int rowCount = 0;
        int shownLines = 0;
        QStringList texts;  // line by line
        int currentRow = -1;
        int currentColumn = -1;
        bool focused = false;
        DataSetState state = DataSetState::Inactive;
    };
    Shown read() const;
    // Tells from the event loop, once for any number of calls before it.
    void tellSoon();
    void tell();
    void tellOfCells(const Shown& now, bool reset) const;
    void tellOfCurrentCell(const Shown& now, bool reset) const;

    DBGrid* grid_;
    Shown told_;
    bool pending_ = false;
};

}  // namespace quorvel::ui
