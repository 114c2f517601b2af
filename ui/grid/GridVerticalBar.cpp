#include "grid/GridVerticalBar.h"

#include <QScrollBar>

#include <algorithm>

#include "recordset/RecordSet.h"

namespace quorvel::ui {

namespace {

// How soon the bar takes its numbered form after a search's count arrives.
constexpr int countPollIntervalMs = 50;

// The unnumbered form's places.
constexpr int firstPlace = 0;
constexpr int pageBeforePlace = 1;
constexpr int betweenPlace = 2;
constexpr int pageAfterPlace = 3;
constexpr int lastPlace = 4;

}  // namespace

GridVerticalBar::GridVerticalBar(QScrollBar* bar, const std::function<void()>& poll) : bar_(bar) {
    countPoll_.setInterval(countPollIntervalMs);
    QObject::connect(&countPoll_, &QTimer::timeout, bar, poll);
}

void GridVerticalBar::show(const RecordSet* set, int lines) {
    if (set == nullptr || !set->Active()) {
        countPoll_.stop();
        bar_->setRange(0, 0);
        bar_->setEnabled(false);
        return;
    }
    bar_->setEnabled(true);
    // Polled rather than called from the count's thread: the set changes only on this thread,
    // between two handlers, and a count lasts seconds at most.
    if (!set->NumbersRows() && set->CountRunning()) {
        if (!countPoll_.isActive()) {
            countPoll_.start();
        }
    } else {
        countPoll_.stop();
    }
    if (set->NumbersRows()) {
        // The bar's document is N + L - 1 rows long, L of them on a page: Qt counts the page
        // apart from the range, so the positions run from 1 to N.
        const auto rows = static_cast<int>(std::min<std::int64_t>(set->RecordCount(), 1 << 30));
        bar_->setRange(1, std::max(1, rows));
        bar_->setPageStep(std::max(1, lines));
        bar_->setSingleStep(1);
        if (set->State() != DataSetState::Insert) {
            bar_->setValue(static_cast<int>(set->RecNo()));
        }
    } else {
        bar_->setRange(firstPlace, lastPlace);
        bar_->setPageStep(0);
        bar_->setSingleStep(1);
        bar_->setValue(set->IsFirst() ? firstPlace : set->IsLast() ? lastPlace : betweenPlace);
    }
}

void GridVerticalBar::pollCount(RecordSet* set, int lines) {
    if (set == nullptr || !set->Active() || !set->CountRunning()) {
        show(set, lines);
        return;
    }
    if (bar_->isSliderDown()) {
        return;  // the bar changes its form when the thumb is let go
    }
    if (!set->CheckCount() && !set->CountRunning()) {
        show(set, lines);  // the count failed: the bar keeps its unnumbered form
    }
}

void GridVerticalBar::runAction(RecordSet& set, int action, int currentLine, int shownLines,
                                int lines) {
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            set.MoveBy(-(currentLine + 1));
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            set.MoveBy(shownLines - currentLine);
            break;
        case QAbstractSlider::SliderPageStepSub:
            set.MoveBy(-lines);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            set.MoveBy(lines);
            break;
        case QAbstractSlider::SliderToMinimum:
            set.First();
            break;
        case QAbstractSlider::SliderToMaximum:
            set.Last();
            break;
        default:
            break;
    }
}

void GridVerticalBar::runRelease(RecordSet& set, int position, int lines) {
    if (set.NumbersRows()) {
        if (position <= 1) {
            set.First();
        } else if (position >= set.RecordCount()) {
            set.Last();
        } else {
            set.MoveToRecNo(position);
        }
        return;
    }
    switch (position) {
        case firstPlace:
            set.First();
            break;
        case pageBeforePlace:
            set.MoveBy(-lines);
            break;
        case pageAfterPlace:
            set.MoveBy(lines);
            break;
        case lastPlace:
            set.Last();
            break;
        default:
            break;
    }
}

}  // namespace quorvel::ui
