// Reading a catalogue back the way the program reads it: through the engine, every row of
// "select * from qv" in stored order, memo included; and a few facts only SQLite itself can
// tell (how empty texts are stored, the journal mode).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "catalogues/CatalogueIssue.h"

namespace quorvel::testing {

// Every row, a field without a value read as an empty text. Throws EDBEngineError.
std::vector<tools::CatalogueIssue> readCatalogue(const std::filesystem::path& directory);

// Rows the engine finds with the search statement the main window composes for the field
// (a schema::columns index) and text.
std::int64_t countSearch(const std::filesystem::path& directory, int column,
                         const std::string& text);

// Answers a query of one integer on qv.db with qv.mb attached as mb, straight through SQLite.
std::int64_t sqliteInteger(const std::filesystem::path& directory, const std::string& sql);
std::string sqliteText(const std::filesystem::path& directory, const std::string& sql);

// The names in directory, sorted.
std::vector<std::string> directoryListing(const std::filesystem::path& directory);
std::string fileBytes(const std::filesystem::path& path);

// Characters (code points) of UTF-8 text.
std::size_t characters(const std::string& text);
bool hasNonAscii(const std::string& text);

}  // namespace quorvel::testing
