#include "messages/FullStop.h"

namespace quorvel::ui {

QString withHandlerFullStop(const QString& message) {
    // A character beyond the BMP ends in a low surrogate, whose code is above 0x2E as well.
    if (!message.isEmpty() && message.back().unicode() > u'.') {
        return message + u'.';
    }
    return message;
}

QString withStartupFullStop(const QString& message) {
    if (!message.isEmpty() && !message.endsWith(u'.')) {
        return message + u'.';
    }
    return message;
}

}  // namespace quorvel::ui
