#include "grid/GridTitleDrag.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

#include <cstdlib>
#include <utility>

#include "grid/GridColumns.h"
#include "grid/GridGeometry.h"

namespace quorvel::ui {

namespace {

constexpr int autoScrollIntervalMs = 60;
constexpr int moveThreshold = 4;  // pixels a title must be dragged before it moves
constexpr int sideBand = 8;       // pixels inside the right side that scroll a moved title

}  // namespace

GridTitleDrag::GridTitleDrag(QAbstractScrollArea& area, GridColumns& columns,
                             const GridGeometry& geometry, std::function<void()> resized)
    : area_(area), columns_(columns), geometry_(geometry), resized_(std::move(resized)) {
    autoScroll_.setInterval(autoScrollIntervalMs);
    QObject::connect(&autoScroll_, &QTimer::timeout, &area, [this] { autoScrollStep(); });
}

void GridTitleDrag::press(int x, bool open) {
    const int zone = geometry_.resizeZoneAt(columns_, x);
    const int column = geometry_.columnAt(columns_, x);
    startX_ = x_ = x;
    moved_ = false;
    if (zone >= 0 && open) {
        kind_ = Kind::Resize;
        column_ = zone;
    } else if (column >= 0 && column < columns_.count() && open) {
        kind_ = Kind::Move;
        column_ = column;
    }
}

bool GridTitleDrag::nearSide(int x) const {
    return x < geometry_.dataLeft() || x >= area_.viewport()->width() - sideBand;
}

void GridTitleDrag::moveTo(int x) {
    x_ = x;
    if (kind_ == Kind::Resize) {
        const int left = geometry_.titleCell(columns_, column_).left();
        columns_.setWidth(column_, x_ - left);
        resized_();
        area_.viewport()->update();
        return;
    }
    if (!moved_ && std::abs(x_ - startX_) < moveThreshold) {
        return;
    }
    moved_ = true;
    if (nearSide(x_) && !autoScroll_.isActive()) {
        autoScroll_.start();
    } else if (!nearSide(x_)) {
        autoScroll_.stop();
    }
    area_.viewport()->update();
}

void GridTitleDrag::autoScrollStep() {
    QScrollBar* bar = area_.horizontalScrollBar();
    if (x_ < geometry_.dataLeft()) {
        bar->setValue(bar->value() - bar->singleStep());
    } else if (x_ >= area_.viewport()->width() - sideBand) {
        bar->setValue(bar->value() + bar->singleStep());
    }
}

int GridTitleDrag::dropIndex(int x) const {
    const int inData = x - geometry_.dataLeft() + geometry_.hOffset;
    int best = 0;
    for (int gap = 1; gap <= columns_.count(); ++gap) {
        if (std::abs(columns_.offset(gap) - inData) < std::abs(columns_.offset(best) - inData)) {
            best = gap;
        }
    }
    return best;
}

std::optional<int> GridTitleDrag::markerX() const {
    if (kind_ != Kind::Move || !moved_) {
        return std::nullopt;
    }
    return geometry_.dataLeft() + columns_.offset(dropIndex(x_)) - 1 - geometry_.hOffset;
}

std::optional<GridTitleDrag::Drop> GridTitleDrag::release() {
    autoScroll_.stop();
    const Kind kind = std::exchange(kind_, Kind::None);
    if (kind != Kind::Move || !moved_) {
        return std::nullopt;
    }
    int target = dropIndex(x_);
    if (target > column_) {
        --target;  // the column leaves its own place first
    }
    return Drop{column_, target};
}

}  // namespace quorvel::ui
