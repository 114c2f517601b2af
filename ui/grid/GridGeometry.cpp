#include "grid/GridGeometry.h"

#include <QFontMetrics>

#include <algorithm>

namespace quorvel::ui {

GridGeometry GridGeometry::measure(const QFont& font, const QFont& titleFont) {
    GridGeometry geometry;
    // The height of a text is its font's line height, whatever letters it holds ("Wg").
    geometry.titleHeight = QFontMetrics(titleFont).height() + 4;
    geometry.lineHeight = QFontMetrics(font).height() + 3 + 1;
    return geometry;
}

int GridGeometry::linesFitting(int height) const {
    return std::max(0, (height - titleTotal()) / lineTotal());
}

int GridGeometry::lineAt(int y) const {
    if (y < titleTotal()) {
        return -1;
    }
    return (y - titleTotal()) / lineTotal();
}

QRect GridGeometry::indicatorCell(int line) const {
    if (line < 0) {
        return {0, 0, IndicatorWidth, titleHeight};
    }
    return {0, lineTop(line), IndicatorWidth, lineHeight};
}

QRect GridGeometry::titleCell(const GridColumns& columns, int column) const {
    return {dataLeft() + columns.offset(column) - hOffset, 0, columns.at(column).width,
            titleHeight};
}

QRect GridGeometry::dataCell(const GridColumns& columns, int column, int line) const {
    return {dataLeft() + columns.offset(column) - hOffset, lineTop(line), columns.at(column).width,
            lineHeight};
}

QRect GridGeometry::lineStrip(int line, int width) const {
    return {0, lineTop(line), width, lineTotal()};
}

int GridGeometry::columnAt(const GridColumns& columns, int x) const {
    if (x < dataLeft()) {
        return -1;
    }
    const int inData = x - dataLeft() + hOffset;
    for (int column = 0; column < columns.count(); ++column) {
        if (inData < columns.offset(column + 1)) {
            return column;
        }
    }
    return columns.count();
}

int GridGeometry::resizeZoneAt(const GridColumns& columns, int x) const {
    for (int column = 0; column < columns.count(); ++column) {
        const int line = dataLeft() + columns.offset(column + 1) - 1 - hOffset;
        if (line < dataLeft()) {
            continue;  // scrolled out of sight
        }
        if (x >= line - 3 && x < line + 4) {
            return column;
        }
    }
    return -1;
}

}  // namespace quorvel::ui
