// The holdings as one self-contained HTML page: its styles inside, no script, nothing loaded
// from elsewhere. An index of the periodicals leads to a chart for each one, years as rows and
// numbers as columns: an issue held is a filled cell, one missing a red hatched cell (the hatch
// shows in black and white too), and one held more than once a dark cell with the count in it.
// Each cell's title says what it is; under each chart, the want list. Charts off screen are
// laid out only when scrolled to, so a thousand periodicals over fifty years stay usable.
// Printed on A4, each chart keeps to one page where it fits, a weekly's 53 columns fit the
// width in cells of one size, and colours print.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "holdings/Holdings.h"

namespace quorvel {

// catalogue: where the catalogue lies, named under the heading.
std::string holdingsPage(const std::vector<TitleHoldings>& titles, std::string_view catalogue);

}  // namespace quorvel
