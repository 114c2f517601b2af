// The grid's data columns: one per field of the open result, in the record set's field order,
// or one column without a field while the set is inactive. Nothing of them is stored; titles
// and default widths derive from the fields and the grid's fonts.
#pragma once

#include <QFont>
#include <QString>

#include <vector>

namespace quorvel {
class Field;
class RecordSet;
}  // namespace quorvel

namespace quorvel::ui {

struct GridColumn {
    Field* field = nullptr;  // none for the inactive set's column
    QString title;
    int width = 0;  // of the cell, without the line after it
};

class GridColumns {
  public:
    static constexpr int NoFieldWidth = 64;

    // D x (w - o) + o + 4 with D the field's display width, w the width of "0" and o the
    // font's overhang, raised to the title's width plus 4; 64 without a field.
    static int defaultWidth(const Field* field, const QFont& font, const QFont& titleFont);
    // Characters the field is shown with: a string field's size, 10 for a memo.
    static int displayWidth(const Field& field);

    // Columns for set's fields as they now stand (one without a field when set is inactive or
    // null). A column whose field is still shown keeps its width; the others take the default.
    void rebuild(const RecordSet* set, const QFont& font, const QFont& titleFont);

    int count() const { return static_cast<int>(columns_.size()); }
    const GridColumn& at(int index) const { return columns_.at(static_cast<std::size_t>(index)); }
    void setWidth(int index, int width);
    // Left edge of a column's cell from the left edge of the first data column, lines counted.
    int offset(int index) const;
    // All data columns with their lines.
    int totalWidth() const { return offset(count()); }
    // The columns that show field, as indexes.
    std::vector<int> showing(const Field& field) const;

  private:
    std::vector<GridColumn> columns_;
};

}  // namespace quorvel::ui
