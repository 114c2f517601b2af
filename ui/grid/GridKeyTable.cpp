#include "grid/GridKeyTable.h"

#include <QKeyEvent>
#include <QString>

namespace quorvel::ui {

GridMove gridMoveFor(int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    if (alt) {
        return GridMove::None;  // menu accelerators
    }
    switch (key) {
        case Qt::Key_Up:
            return ctrl ? GridMove::FirstLine : GridMove::PriorRow;
        case Qt::Key_Down:
            return ctrl ? GridMove::LastLine : GridMove::NextRow;
        case Qt::Key_PageUp:
            return ctrl ? GridMove::FirstLine : GridMove::PriorPage;
        case Qt::Key_PageDown:
            return ctrl ? GridMove::LastLine : GridMove::NextPage;
        case Qt::Key_Home:
            return ctrl ? GridMove::FirstRow : GridMove::FirstColumn;
        case Qt::Key_End:
            return ctrl ? GridMove::LastRow : GridMove::LastColumn;
        case Qt::Key_Left:
            return ctrl ? GridMove::FirstColumn : GridMove::PriorColumn;
        case Qt::Key_Right:
            return ctrl ? GridMove::LastColumn : GridMove::NextColumn;
        case Qt::Key_Tab:
            if (ctrl) {
                return GridMove::None;
            }
            return shift ? GridMove::TabPrior : GridMove::TabNext;
        case Qt::Key_Backtab:
            return ctrl ? GridMove::None : GridMove::TabPrior;
        case Qt::Key_Escape:
            return GridMove::Cancel;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return GridMove::ToggleEditor;
        case Qt::Key_F2:
            return GridMove::EditorAtEnd;
        case Qt::Key_Backspace:
            return GridMove::Backspace;
        case Qt::Key_Insert:
        case Qt::Key_Delete:
            return GridMove::Nothing;
        default:
            break;
    }
    // A printable character, whatever the keyboard layout (Czech letters included).
    if (!ctrl && text.size() == 1 && text.at(0).isPrint()) {
        return GridMove::TypedCharacter;
    }
    return GridMove::None;
}

GridMove gridMoveFor(const QKeyEvent& event) {
    return gridMoveFor(event.key(), event.modifiers(), event.text());
}

}  // namespace quorvel::ui
