// The grid's vertical scroll bar, which moves rows, never pixels, in one of two forms. Where the
// result numbers its rows, the bar's positions run from 1 to N and the thumb stands at the
// current row's number: a thumb let go moves to that number. Elsewhere the bar has five places:
// the first row, a page before, somewhere between, a page after, and the last row.
//
// While a search's rows are being counted the bar asks now and then whether the count arrived,
// and takes its numbered form when it has.
#pragma once

#include <QTimer>

#include <functional>

class QScrollBar;

namespace quorvel {
class RecordSet;
}  // namespace quorvel

namespace quorvel::ui {

class GridVerticalBar {
  public:
    // poll is called now and then while a count runs; it calls pollCount.
    GridVerticalBar(QScrollBar* bar, const std::function<void()>& poll);

    // Shows where set's current row is, lines being the grid's data lines; an inactive or
    // missing set disables the bar.
    void show(const RecordSet* set, int lines);
    // Takes the count when it has arrived (the set then tells the grid), or shows the
    // unnumbered form for good when the count failed.
    void pollCount(RecordSet* set, int lines);

    // The move an arrow, or a click beside the thumb, asks of set: a line, a page or an end.
    static void runAction(RecordSet& set, int action, int currentLine, int shownLines, int lines);
    // The move the thumb asks for when it is let go at position.
    static void runRelease(RecordSet& set, int position, int lines);

  private:
    QScrollBar* bar_;
    QTimer countPoll_;
};

}  // namespace quorvel::ui
