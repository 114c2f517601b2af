// Which key presses change the text of a bound edit or memo, and so must start a change of the
// record before they take effect. Moving the caret, selecting, copying and Enter in an edit
// change nothing.
#pragma once

class QKeyEvent;
class QString;

namespace quorvel::ui {

enum class KeyEffect {
    None,
    Types,        // a printable character (any Unicode character, not only 32 to 255)
    ChangesText,  // Backspace, Delete in any form, paste, cut, deleting words and lines
    Undo,         // changes the text only when there is something to undo
    Redo,
    NewLine,       // a memo's Enter and Ctrl+J
    TabCharacter,  // a memo's Ctrl+I
};

// The effect of event in an edit, or with multiLine in a memo.
KeyEffect keyEffect(const QKeyEvent& event, bool multiLine);

// Whether text, arriving as typed or dropped input, holds something a text control inserts.
bool isPrintableText(const QString& text);

}  // namespace quorvel::ui
