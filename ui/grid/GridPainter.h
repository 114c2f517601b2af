// Paints the grid's cells inside an exposed region: title row and indicator column in the
// button face with a raised bevel and black lines, data cells in the window colour with silver
// lines, the current cell highlighted while the grid has the focus, the indicator glyph on the
// current row's line, and the window colour right of the last column and below the last line.
#pragma once

#include <QFont>
#include <QPalette>
#include <QRegion>
#include <QSize>
#include <QString>

#include "grid/GridColumns.h"
#include "grid/GridGeometry.h"
#include "grid/IndicatorGlyphs.h"

class QPainter;

namespace quorvel {
class RecordSet;
struct RowData;
}  // namespace quorvel

namespace quorvel::ui {

// What one paint of the grid shows.
struct GridPaintState {
    const GridColumns* columns = nullptr;
    GridGeometry geometry;
    const RecordSet* set = nullptr;  // null or inactive: one blank line
    int shownLines = 1;
    int currentLine = 0;
    int currentColumn = 0;
    bool highlighted = false;  // the grid has the input focus
    bool focusRect = false;    // and is the window's active control
    IndicatorGlyph glyph = IndicatorGlyph::None;
    int moveMarkerX = -1;  // where a dragged title would go, or -1
};

class GridPainter {
  public:
    GridPainter(QPainter& painter, const QPalette& palette, const QFont& font,
                const QFont& titleFont, const IndicatorGlyphs& glyphs);

    void paint(const GridPaintState& state, const QRegion& exposed, QSize size);

    // A data cell's text: a string field's text, "(Memo)" or "(MEMO)" for a memo; empty
    // without a field or a row.
    static QString cellText(const GridColumn& column, const RowData* row);

  private:
    void paintTitleRow(const GridPaintState& state, int width);
    void paintLine(const GridPaintState& state, int line, int width);
    void paintFixedCell(const QRect& cell);
    QColor dataLineColour() const;

    QPainter& painter_;
    const QPalette& palette_;
    QFont font_;
    QFont titleFont_;
    const IndicatorGlyphs& glyphs_;
};

}  // namespace quorvel::ui
