// The pictures of the splash and about windows and the program's icon, drawn from shapes alone
// (no text, so no font changes them). drawpictures writes them into resources/; the window tests
// draw them again to check what the program decodes from its stored copies.
#pragma once

#include <QImage>

namespace quorvel::pictures {

inline constexpr int SplashWidth = 152;
inline constexpr int SplashHeight = 200;
inline constexpr int IconSize = 32;

// A stack of periodicals on a green field under a sky with a sun; opaque, RGB32.
QImage drawSplashPicture();

// An open periodical with a red cover on a transparent background; ARGB32.
QImage drawAboutIcon();

// The sizes of the program's icon that the desktop's icon theme looks for, in pixels.
inline constexpr int ProgramIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The program's icon for the desktop's menu, task bar and window frames: three periodicals
// fanned out, red in front, on a transparent background; size x size pixels, ARGB32. Below 48
// pixels the covers lose their finer lines, which would only blur.
QImage drawProgramIcon(int size);

}  // namespace quorvel::pictures
