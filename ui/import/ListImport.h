// "Importovat" of the import's preview: every row of the list added to the catalogue in one
// transaction (CsvImport), or none. It opens a connection of its own, as another copy of the
// program would, and waits for one that is writing as a Save does: the engine's busy wait.
#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>

#include "lists/CsvIssueReader.h"

namespace quorvel {
class Database;
}

namespace quorvel::ui {

struct ListImportResult {
    std::uint64_t added = 0;
    QString failure;  // what failed, in the error box's words; empty when the rows were added
};

// Whether file is one of the catalogue's own two files in directory, by any path. Such a file is
// never read as a list: closing a descriptor of it would drop the engine's locks on it.
bool isCatalogueFile(const std::filesystem::path& file, const std::filesystem::path& directory);

// Reads file with options, as the preview did, into the catalogue in directory, which the
// window has open as catalogue. Nothing is added when it fails.
ListImportResult importList(const std::filesystem::path& file, Database& catalogue,
                            const std::filesystem::path& directory,
                            const tools::CsvReadOptions& options);

}  // namespace quorvel::ui
