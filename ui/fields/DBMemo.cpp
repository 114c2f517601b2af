#include "fields/DBMemo.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>

#include <algorithm>
#include <memory>

#include "fields/ChangeInputs.h"
#include "fields/EditMenu.h"
#include "messages/DefaultErrorHandler.h"

namespace quorvel::ui {

namespace {

// Every line break of a field's text (CR LF, a lone CR, a lone LF) as one LF, as the control
// takes its lines.
QString linesOf(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    return lines;
}

bool exceedsCapacity(const QString& lines) {
    if (lines.size() > DBMemo::CapacityTotal) {
        return true;
    }
    qsizetype start = 0;
    while (start <= lines.size()) {
        qsizetype end = lines.indexOf(u'\n', start);
        if (end < 0) {
            end = lines.size();
        }
        if (end - start > DBMemo::CapacityLine) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

DBMemo::DBMemo(QWidget* parent) : QPlainTextEdit(parent), link_(*this) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(true);
    setReadOnly(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] { link_.textChanged(); });
}

DBMemo::~DBMemo() = default;

QString DBMemo::textToWrite() const {
    if (!loaded_) {
        return {};
    }
    // Raw text keeps every character as typed (no-break spaces too); paragraphs and the line
    // breaks of Shift+Enter both become CR LF.
    QString text = document()->toRawText();
    QString written;
    written.reserve(text.size());
    for (const QChar c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator || c == u'\n') {
            written += QStringLiteral("\r\n");
        } else {
            written += c;
        }
    }
    return written;
}

void DBMemo::showFieldText(const QString& text) {
    if (link_.field() == nullptr) {
        loaded_ = false;
        if (!document()->isEmpty()) {
            setPlainText(QString());
        }
        applyWritable();
        return;
    }
    const QString lines = linesOf(text);
    if (exceedsCapacity(lines)) {
        loaded_ = false;
        setPlainText(QStringLiteral("(%1)").arg(QStringLiteral("Text exceeds memo capacity")));
        applyWritable();
        return;
    }
    const bool wasLoaded = loaded_;
    loaded_ = true;
    if (!wasLoaded || linesOf(textToWrite()) != lines) {
        setPlainText(lines);
    }
    applyWritable();
}

void DBMemo::setWritable(bool writable) {
    writable_ = writable;
    applyWritable();
}

void DBMemo::applyWritable() {
    const bool writable = writable_ && loaded_;
    setReadOnly(!writable);
    setAttribute(Qt::WA_InputMethodEnabled, writable || (loaded_ && link_.canStartChange()));
}

void DBMemo::exitRefused() {
    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    setTextCursor(cursor);
}

void DBMemo::retryLoad() {
    runHandler([this] { link_.load(); });
}

void DBMemo::keyPressEvent(QKeyEvent* event) {
    if (link_.field() == nullptr) {
        event->accept();  // no field: every key is ignored
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        runHandler([this] { link_.load(); });
        event->ignore();  // selects nothing and lets the key go on
        return;
    }
    KeyEffect effect = keyEffect(*event, true);
    if ((effect == KeyEffect::Undo && !document()->isUndoAvailable()) ||
        (effect == KeyEffect::Redo && !document()->isRedoAvailable())) {
        effect = KeyEffect::None;
    }
    if (!loaded_) {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            retryLoad();
            event->accept();
        } else if (effect != KeyEffect::None) {
            event->accept();  // dropped
        } else {
            QPlainTextEdit::keyPressEvent(event);
        }
        return;
    }
    if (effect == KeyEffect::None) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!link_.startChange()) {
        return;  // the input is lost
    }
    if (effect == KeyEffect::TabCharacter) {
        insertPlainText(QStringLiteral("\t"));
    } else if (effect == KeyEffect::NewLine && event->key() == Qt::Key_J) {
        insertPlainText(QStringLiteral("\n"));
    } else {
        QPlainTextEdit::keyPressEvent(event);
    }
}

void DBMemo::inputMethodEvent(QInputMethodEvent* event) {
    const bool changes = !event->commitString().isEmpty() || !event->preeditString().isEmpty() ||
                         event->replacementLength() > 0;
    if (changes && (!loaded_ || !link_.startChange())) {
        event->ignore();
        return;
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void DBMemo::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    link_.entered();
}

void DBMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    link_.leave(*event);
}

void DBMemo::contextMenuEvent(QContextMenuEvent* event) {
    EditMenuCommands commands;
    commands.changeAllowed = loaded_ && link_.canStartChange();
    commands.canUndo = document()->isUndoAvailable();
    commands.canRedo = document()->isRedoAvailable();
    commands.hasSelection = textCursor().hasSelection();
    commands.hasText = !document()->isEmpty();
    commands.canPaste = canPaste();
    commands.undo = [this] { undo(); };
    commands.redo = [this] { redo(); };
    commands.cut = [this] { cut(); };
    commands.copy = [this] { copy(); };
    commands.paste = [this] { paste(); };
    commands.deleteSelection = [this] { textCursor().removeSelectedText(); };
    commands.selectAll = [this] { selectAll(); };
    const std::unique_ptr<QMenu> menu(
        createEditMenu(this, commands, [this] { return link_.startChange(); }));
    menu->exec(event->globalPos());
}

bool DBMemo::acceptsDrop(const QDropEvent& event) const {
    return event.mimeData()->hasText() && loaded_ && !link_.writable() && link_.canStartChange();
}

void DBMemo::dragEnterEvent(QDragEnterEvent* event) {
    if (acceptsDrop(*event)) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragEnterEvent(event);
}

void DBMemo::dragMoveEvent(QDragMoveEvent* event) {
    if (acceptsDrop(*event)) {
        event->acceptProposedAction();
        return;
    }
    QPlainTextEdit::dragMoveEvent(event);
}

void DBMemo::dropEvent(QDropEvent* event) {
    if (!link_.writable()) {
        // A drop on the read-only memo is a paste: it starts the change first.
        if (!acceptsDrop(*event) || !link_.startChange()) {
            event->ignore();
            return;
        }
    }
    QPlainTextEdit::dropEvent(event);
}

void DBMemo::mousePressEvent(QMouseEvent* event) {
    // A middle click pastes the selection where the platform has one.
    if (event->button() == Qt::MiddleButton && QApplication::clipboard()->supportsSelection() &&
        !link_.writable() && (!loaded_ || !link_.startChange())) {
        event->accept();
        return;
    }
    QPlainTextEdit::mousePressEvent(event);
}

void DBMemo::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!loaded_ && link_.field() != nullptr) {
        retryLoad();
        event->accept();
        return;
    }
    QPlainTextEdit::mouseDoubleClickEvent(event);
}

}  // namespace quorvel::ui
