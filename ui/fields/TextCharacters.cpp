#include "fields/TextCharacters.h"

namespace quorvel::ui {

qsizetype characterCount(const QString& text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate())) {
            ++count;
        }
    }
    return count;
}

QString leftCharacters(const QString& text, qsizetype count) {
    qsizetype units = 0;
    for (qsizetype taken = 0; units < text.size() && taken < count; ++taken) {
        const bool pair = text.at(units).isHighSurrogate() && units + 1 < text.size() &&
                          text.at(units + 1).isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return text.left(units);
}

QString firstLine(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            return text.left(i);
        }
    }
    return text;
}

}  // namespace quorvel::ui
