#include "fields/ChangeInputs.h"

#include <QKeyEvent>
#include <QKeySequence>

namespace quorvel::ui {

bool isPrintableText(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    const QChar first = text.front();
    return first.isPrint() || first.category() == QChar::Other_Format ||
           first.category() == QChar::Other_PrivateUse ||
           (first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

KeyEffect keyEffect(const QKeyEvent& event, bool multiLine) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if (multiLine) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter ||
            (key == Qt::Key_J && modifiers == Qt::ControlModifier)) {
            return KeyEffect::NewLine;
        }
        if (key == Qt::Key_I && modifiers == Qt::ControlModifier) {
            return KeyEffect::TabCharacter;
        }
    }
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete ||
        (key == Qt::Key_Insert && modifiers == Qt::ShiftModifier)) {
        return KeyEffect::ChangesText;
    }
    if (event.matches(QKeySequence::Undo)) {
        return KeyEffect::Undo;
    }
    if (event.matches(QKeySequence::Redo)) {
        return KeyEffect::Redo;
    }
    for (const QKeySequence::StandardKey changing :
         {QKeySequence::Paste, QKeySequence::Cut, QKeySequence::DeleteStartOfWord,
          QKeySequence::DeleteEndOfWord, QKeySequence::DeleteEndOfLine,
          QKeySequence::DeleteCompleteLine}) {
        if (event.matches(changing)) {
            return KeyEffect::ChangesText;
        }
    }
    // Ctrl with a letter is a command, never a typed character; AltGr combinations type.
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
        return KeyEffect::None;
    }
    return isPrintableText(event.text()) ? KeyEffect::Types : KeyEffect::None;
}

}  // namespace quorvel::ui
