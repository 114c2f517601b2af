// qvtool backup: the catalogue's two files written as NAME.db and NAME.mb by the program's own
// export (CatalogueExport), so a backup taken from a timer is the same as one taken from the
// menu: one committed version of the pair under the engine's read lock, beside a running copy
// of the program. Unlike the menu it never overwrites: both names are claimed (O_EXCL) before
// anything is copied, and a backup that fails leaves nothing under NAME. Both files and the
// directory are synced before it counts as written.
#pragma once

#include <cstdint>
#include <filesystem>

#include "export/CatalogueExport.h"

namespace quorvel::tools {

// Writes the backup of the catalogue in directory under base; the bytes written. Throws
// std::runtime_error with the text to show (or EDBEngineError when the catalogue can't be
// opened); nothing is then left under base.
std::uint64_t writeBackup(const std::filesystem::path& directory, const std::filesystem::path& base,
                          const CopyProgress& progress);

}  // namespace quorvel::tools
