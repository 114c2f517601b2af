// The grid's keys as one table: which action a key press asks of the grid. The grid and its
// cell editor both read it, so a key means the same wherever the grid's focus is.
#pragma once

#include <Qt>

class QKeyEvent;

namespace quorvel::ui {

enum class GridMove {
    None,          // not a key of the grid
    PriorRow,      // Up
    NextRow,       // Down
    PriorPage,     // Page Up: MoveBy -L
    NextPage,      // Page Down: MoveBy +L
    FirstLine,     // Ctrl+Up, Ctrl+Page Up: the row on the first data line
    LastLine,      // Ctrl+Down, Ctrl+Page Down: the row on the last data line
    FirstRow,      // Ctrl+Home
    LastRow,       // Ctrl+End
    FirstColumn,   // Home, Ctrl+Left
    LastColumn,    // End, Ctrl+Right
    PriorColumn,   // Left
    NextColumn,    // Right
    TabNext,       // Tab: as Down, column unchanged
    TabPrior,      // Shift+Tab: as Up
    Cancel,        // Escape
    ToggleEditor,  // Enter
    EditorAtEnd,   // F2: editor with the caret at the end
    TypedCharacter,
    Backspace,
    Nothing,  // Insert, Delete, Ctrl+Delete: keys of the grid that do nothing
};

GridMove gridMoveFor(int key, Qt::KeyboardModifiers modifiers, const QString& text);
GridMove gridMoveFor(const QKeyEvent& event);

}  // namespace quorvel::ui
