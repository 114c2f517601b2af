// The context menu of a bound edit or memo: the usual editing commands, where every command
// that changes the text first starts a change of the record, and is offered while the control
// is read-only only because typing would start one too.
#pragma once

#include <functional>

class QMenu;
class QWidget;

namespace quorvel::ui {

struct EditMenuCommands {
    // Whether a change may be made or started at all.
    bool changeAllowed = false;
    bool canUndo = false;
    bool canRedo = false;
    bool hasSelection = false;
    bool hasText = false;
    bool canPaste = false;
    std::function<void()> undo, redo, cut, copy, paste, deleteSelection, selectAll;
};

// A menu owned by parent; startChange runs before each changing command, which is dropped when
// it gives false.
QMenu* createEditMenu(QWidget* parent, const EditMenuCommands& commands,
                      const std::function<bool()>& startChange);

}  // namespace quorvel::ui
