// What qvtool repair tells its user when it is done: what the check found, where the files
// were kept, what was mended or how many rows and memo texts the rebuilt catalogue kept, and
// whether the check now passes.
#pragma once

#include <filesystem>
#include <string>

#include "repair/CatalogueRepair.h"

namespace quorvel::tools {

std::string repairReportText(const repair::RepairReport& report,
                             const std::filesystem::path& directory);

}  // namespace quorvel::tools
