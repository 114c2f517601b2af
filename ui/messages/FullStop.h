// The two rules by which a failure's message gets a closing full stop before it is shown.
#pragma once

#include <QString>

namespace quorvel::ui {

// The default error handler's rule: "." is appended when the message isn't empty and its last
// character's code is above that of "." (0x2E). So nothing is added after ".", "!", ",", ")",
// "-", a space or anything else up to 0x2E; one is added after letters (accented ones too: their
// codes are all above 0x7F), digits, "?", ":" and "]".
QString withHandlerFullStop(const QString& message);

// The start-up failure report's rule: "." is appended unless the message is empty or already
// ends in ".". So a message ending in "!" does get one.
QString withStartupFullStop(const QString& message);

}  // namespace quorvel::ui
