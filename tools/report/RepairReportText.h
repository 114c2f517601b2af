// What qvtool repair tells its user when it is done: what a stopped repair had left, what the
// check found, where the files were kept, what was done with a journal that wasn't the files'
// own, what was mended or what the rebuilt catalogue kept, what it couldn't keep (named by id,
// and by the user's columns, tables, views, indexes and triggers), and whether the check now
// passes.
#pragma once

#include <filesystem>
#include <string>

#include "repair/CatalogueRepair.h"

namespace quorvel::tools {

std::string repairReportText(const repair::RepairReport& report,
                             const std::filesystem::path& directory);

}  // namespace quorvel::tools
