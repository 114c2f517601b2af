#include "grid/GridRowMoves.h"

#include "recordset/RecordSet.h"

namespace quorvel::ui {

void runRowMove(RecordSet& set, GridMove move, int currentLine, int lines) {
    const bool untouchedNewRow = set.State() == DataSetState::Insert && !set.Modified();
    switch (move) {
        case GridMove::PriorRow:
        case GridMove::TabPrior:
            if (untouchedNewRow && set.IsLast()) {
                set.Cancel();
            } else {
                set.MoveBy(-1);
            }
            break;
        case GridMove::NextRow:
        case GridMove::TabNext:
            // The grid never adds a row: at the end of the result nothing happens.
            if (set.IsLast()) {
                break;
            }
            if (untouchedNewRow) {
                set.Cancel();
            } else {
                set.MoveBy(1);
            }
            break;
        case GridMove::PriorPage:
            set.MoveBy(-lines);
            break;
        case GridMove::NextPage:
            set.MoveBy(lines);
            break;
        case GridMove::FirstLine:
            set.MoveBy(-currentLine);
            break;
        case GridMove::LastLine:
            set.MoveBy(lines - 1 - currentLine);
            break;
        case GridMove::FirstRow:
            set.First();
            break;
        case GridMove::LastRow:
            set.Last();
            break;
        default:
            break;
    }
}

}  // namespace quorvel::ui
