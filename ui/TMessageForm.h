// The message dialog's window: icon, word-wrapped text and a row of buttons, laid out from the
// message font's average character width and height so that it looks the same at any font
// size. It previews every key before the focused button does, for Enter, Escape, the buttons'
// letters and Ctrl+C.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

#include "MessageDialog.h"

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
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

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
    // Centres the window with the given frame margins in placementArea_.
    void centre(const QMargins& margins);
    // Centres the window again when the frame it has now, if that is known, differs in size
    // from the one it was centred with.
    void followFrame();

    QString message_;
    std::vector<Button> buttons_;
    QPushButton* defaultButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QRect placementArea_;
    QSize centredFrame_;      // the frame size the window was last centred with
    QBasicTimer frameWatch_;  // runs while the window is shown
};

}  // namespace quorvel::ui
