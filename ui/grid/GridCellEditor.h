// The grid's cell editor: a borderless, read-only text box laid over the current data cell. The
// user can move the caret, select and copy; the keys that move the grid's current row, Escape
// and Enter are handed back to the grid.
#pragma once

#include <QLineEdit>

#include <functional>

#include "grid/GridKeyTable.h"

namespace quorvel::ui {

class GridCellEditor : public QLineEdit {
    Q_OBJECT

  public:
    // gridKey runs a key the grid acts on; focusLost is told when the editor loses the focus.
    GridCellEditor(std::function<void(GridMove)> gridKey,
                   std::function<void(Qt::FocusReason)> focusLost, QWidget* parent);

  protected:
    bool event(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    std::function<void(GridMove)> gridKey_;
    std::function<void(Qt::FocusReason)> focusLost_;
};

}  // namespace quorvel::ui
