// Where the grid's cells stand on its viewport: the title row on top, the indicator column on
// the left (fixed), the data columns right of it scrolled sideways by hOffset. Every cell is
// followed by a one-pixel line on its right and below it.
#pragma once

#include <QFont>
#include <QRect>

#include "grid/GridColumns.h"

namespace quorvel::ui {

struct GridGeometry {
    static constexpr int IndicatorWidth = 11;

    int titleHeight = 17;  // cell heights, without the line below
    int lineHeight = 17;
    int hOffset = 0;  // pixels the data columns are scrolled to the left

    // "Wg" in the title font plus 4; in the cell font plus 3, plus 1 for the row lines.
    static GridGeometry measure(const QFont& font, const QFont& titleFont);

    int titleTotal() const { return titleHeight + 1; }
    int lineTotal() const { return lineHeight + 1; }
    int dataLeft() const { return IndicatorWidth + 1; }
    int lineTop(int line) const { return titleTotal() + line * lineTotal(); }
    // The data lines that fit completely into height.
    int linesFitting(int height) const;
    // The line at y, or -1 in the title row; past the last line gives lines beyond.
    int lineAt(int y) const;

    QRect indicatorCell(int line) const;  // line -1: the top-left corner
    QRect titleCell(const GridColumns& columns, int column) const;
    QRect dataCell(const GridColumns& columns, int column, int line) const;
    // A data line's whole strip, indicator included, lines below it included.
    QRect lineStrip(int line, int width) const;
    // The data column at x (-1 for the indicator column, count for right of the last one).
    int columnAt(const GridColumns& columns, int x) const;
    // The column whose right line lies within the resizing zone around x (from 3 pixels left
    // of the line to 4 right of it), or -1.
    int resizeZoneAt(const GridColumns& columns, int x) const;
};

}  // namespace quorvel::ui
