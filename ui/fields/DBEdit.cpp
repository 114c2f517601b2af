#include "fields/DBEdit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include <algorithm>
#include <memory>

#include "fields/ChangeInputs.h"
#include "fields/EditMenu.h"
#include "fields/TextCharacters.h"
#include "messages/DefaultErrorHandler.h"
#include "recordset/Field.h"

namespace quorvel::ui {

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent), link_(*this) {
    setReadOnly(true);
    // The limit is counted in characters here, not in the UTF-16 units QLineEdit counts.
    connect(this, &QLineEdit::textChanged, this, [this] { link_.textChanged(); });
}

DBEdit::~DBEdit() = default;

int DBEdit::characterLimit() const {
    const Field* field = link_.field();
    return field != nullptr && field->DataType() == FieldType::String ? field->Size() : 0;
}

void DBEdit::showFieldText(const QString& fieldText) {
    if (text() != fieldText) {
        setText(fieldText);
    }
}

void DBEdit::setWritable(bool writable) {
    setReadOnly(!writable);
    // Composing a character must reach the edit while it is read-only, to start the change.
    setAttribute(Qt::WA_InputMethodEnabled, writable || link_.canStartChange());
}

void DBEdit::insertLimited(const QString& input) {
    QString piece = firstLine(input);
    if (const int limit = characterLimit(); limit > 0) {
        const qsizetype room = limit - characterCount(text()) + characterCount(selectedText());
        piece = leftCharacters(piece, std::max<qsizetype>(room, 0));
    }
    if (!piece.isEmpty()) {
        insert(piece);
    }
}

void DBEdit::pasteFrom(QClipboard::Mode mode) {
    insertLimited(QApplication::clipboard()->text(mode));
}

void DBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        runHandler([this] { link_.load(); });
        selectAll();
        event->accept();  // the key goes no further
        return;
    }
    KeyEffect effect = keyEffect(*event, false);
    if ((effect == KeyEffect::Undo && !isUndoAvailable()) ||
        (effect == KeyEffect::Redo && !isRedoAvailable())) {
        effect = KeyEffect::None;
    }
    if (effect == KeyEffect::None) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!link_.startChange()) {
        return;  // the input is lost
    }
    if (effect == KeyEffect::Types) {
        insertLimited(event->text());
    } else if (event->matches(QKeySequence::Paste) ||
               (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ShiftModifier)) {
        pasteFrom(QClipboard::Clipboard);
    } else {
        QLineEdit::keyPressEvent(event);
    }
}

void DBEdit::inputMethodEvent(QInputMethodEvent* event) {
    const bool changes = !event->commitString().isEmpty() || !event->preeditString().isEmpty() ||
                         event->replacementLength() > 0;
    if (changes && !link_.startChange()) {
        event->ignore();
        return;
    }
    const int limit = characterLimit();
    if (limit <= 0 || event->commitString().isEmpty()) {
        QLineEdit::inputMethodEvent(event);
        return;
    }
    const qsizetype room = limit - characterCount(text()) + characterCount(selectedText());
    QInputMethodEvent limited(event->preeditString(), event->attributes());
    limited.setCommitString(
        leftCharacters(firstLine(event->commitString()), std::max<qsizetype>(room, 0)),
        event->replacementStart(), event->replacementLength());
    QLineEdit::inputMethodEvent(&limited);
}

void DBEdit::focusInEvent(QFocusEvent* event) {
    // Taking the focus back after a failed write-back keeps what was typed.
    if (FieldLink::movesWithinWindow(*event) && !link_.changed()) {
        runHandler([this] { link_.load(); });
    }
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::OtherFocusReason:
            selectAll();
            break;
        default:
            break;  // a click places the caret itself
    }
    link_.entered();
}

void DBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (link_.leave(*event)) {
        runHandler([this] { link_.load(); });
    }
}

void DBEdit::contextMenuEvent(QContextMenuEvent* event) {
    EditMenuCommands commands;
    commands.changeAllowed = link_.canStartChange();
    commands.canUndo = isUndoAvailable();
    commands.canRedo = isRedoAvailable();
    commands.hasSelection = hasSelectedText();
    commands.hasText = !text().isEmpty();
    commands.canPaste = !QApplication::clipboard()->text().isEmpty();
    commands.undo = [this] { undo(); };
    commands.redo = [this] { redo(); };
    commands.cut = [this] { cut(); };
    commands.copy = [this] { copy(); };
    commands.paste = [this] { pasteFrom(QClipboard::Clipboard); };
    commands.deleteSelection = [this] { del(); };
    commands.selectAll = [this] { selectAll(); };
    const std::unique_ptr<QMenu> menu(
        createEditMenu(this, commands, [this] { return link_.startChange(); }));
    menu->exec(event->globalPos());
}

void DBEdit::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasText() && !link_.writable() && link_.canStartChange()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

void DBEdit::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasText() && !link_.writable() && link_.canStartChange()) {
        event->acceptProposedAction();
        return;
    }
    QLineEdit::dragMoveEvent(event);
}

void DBEdit::dropEvent(QDropEvent* event) {
    // A drop is a paste at the place it is let go, under the same limit.
    if (!event->mimeData()->hasText() || !link_.startChange()) {
        event->ignore();
        return;
    }
    setCursorPosition(cursorPositionAt(event->position().toPoint()));
    insertLimited(event->mimeData()->text());
    event->acceptProposedAction();
}

bool DBEdit::pastesSelectionOnMiddleClick(const QMouseEvent& event) const {
    return event.button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection();
}

void DBEdit::mousePressEvent(QMouseEvent* event) {
    if (pastesSelectionOnMiddleClick(*event)) {
        event->accept();  // pasted on release
        return;
    }
    QLineEdit::mousePressEvent(event);
}

void DBEdit::mouseReleaseEvent(QMouseEvent* event) {
    if (pastesSelectionOnMiddleClick(*event)) {
        event->accept();
        if (rect().contains(event->position().toPoint()) && link_.startChange()) {
            deselect();
            setCursorPosition(cursorPositionAt(event->position().toPoint()));
            pasteFrom(QClipboard::Selection);
        }
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace quorvel::ui
