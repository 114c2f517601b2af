// What qvtool restore tells its user when it is done: where the catalogue's files as they were
// are kept, how the backup was put in place, and the rows and memo texts the restored catalogue
// holds, or what the check finds wrong with it.
#pragma once

#include <filesystem>
#include <string>

#include "restore/CatalogueRestore.h"

namespace quorvel::tools {

std::string restoreReportText(const restore::RestoreReport& report,
                              const std::filesystem::path& base,
                              const std::filesystem::path& directory);

// Whether the restore ended as it should: the check finds nothing and the catalogue holds as
// many rows and memo texts as the backup.
bool restoreSucceeded(const restore::RestoreReport& report);

}  // namespace quorvel::tools
