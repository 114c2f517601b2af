// The grid as a screen reader sees it: a table (GridAccessibleView says which rows and columns)
// whose children are the title cells and the cells of the lines shown, row by row. The current
// cell is the selected one, and the focused one while the grid has the focus. Cells are made
// when first asked for and kept while their row is shown. GridAccessibleEvents, made with the
// first interface, tells the screen reader when the current cell or the cells change.
#pragma once

#include <QAccessibleWidget>
#include <QHash>

namespace quorvel::ui {

class DBGrid;

class DBGridAccessible : public QAccessibleWidget, public QAccessibleTableInterface {
  public:
    // Makes DBGrid report itself through this class from now on; any number of calls.
    static void install();

    explicit DBGridAccessible(DBGrid* grid);
    ~DBGridAccessible() override;

    // The title cell of column, a column header; null outside the table.
    QAccessibleInterface* titleCell(int column) const;

    QAccessibleInterface* focusChild() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override;
    int selectedCellCount() const override;
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override;
    QString rowDescription(int) const override { return {}; }
    int selectedColumnCount() const override { return 0; }
    int selectedRowCount() const override { return 0; }
    int columnCount() const override;
    int rowCount() const override;
    QList<int> selectedColumns() const override { return {}; }
    QList<int> selectedRows() const override { return {}; }
    bool isColumnSelected(int) const override { return false; }
    bool isRowSelected(int) const override { return false; }
    // Rows and columns are chosen by moving the current cell, not by selecting.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override;

  private:
    DBGrid* grid() const;
    QAccessibleInterface* cell(int row, int column) const;
    // Lets go of the cells whose rows are no longer shown.
    void dropStaleCells() const;

    // Row (TitleRow for titles) and column to the cell's registered id.
    mutable QHash<QPair<int, int>, QAccessible::Id> cells_;
};

}  // namespace quorvel::ui
