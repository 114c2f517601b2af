// The demo catalogue: fifty issues of Czech periodicals, written by hand, for trying the
// program out. It holds what a real catalogue holds: Czech text with diacritics, memos of
// several lines (CR LF from an older catalogue, LF from a newer one), a few issues without a
// memo, a number or interesting parts, and one title of exactly the 50 characters the title
// field takes.
#pragma once

#include <filesystem>
#include <vector>

#include "catalogues/CatalogueIssue.h"

namespace quorvel::tools {

// The demo's issues, in the order they are written.
const std::vector<CatalogueIssue>& demoIssues();

// Makes a new catalogue in directory and writes the demo's issues into it through the engine,
// so each is checked against the field sizes as the program would check it. Refuses, touching
// nothing, when either file exists; removes what it made when it fails. Throws EDBEngineError.
void writeDemoCatalogue(const std::filesystem::path& directory);

}  // namespace quorvel::tools
