// Runs the real qvtool executable as a process, as a user would, and collects what it said.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::testing {

struct QvtoolRun {
    int exitCode = -1;  // -1 when it didn't exit normally (a signal)
    std::string out;
    std::string err;
};

// Sanitizer reports are made to exit with a status of their own (86), so that a crash can't
// pass for qvtool's own failure status 1.
// fileSizeLimit, when given, is the process's RLIMIT_FSIZE in bytes: a disk that fills up.
QvtoolRun runQvtool(const std::vector<std::string>& arguments,
                    std::optional<std::uint64_t> fileSizeLimit = std::nullopt);

// Runs qvtool with stdout and stderr on a terminal (a pseudo-terminal) and gives what it showed
// there, both streams together in out.
QvtoolRun runQvtoolOnTerminal(const std::vector<std::string>& arguments);

}  // namespace quorvel::testing
