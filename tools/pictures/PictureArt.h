// The pictures of the splash and about windows, drawn from shapes alone (no text, so no font
// changes them). drawpictures writes them into resources/; the window tests draw them again to
// check what the program decodes from its stored copies.
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

}  // namespace quorvel::pictures
