// qvtool backup DIR NAME: the catalogue's two files as NAME.db and NAME.mb, never overwriting.
#include "commands/CommandLine.h"

#include <iostream>

#include "commands/CatalogueBackup.h"

namespace quorvel::tools {

int backupCommand(const Arguments& arguments) {
    requireOperands(arguments, 2, 2, "backup DIR NAME");
    const std::filesystem::path directory = arguments[1];
    const std::filesystem::path base = arguments[2];
    requireDirectory(directory);
    TerminalProgress progress("qvtool: backing up " + base.string() + ":");
    const std::uint64_t bytes =
        writeBackup(directory, base, [&progress](std::uint64_t copied, std::uint64_t total) {
            progress.advance(copied, total);
        });
    progress.finish();
    std::cout << "Backed up the catalogue in " << directory.string() << " as " << base.string()
              << ".db and " << base.string() << ".mb (" << bytes << " bytes).\n";
    return exitDone;
}

}  // namespace quorvel::tools
