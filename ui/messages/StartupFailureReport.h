// The start-up failure report: shows a failure that escaped the main module before the message
// loop ran. Ending the process (exit code 1) is the main module's part.
#pragma once

#include <QString>

#include <exception>

namespace quorvel::ui {

// The largest number of characters (code points) the report's text may have.
inline constexpr qsizetype StartupReportMaxLength = 1023;

// "Exception <kind> in module <module> at <address>.\n<message>", where kind is the failure's
// kindName() (the C++ type name for a failure that isn't one of ours), module the executable's
// file name, address the low 32 bits of the raise address in eight upper-case hex digits (zero
// for foreign failures) and message has a full stop by withStartupFullStop; cut to
// StartupReportMaxLength characters.
QString startupFailureText(const std::exception& failure, const QString& moduleFileName);

// Shows startupFailureText for the running executable in a critical message box captioned
// "Application Error" with one OK button and no owner, and returns when it is answered.
void showStartupFailure(const std::exception& failure);

}  // namespace quorvel::ui
