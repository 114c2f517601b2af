// One cell of the grid as a screen reader sees it: a title cell (row -1, a column header) or a
// data cell of a table row, named by the text it is painted with. It reads the grid whenever
// asked, so it stays right while the grid scrolls; it is valid while its row is on a line
// shown and its column exists.
#pragma once

#include <QAccessibleInterface>
#include <QPointer>

namespace quorvel::ui {

class DBGrid;

class DBGridCellAccessible : public QAccessibleInterface, public QAccessibleTableCellInterface {
  public:
    static constexpr int TitleRow = -1;

    DBGridCellAccessible(DBGrid* grid, int row, int column);

    bool isValid() const override;
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int index) const override;
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface* child) const override;
    QString text(QAccessible::Text type) const override;
    void setText(QAccessible::Text type, const QString& text) override;
    QRect rect() const override;
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    bool isSelected() const override;
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override { return column_; }
    int rowIndex() const override { return row_; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override;

  private:
    bool isTitle() const { return row_ == TitleRow; }
    bool isCurrent() const;

    QPointer<DBGrid> grid_;
    int row_;
    int column_;
};

}  // namespace quorvel::ui
