// The three glyphs of the grid's indicator column, read from the program's resources: the
// current-row mark, the edit mark and the insert mark, each 6 x 11 pixels. The stored pictures
// are black on white; white is made transparent here.
#pragma once

#include <QImage>

#include <array>

namespace quorvel::ui {

enum class IndicatorGlyph { None, CurrentRow, Edit, Insert };

class IndicatorGlyphs {
  public:
    static constexpr int Width = 6;
    static constexpr int Height = 11;

    IndicatorGlyphs();
    // A null image for None.
    const QImage& image(IndicatorGlyph glyph) const;

  private:
    std::array<QImage, 4> images_;
};

}  // namespace quorvel::ui
