// qvtool restore NAME DIR: a backup checked and put in place of the catalogue, the current files
// kept first.
#include "commands/CommandLine.h"

#include <iostream>
#include <system_error>

#include "report/RestoreReportText.h"
#include "restore/CatalogueRestore.h"

namespace quorvel::tools {

namespace {

// NAME as the user gave it, or without the ".db" or ".mb" they added when only that names a
// backup: "kopie.db" is taken for the backup kopie.
std::filesystem::path backupName(const std::string& given) {
    std::error_code error;
    if (std::filesystem::exists(given + ".db", error) || given.size() < 4) {
        return given;
    }
    const std::string extension = given.substr(given.size() - 3);
    const std::string stripped = given.substr(0, given.size() - 3);
    if ((extension == ".db" || extension == ".mb") &&
        std::filesystem::exists(stripped + ".db", error)) {
        return stripped;
    }
    return given;
}

}  // namespace

// The report goes to stdout; the status tells whether the restored catalogue is sound and whole.
int restoreCommand(const Arguments& arguments) {
    requireOperands(arguments, 2, 2, "restore NAME DIR");
    const std::filesystem::path base = backupName(arguments[1]);
    const std::filesystem::path directory = arguments[2];
    requireDirectory(directory);
    restore::CatalogueRestore restore(base, directory);
    const restore::RestoreReport report = restore.run(terminalSteps());
    std::cout << restoreReportText(report, base, directory);
    return restoreSucceeded(report) ? exitDone : exitFailed;
}

}  // namespace quorvel::tools
