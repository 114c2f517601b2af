// qvtool import --dry-run: what importing a CSV file would do, told without doing it. The file is
// read through the import's own CsvIssueReader and every row checked by the import's own rules,
// so the report can't differ from what the import would do with the file. The catalogue isn't
// opened at all: nothing of it can change.
#pragma once

#include <filesystem>
#include <ostream>

#include "lists/CsvIssueReader.h"

namespace quorvel::tools {

// Writes to out the form the file is read in, which column fills which field, the first rows as
// they would be stored, every row that would be refused with its line and the reason, and the
// count. Returns whether the import would add the rows: false when it would refuse one. Throws
// as CsvIssueReader does when the file's form can't be told or its header is refused.
bool dryRunImport(const std::filesystem::path& csv, const CsvReadOptions& options,
                  std::ostream& out);

}  // namespace quorvel::tools
