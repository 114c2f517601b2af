// The message dialog: the one window through which the program reports and asks in its own
// words. It is built anew for every message, shown modally and destroyed before the call
// returns.
#pragma once

#include <QFlags>
#include <QString>

namespace quorvel::ui {

enum class MsgDlgType { Error, Confirmation };

// The buttons stand in this order from left to right, whatever order the caller names them in.
enum class MsgDlgBtn : unsigned { Yes = 0x1, No = 0x2, OK = 0x4 };
Q_DECLARE_FLAGS(MsgDlgButtons, MsgDlgBtn)
Q_DECLARE_OPERATORS_FOR_FLAGS(MsgDlgButtons)

// The result codes of the buttons; a dialog closed without a button gives ResultClosed (2).
inline constexpr int ResultOK = 1;
inline constexpr int ResultYes = 6;
inline constexpr int ResultNo = 7;

// Shows text in a TMessageForm of the given kind with the given buttons (at least one), waits
// for the answer and returns its result code. The text is shown as it is: no full stop is
// added, and "&" is shown as itself.
int ShowMessageDialog(const QString& text, MsgDlgType kind, MsgDlgButtons buttons);

}  // namespace quorvel::ui
