#include "grid/GridColumns.h"

#include <QFontMetrics>

#include <algorithm>

#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel::ui {

int GridColumns::displayWidth(const Field& field) {
    return field.DataType() == FieldType::Memo ? 10 : field.Size();
}

int GridColumns::defaultWidth(const Field* field, const QFont& font, const QFont& titleFont) {
    if (field == nullptr) {
        return NoFieldWidth;
    }
    const QFontMetrics metrics(font);
    // An upright font has no overhang; a slanted one runs over by what its "0" leans out.
    const int overhang = font.italic() ? std::max(0, -metrics.rightBearing(QLatin1Char('0'))) : 0;
    const int zero = metrics.horizontalAdvance(QLatin1Char('0'));
    const int width = displayWidth(*field) * (zero - overhang) + overhang + 4;
    const int titleWidth =
        QFontMetrics(titleFont).horizontalAdvance(QString::fromStdString(field->FieldName())) + 4;
    return std::max(width, titleWidth);
}

void GridColumns::rebuild(const RecordSet* set, const QFont& font, const QFont& titleFont) {
    std::vector<GridColumn> columns;
    if (set == nullptr || !set->Active() || set->FieldCount() == 0) {
        columns.push_back(GridColumn{nullptr, QString(), NoFieldWidth});
    } else {
        for (int index = 0; index < set->FieldCount(); ++index) {
            Field& field = set->Fields(index);
            GridColumn column{&field, QString::fromStdString(field.FieldName()),
                              defaultWidth(&field, font, titleFont)};
            for (const GridColumn& previous : columns_) {
                if (previous.field == &field) {
                    column.width = previous.width;
                }
            }
            columns.push_back(column);
        }
    }
    columns_ = std::move(columns);
}

void GridColumns::setWidth(int index, int width) {
    columns_.at(static_cast<std::size_t>(index)).width = std::max(0, width);
}

int GridColumns::offset(int index) const {
    int offset = 0;
    for (int column = 0; column < index && column < count(); ++column) {
        offset += at(column).width + 1;
    }
    return offset;
}

std::vector<int> GridColumns::showing(const Field& field) const {
    std::vector<int> indexes;
    for (int index = 0; index < count(); ++index) {
        if (at(index).field == &field) {
            indexes.push_back(index);
        }
    }
    return indexes;
}

}  // namespace quorvel::ui
