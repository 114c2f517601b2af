// qvtool repair DIR: a damaged catalogue mended, the files as they were kept beside it.
#include "commands/CommandLine.h"

#include <algorithm>
#include <iostream>

#include "repair/CatalogueRepair.h"
#include "report/RepairReportText.h"

namespace quorvel::tools {

// The report goes to stdout; the status tells whether the catalogue is sound at the end.
int repairCommand(const Arguments& arguments) {
    requireOperands(arguments, 1, 1, "repair DIR");
    const std::filesystem::path directory = arguments[1];
    requireDirectory(directory);
    repair::CatalogueRepair repair(directory);
    const repair::RepairReport report = repair.run(terminalSteps());
    std::cout << repairReportText(report, directory);
    const bool unmended =
        std::any_of(report.remaining.begin(), report.remaining.end(),
                    [](const check::CheckFinding& finding) { return finding.mendable; });
    if (unmended) {
        return exitFailed;
    }
    return report.lostSomething() ? exitRepairedWithLosses : exitDone;
}

}  // namespace quorvel::tools
