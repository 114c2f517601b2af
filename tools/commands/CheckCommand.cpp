// qvtool check DIR: the two files checked without a change.
#include "commands/CommandLine.h"

#include <iostream>

#include "check/CatalogueCheck.h"

namespace quorvel::tools {

// Only reads: the findings go to stdout, a sentence each; the status tells whether there were any.
int checkCommand(const Arguments& arguments) {
    requireOperands(arguments, 1, 1, "check DIR");
    const std::filesystem::path directory = arguments[1];
    requireDirectory(directory);
    check::CatalogueCheck check(directory);
    TerminalProgress progress("qvtool: checking " + directory.string() + ":", check.work());
    const std::vector<check::CheckFinding> findings =
        check.run([&progress](std::uint64_t done) { progress.advance(done); });
    progress.finish();
    for (const check::CheckFinding& finding : findings) {
        std::cout << finding.sentence << '\n';
    }
    if (findings.empty()) {
        std::cout << "The catalogue in " << directory.string() << " is sound.\n";
        return exitDone;
    }
    std::cout << "The catalogue in " << directory.string()
              << " is damaged or inconsistent: " << findings.size()
              << (findings.size() == 1 ? " finding" : " findings") << ".\n";
    return exitFailed;
}

}  // namespace quorvel::tools
