// The message dialog's window: icon, word-wrapped text and a row of buttons, laid out from the
// message font's average character width and height so that it looks the same at any font
// size. It previews every key before the focused button does, for Enter, Escape, the buttons'
// letters and Ctrl+C.
#pragma once

#include <QDialog>
#include <QString>

#include <vector>

#include "messages/MessageDialog.h"

class QKeyEvent;
class QPushButton;

namespace quorvel::ui {

class TMessageForm : public QDialog {
    Q_OBJECT

  public:
    // A hidden dialog, laid out and placed; show it with showModal. Children, by object name:
    // the icon "Image", the text "Message" and the buttons "Yes", "No", "OK".
    TMessageForm(const QString& text, MsgDlgType kind, MsgDlgButtons buttons);

    QString message() const { return message_; }
    int modalResult() const;
    // What Ctrl+C puts on the clipboard: seven lines, each ended by CR LF, with 27 hyphens on
    // the first, third, fifth and seventh, then the caption, the message and the button
    // captions (without "&", each followed by three spaces).
    QString clipboardText() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Button {
        QPushButton* widget;
        int result;
        QChar letter;  // the access key, upper case; null when the caption has none
    };

    // Whether the dialog answers this key itself rather than leaving it to the focused widget.
    bool handlesKey(const QKeyEvent& key) const;
    void pressKey(const QKeyEvent& key);
    // Moves the keyboard focus to the next (or previous) button, round the row.
    void moveFocus(bool forward);
    void copyToClipboard() const;

    QString message_;
    std::vector<Button> buttons_;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace quorvel::ui
