// Dragging in the grid's title row: a column's right line, which resizes the column as the
// mouse goes, or a title, which moves its column (with its field) to the gap it is let go at.
// A title dragged near either side of the grid scrolls it that way.
#pragma once

#include <QTimer>

#include <functional>
#include <optional>

class QAbstractScrollArea;

namespace quorvel::ui {

class GridColumns;
struct GridGeometry;

class GridTitleDrag {
  public:
    // area is the grid; resized is called after each change of a column's width.
    GridTitleDrag(QAbstractScrollArea& area, GridColumns& columns, const GridGeometry& geometry,
                  std::function<void()> resized);

    bool active() const { return kind_ != Kind::None; }
    // A left press in the title row at x; open tells whether the grid shows a result.
    void press(int x, bool open);
    // The mouse at x, a button held or not: resizes, or follows the moved title.
    void moveTo(int x);
    // The button let go. A title moved far enough gives where its column goes: (from, to).
    struct Drop {
        int from = 0;
        int to = 0;
    };
    std::optional<Drop> release();
    // While a title is moved: the x of the marker showing where it would go.
    std::optional<int> markerX() const;

  private:
    enum class Kind { None, Resize, Move };
    // The gap nearest to x between two columns, 0 before the first, count after the last.
    int dropIndex(int x) const;
    void autoScrollStep();
    bool nearSide(int x) const;

    QAbstractScrollArea& area_;
    GridColumns& columns_;
    const GridGeometry& geometry_;
    std::function<void()> resized_;
    Kind kind_ = Kind::None;
    int column_ = -1;
    int startX_ = 0;
    int x_ = 0;
    bool moved_ = false;
    QTimer autoScroll_;
};

}  // namespace quorvel::ui
