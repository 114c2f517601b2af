// The font of the program's stored window layouts: "MS Sans Serif" at 8 points, 11 pixels at
// 96 dpi. Linux has no such font, so the font system's substitute stands in; the faces whose
// widths come closest to it are asked for first, so that the captions fit the pixel layout.
#pragma once

#include <QFont>

namespace quorvel::ui {

QFont layoutFont();

}  // namespace quorvel::ui
