// Counting and cutting text by characters (Unicode code points): a character outside the Basic
// Multilingual Plane is one character, though QString holds it as two UTF-16 units.
#pragma once

#include <QString>

namespace quorvel::ui {

qsizetype characterCount(const QString& text);
// The first count characters of text; never splits a surrogate pair.
QString leftCharacters(const QString& text, qsizetype count);
// text up to its first line break (CR, LF, or a Unicode line or paragraph separator).
QString firstLine(const QString& text);

}  // namespace quorvel::ui
