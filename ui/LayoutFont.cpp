#include "LayoutFont.h"

#include <QStringList>

namespace quorvel::ui {

QFont layoutFont() {
    QFont font;
    // MS Sans Serif's own successor, then faces of Arial's widths; the font system's default
    // sans-serif face (DejaVu Sans, about a tenth wider) only when none of them is installed.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    // As the original's text output: glyphs side by side with the font's kerning, without
    // ligatures or other shaping. It also spares the shaping of every caption and cell, about a
    // tenth of the window's first screen; scripts that need shaping still get it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

}  // namespace quorvel::ui
