// What qvtool's commands share: its exit codes, wrong usage told apart from a failure, and the
// reading of operands and options. Each command is a function of the whole argument list
// (the command's name first) returning the exit code; a failure throws, for main to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "commands/Progress.h"

namespace quorvel::tools {

enum ExitCode { exitDone = 0, exitFailed = 1, exitUsage = 2, exitRepairedWithLosses = 3 };

// Wrong usage: main prints the problem and points to --help.
struct UsageError {
    std::string problem;
};

using Arguments = std::vector<std::string>;

// A whole decimal number of digits only (no sign, no spaces); nullopt otherwise or when it
// doesn't fit.
std::optional<std::uint64_t> parseNumber(const std::string& text);

// Throws UsageError with form unless the command has from least to most operands.
void requireOperands(const Arguments& arguments, std::size_t least, std::size_t most,
                     const char* form);

// The options after a command's operands, from arguments[first] on, each given at most once: a
// flag stands alone, any other option takes the argument after it as its value (a flag's value
// is empty). Anything else is wrong usage.
std::map<std::string, std::string> readOptions(const Arguments& arguments, std::size_t first,
                                               const std::set<std::string>& flags,
                                               const std::set<std::string>& valued,
                                               const char* form);

// A missing directory is a failure rather than something to create: a mistyped path should
// not quietly get a catalogue of its own.
void requireDirectory(const std::filesystem::path& directory);

// Whatever qvtool wrote must open as the program opens it.
void checkOpens(const std::filesystem::path& directory);

// A progress line only where someone watches it: on a terminal, not in a log or a pipe; there
// every call does nothing. The total is given at the start, or with the first advance when only
// the work knows it.
class TerminalProgress {
  public:
    explicit TerminalProgress(std::string label);
    TerminalProgress(std::string label, std::uint64_t total);

    void advance(std::uint64_t done);
    void advance(std::uint64_t done, std::uint64_t total);
    void finish();

  private:
    void start(std::uint64_t total);

    std::string label_;
    bool watched_;
    std::unique_ptr<Progress> line_;
};

// Tells each step of a long work ("qvtool: STEP...") where someone watches: on a terminal.
std::function<void(const std::string& step)> terminalSteps();

// The commands, each in a file of its own.
int importCommand(const Arguments& arguments);
int exportCommand(const Arguments& arguments);
int checkCommand(const Arguments& arguments);
int repairCommand(const Arguments& arguments);
int backupCommand(const Arguments& arguments);
int restoreCommand(const Arguments& arguments);
int holdingsCommand(const Arguments& arguments);
// create, demo and generate: a new catalogue in an existing directory.
int makeCommand(const Arguments& arguments);

}  // namespace quorvel::tools
