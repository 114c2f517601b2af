// The holdings as one self-contained HTML page: its styles inside, no script, nothing loaded
// from elsewhere. An index of the periodicals leads to a chart for each one, years as rows and
// numbers as columns: an issue held is a filled cell, one missing a red hatched cell (the hatch
// shows in black and white too), and one held more than once a dark cell with the count in it.
// Each cell's title says what it is; under each chart, the want list. Charts off screen are
// laid out only when scrolled to, so a thousand periodicals over fifty years stay usable.
// Printed on A4, each chart keeps to one page where it fits, a weekly's 53 columns fit the
// width in cells of one size, and colours print.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "holdings/Holdings.h"

namespace quorvel {

// Above this many cells in all its charts, the holdings are split into pages: a page of that
// size is about 9 MB, which headless Chromium draws in a second or two more than an empty one.
inline constexpr std::size_t cellsPerPage = 250000;

// The holdings as one page. catalogue: where the catalogue lies, named under the heading.
std::string holdingsPage(const std::vector<TitleHoldings>& titles, std::string_view catalogue);

// The file name of a page: first for the first (0); for the parts after it, first without
// its extension .html (or .htm) and with -2.html, -3.html, ...
std::string holdingsPageName(std::string_view first, std::size_t part);

// The holdings as pages, each handed to write with its file name (holdingsPageName of first, a
// file name without a folder, as the links between the pages name them) as soon as
// it is made, so that only one is held at a time. Up to cellsPerPage cells in all: the one
// page of holdingsPage. Above: the first page holds the index of every title, leading to the
// parts, and each part the charts of the titles that follow in Czech order, up to cellsPerPage
// cells (a larger title alone), named by their first letters ("část 2 z 9 (Č–F)"). A part links
// back to the index and to its neighbours. Returns how many pages were written; what write
// throws goes through.
std::size_t writeHoldingsPages(
    const std::vector<TitleHoldings>& titles, std::string_view catalogue, std::string_view first,
    const std::function<void(const std::string& name, const std::string& text)>& write);

}  // namespace quorvel
