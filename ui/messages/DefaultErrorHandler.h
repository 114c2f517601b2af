// The default error handler: shows a failure that escaped an event handler in a message box
// captioned with the application title, and lets the program go on.
#pragma once

#include <QString>

#include <exception>
#include <utility>

namespace quorvel::ui {

// Shows the failure's message, with a full stop by withHandlerFullStop, in a critical message
// box with one OK button, shown modally (showModal) and centred on the active window's monitor,
// and returns when it is answered. Any mouse capture is let go first; afterwards the window
// that was active is active again and the keyboard focus is back where it was. An EAbort shows
// nothing.
void handleEscapedFailure(const std::exception& failure);

// The text of the last box handleEscapedFailure showed in this run; empty before the first.
QString lastEscapedFailureText();

// Runs an event handler and hands a failure that escapes it to handleEscapedFailure, so that
// it never unwinds through Qt's frames.
template <typename Handler>
void runHandler(Handler&& handler) {
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception& failure) {
        handleEscapedFailure(failure);
    }
}

}  // namespace quorvel::ui
