#include "grid/GridCellEditor.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace quorvel::ui {

GridCellEditor::GridCellEditor(std::function<void(GridMove)> gridKey,
                               std::function<void(Qt::FocusReason)> focusLost, QWidget* parent)
    : QLineEdit(parent), gridKey_(std::move(gridKey)), focusLost_(std::move(focusLost)) {
    setObjectName(QStringLiteral("InplaceEditor"));
    setReadOnly(true);
    setFrame(false);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // The line edit already keeps 2 pixels left and 1 above its text: the text then stands 2
    // pixels in from the left, top and right, where the cell's own text stood.
    setTextMargins(0, 1, 0, 0);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    hide();
}

bool GridCellEditor::event(QEvent* event) {
    // Tab arrives here before the line edit's own focus chain would take it.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (const GridMove move = gridMoveFor(*key)) {
            case GridMove::PriorRow:
            case GridMove::NextRow:
            case GridMove::PriorPage:
            case GridMove::NextPage:
            case GridMove::TabNext:
            case GridMove::TabPrior:
            case GridMove::Cancel:
            case GridMove::ToggleEditor:
                key->accept();
                gridKey_(move);
                return true;
            case GridMove::EditorAtEnd:
                key->accept();
                deselect();
                end(false);
                return true;
            case GridMove::Nothing:
                if (key->key() == Qt::Key_Insert ||
                    key->modifiers().testFlag(Qt::ControlModifier)) {
                    key->accept();
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return QLineEdit::event(event);
}

void GridCellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    focusLost_(event->reason());
}

}  // namespace quorvel::ui
