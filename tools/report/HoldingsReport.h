// qvtool holdings: the holdings of a catalogue as text for a terminal, as a want list, as CSV,
// and as the page.
// The text has a heading per title and aligned columns Rok, Máme, Chybí, Vícekrát, then the
// texts of Cislo that don't read. The CSV has one line per title and year, in the dialect of
// qvtool export, with the header Vytisk,Rok,Mame,Chybi,Vicekrat,Jine; the numbers as ranges,
// and a title's texts that don't read on a line of its own with an empty Rok, joined by "; ".
#pragma once

#include <filesystem>
#include <ostream>
#include <string_view>
#include <vector>

#include "holdings/Holdings.h"

namespace quorvel::tools {

void writeHoldingsText(std::ostream& out, const std::vector<TitleHoldings>& titles,
                       std::string_view catalogue);
// The want list to print or send: a line for each title and year that misses a number,
// "Vesmír 1997: 2, 5–7, 11", titles in Czech order; nothing for a title that misses nothing.
void writeWantList(std::ostream& out, const std::vector<TitleHoldings>& titles);
// These write new files, never replacing one (CsvTargetFile); throw std::runtime_error.
void writeHoldingsCsv(const std::filesystem::path& target,
                      const std::vector<TitleHoldings>& titles);
// The page to target; for a large catalogue, the index there and its parts beside it
// (writeHoldingsPages), all new files, or none when one fails. Returns how many were written.
std::size_t writeHoldingsPages(const std::filesystem::path& target,
                               const std::vector<TitleHoldings>& titles,
                               std::string_view catalogue);

}  // namespace quorvel::tools
