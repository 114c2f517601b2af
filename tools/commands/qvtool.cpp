// qvtool: makes catalogues for Quorvel, which never creates one itself: an empty one, the demo,
// or a large generated one for benchmarks; moves rows in and out of one as CSV or workbooks;
// tells its holdings; checks and repairs one; backs one up and restores it. See usageText() for
// the commands; each is in a file of its own.
#include <csignal>
#include <exception>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "EDBEngineError.h"
#include "commands/CommandLine.h"
#include "commands/TerminalSafeOutput.h"
#include "commands/Usage.h"

namespace {

using namespace quorvel::tools;

int run(const Arguments& arguments) {
    const std::string& command = arguments[0];
    if (command == "--help" || command == "-h" || command == "help") {
        requireOperands(arguments, 0, 0, "--help");
        std::cout << usageText();
        return exitDone;
    }
    static const std::pair<const char*, int (*)(const Arguments&)> commands[] = {
        {"import", importCommand},   {"export", exportCommand}, {"holdings", holdingsCommand},
        {"check", checkCommand},     {"repair", repairCommand}, {"backup", backupCommand},
        {"restore", restoreCommand}, {"create", makeCommand},   {"demo", makeCommand},
        {"generate", makeCommand},
    };
    for (const auto& [name, runCommand] : commands) {
        if (command == name) {
            return runCommand(arguments);
        }
    }
    throw UsageError{"unknown command '" + command + "'"};
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file size limit then fails with EFBIG, reported and cleaned up like a
    // full disk, instead of the signal ending the process with a partial file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    const Arguments arguments(argv + 1, argv + argc);
    // Reports quote what files hold; nothing of it may drive the terminal.
    const TerminalSafeOutput safeOut(std::cout);
    const TerminalSafeOutput safeErr(std::cerr);
    if (arguments.empty()) {
        std::cerr << quorvel::tools::usageText();
        return exitUsage;
    }
    try {
        return run(arguments);
    } catch (const UsageError& error) {
        std::cerr << "qvtool: " << error.problem << "\nTry 'qvtool --help'.\n";
        return exitUsage;
    } catch (const quorvel::EDBEngineError& error) {
        // The engine's own message, as the program would show it.
        std::cerr << "qvtool: " << error.message() << '\n';
        return exitFailed;
    } catch (const std::exception& error) {
        std::cerr << "qvtool: " << error.what() << '\n';
        return exitFailed;
    }
}
