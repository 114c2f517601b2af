// Modal display: a window shown modally takes all input of the application until it closes,
// and then gives back its ModalResult. The message dialog and the splash, about and help
// windows are all shown this way. Displays nest; each ends before the one beneath it can.
#pragma once

#include <QString>

#include "Exceptions.h"

class QWidget;

namespace quorvel {

// A window operation asked in a state that doesn't allow it.
class EInvalidOperation : public Exception {
  public:
    [[gnu::noinline]] explicit EInvalidOperation(const std::string& message)
        : Exception(message, RaisedAt{__builtin_return_address(0)}) {}
    const char* kindName() const override { return "EInvalidOperation"; }
};

}  // namespace quorvel

namespace quorvel::ui {

// The result of a window closed without a button: its close box, the window manager's Close
// or close() from one of its own handlers.
inline constexpr int ResultClosed = 2;

// A window's ModalResult lives in its dynamic property "ModalResult", so that any QWidget can
// be shown modally. 0 (also when unset) means the window is still open.
inline constexpr char ModalResultProperty[] = "ModalResult";
int modalResult(const QWidget& window);
// A nonzero result ends the window's modal display once the current handler returns.
void setModalResult(QWidget& window, int result);

// Shows a top-level window modally and returns its ModalResult when the display ends:
// every other visible, enabled top-level window is disabled meanwhile (and re-enabled
// afterwards, with its keyboard focus where it was); a nested event loop dispatches events,
// and failures escaping handlers reach the default error handler through the application's
// notify. When the application is quitting the result is ResultClosed. The window is hidden,
// not destroyed, at the end; the window that was active before is active again.
// Throws EInvalidOperation if the window is visible, disabled or already shown modally.
//
// A window disabled by a display is not setEnabled(false): it would be drawn greyed. The
// modal window is application-modal instead, so Qt lets no click, key or close request (the
// window manager's close box, Alt+F4) reach any other window, and the windows behind are drawn
// as usual. Ask isWindowEnabled, not QWidget::isEnabled, whether a window takes input.
int showModal(QWidget& window);

// Whether a window takes input: it is enabled, and no running modal display has disabled it.
bool isWindowEnabled(const QWidget& window);

}  // namespace quorvel::ui
