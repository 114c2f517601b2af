// What the grid shows, in the terms a screen reader asks for: rows and columns of a table whose
// column headers are the titles and whose cells hold the text each cell is painted with. Where
// the result numbers its rows, the table's rows are the result's rows (a million rows of a
// search are a million rows) and the lines shown are the rows firstRow() on; otherwise only
// the lines shown are rows, since nobody can say how many rows there are without reading them.
// A view is read at once and kept for no longer than one call: the grid changes under it.
#pragma once

#include <QString>

#include "recordset/RecordSet.h"

namespace quorvel::ui {

class DBGrid;

class GridAccessibleView {
  public:
    explicit GridAccessibleView(const DBGrid& grid);

    int columnCount() const;
    // Rows of the table: at least the lines shown.
    int rowCount() const;
    // The table's row on the first line shown.
    int firstRow() const { return firstRow_; }
    int shownLines() const { return shownLines_; }
    // The line a row of the table stands on, or -1 when it isn't shown.
    int lineOf(int row) const;

    QString title(int column) const;
    // As painted: the stored text, "(Memo)" or "(MEMO)"; empty on the blank line of an empty or
    // closed result.
    QString cellText(int line, int column) const;

    int currentLine() const;
    int currentColumn() const;
    // Whether the current cell is highlighted: the grid or its cell editor has the focus.
    bool focused() const;
    // Inactive while the grid has no open record set.
    DataSetState state() const;

  private:
    const DBGrid& grid_;
    const RecordSet* set_;  // null while nothing is open
    int shownLines_;
    int firstRow_ = 0;
    int rowCount_ = 0;
};

}  // namespace quorvel::ui
