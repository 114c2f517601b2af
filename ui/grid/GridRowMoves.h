// What the grid's row keys do to its record set: a row, a page, a line of the grid or an end of
// the result. The grid never adds a row, and a new row left untouched is dropped, not posted,
// when a row key moves off it.
#pragma once

#include "grid/GridKeyTable.h"

namespace quorvel {
class RecordSet;
}  // namespace quorvel

namespace quorvel::ui {

// currentLine: the current row's line in the grid; lines: the data lines that fit.
void runRowMove(RecordSet& set, GridMove move, int currentLine, int lines);

}  // namespace quorvel::ui
