#include "grid/GridPainter.h"

#include <QPainter>

#include <algorithm>

#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel::ui {

namespace {

const QColor black(0, 0, 0);
const QColor silver(0xC0, 0xC0, 0xC0);
const QColor grey(0x80, 0x80, 0x80);

// Text 2 pixels in from the cell's left and top edges, one line, clipped at the cell.
void drawCellText(QPainter& painter, const QRect& cell, const QString& text) {
    if (text.isEmpty() || cell.width() <= 0) {
        return;
    }
    painter.save();
    painter.setClipRect(cell, Qt::IntersectClip);
    painter.drawText(cell.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     text);
    painter.restore();
}

}  // namespace

GridPainter::GridPainter(QPainter& painter, const QPalette& palette, const QFont& font,
                         const QFont& titleFont, const IndicatorGlyphs& glyphs)
    : painter_(painter), palette_(palette), font_(font), titleFont_(titleFont), glyphs_(glyphs) {}

QString GridPainter::cellText(const GridColumn& column, const RowData* row) {
    if (column.field == nullptr) {
        return {};
    }
    if (column.field->DataType() == FieldType::Memo) {
        const bool hasValue = row != nullptr && column.field->hasValueIn(*row);
        const QString text = QStringLiteral("(%1)").arg(QStringLiteral("Memo"));
        return hasValue ? text.toUpper() : text;
    }
    return row == nullptr ? QString() : QString::fromStdString(column.field->textIn(*row));
}

QColor GridPainter::dataLineColour() const {
    return palette_.color(QPalette::Base) == silver ? grey : silver;
}

void GridPainter::paint(const GridPaintState& state, const QRegion& exposed, QSize size) {
    const QRect bounds = exposed.boundingRect();
    painter_.setClipRegion(exposed);
    if (bounds.top() < state.geometry.titleTotal()) {
        paintTitleRow(state, size.width());
    }
    const int first = std::max(0, state.geometry.lineAt(bounds.top()));
    const int last = std::min(state.shownLines - 1, state.geometry.lineAt(bounds.bottom()));
    for (int line = first; line <= last; ++line) {
        paintLine(state, line, size.width());
    }
    const int below = state.geometry.lineTop(state.shownLines);
    if (below < size.height()) {
        painter_.fillRect(QRect(0, below, size.width(), size.height() - below),
                          palette_.color(QPalette::Base));
    }
    if (state.moveMarkerX >= 0) {
        painter_.fillRect(QRect(state.moveMarkerX - 1, 0, 3, below), black);
    }
}

void GridPainter::paintFixedCell(const QRect& cell) {
    painter_.fillRect(cell, palette_.color(QPalette::Button));
    // A raised bevel: light on the top and left edges, shadow on the bottom and right.
    painter_.setPen(palette_.color(QPalette::Light));
    painter_.drawLine(cell.topLeft(), cell.topRight());
    painter_.drawLine(cell.topLeft(), cell.bottomLeft());
    painter_.setPen(palette_.color(QPalette::Dark));
    painter_.drawLine(cell.bottomLeft(), cell.bottomRight());
    painter_.drawLine(cell.topRight(), cell.bottomRight());
    // The black lines right of and below the cell.
    painter_.fillRect(QRect(cell.right() + 1, cell.top(), 1, cell.height() + 1), black);
    painter_.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width(), 1), black);
}

void GridPainter::paintTitleRow(const GridPaintState& state, int width) {
    const GridGeometry& geometry = state.geometry;
    const GridColumns& columns = *state.columns;
    painter_.save();
    painter_.setClipRect(QRect(geometry.dataLeft(), 0, width, geometry.titleTotal()),
                         Qt::IntersectClip);
    painter_.setFont(titleFont_);
    int right = geometry.dataLeft();
    for (int column = 0; column < columns.count(); ++column) {
        const QRect cell = geometry.titleCell(columns, column);
        right = cell.right() + 2;
        if (cell.right() + 1 < geometry.dataLeft() || cell.left() > width) {
            continue;
        }
        paintFixedCell(cell);
        painter_.setPen(palette_.color(QPalette::ButtonText));
        drawCellText(painter_, cell, columns.at(column).title);
    }
    if (right < width) {
        painter_.fillRect(QRect(right, 0, width - right, geometry.titleTotal()),
                          palette_.color(QPalette::Base));
    }
    painter_.restore();
    paintFixedCell(geometry.indicatorCell(-1));
}

void GridPainter::paintLine(const GridPaintState& state, int line, int width) {
    const GridGeometry& geometry = state.geometry;
    const GridColumns& columns = *state.columns;
    const RowData* row = nullptr;
    if (state.set != nullptr && state.set->Active() && line < state.set->HeldRowCount()) {
        row = &state.set->HeldRow(line);
    }

    const QRect indicator = geometry.indicatorCell(line);
    paintFixedCell(indicator);
    if (line == state.currentLine && state.glyph != IndicatorGlyph::None) {
        const QImage& glyph = glyphs_.image(state.glyph);
        painter_.drawImage(QPoint(indicator.right() + 1 - 8,
                                  indicator.top() + (indicator.height() - glyph.height()) / 2),
                           glyph);
    }

    painter_.save();
    painter_.setClipRect(QRect(geometry.dataLeft(), indicator.top(), width, geometry.lineTotal()),
                         Qt::IntersectClip);
    painter_.setFont(font_);
    const QColor lines = dataLineColour();
    int right = geometry.dataLeft();
    for (int column = 0; column < columns.count(); ++column) {
        const QRect cell = geometry.dataCell(columns, column, line);
        right = cell.right() + 2;
        if (cell.right() + 1 < geometry.dataLeft() || cell.left() > width) {
            continue;
        }
        const bool current =
            state.highlighted && line == state.currentLine && column == state.currentColumn;
        painter_.fillRect(cell, palette_.color(current ? QPalette::Highlight : QPalette::Base));
        painter_.setPen(palette_.color(current ? QPalette::HighlightedText : QPalette::Text));
        drawCellText(painter_, cell, cellText(columns.at(column), row));
        if (current && state.focusRect) {
            painter_.setPen(QPen(palette_.color(QPalette::HighlightedText), 1, Qt::DotLine));
            painter_.drawRect(cell.adjusted(0, 0, -1, -1));
        }
        painter_.fillRect(QRect(cell.right() + 1, cell.top(), 1, cell.height() + 1), lines);
        painter_.fillRect(QRect(cell.left(), cell.bottom() + 1, cell.width(), 1), lines);
    }
    if (right < width) {
        painter_.fillRect(QRect(right, indicator.top(), width - right, geometry.lineTotal()),
                          palette_.color(QPalette::Base));
    }
    painter_.restore();
}

}  // namespace quorvel::ui
