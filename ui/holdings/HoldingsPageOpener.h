// "Přehled sbírky": the holdings page of the whole catalogue, written to a new file in the
// temporary directory and opened in the desktop's browser, as the about window opens its link.
// The file stays when the program ends: the browser may read it later than we could tell.
#pragma once

#include <QString>

#include <filesystem>

namespace quorvel {
class Database;
}  // namespace quorvel

namespace quorvel::ui {

// Reads the catalogue through database (EDBEngineError when it can't be read) and opens the
// page. Returns what failed after the reading, in the user's words; empty when the browser was
// asked to show the page.
QString openHoldingsPage(Database& database, const std::filesystem::path& catalogue);

}  // namespace quorvel::ui
