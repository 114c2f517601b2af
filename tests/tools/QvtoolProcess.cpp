#include "QvtoolProcess.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "TemporaryDirectory.h"

namespace quorvel::testing {

namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void appendOption(const char* variable, const char* option) {
    const char* current = std::getenv(variable);
    std::string value = current != nullptr && *current != '\0' ? std::string(current) + ":" : "";
    ::setenv(variable, (value + option).c_str(), 1);
}

// In the child, its output already in place: becomes qvtool.
[[noreturn]] void execQvtool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{QVTOOL_PATH};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    appendOption("ASAN_OPTIONS", "exitcode=86");
    appendOption("UBSAN_OPTIONS", "exitcode=86");
    ::execv(pointers[0], pointers.data());
    ::_exit(127);
}

int exitCodeOf(pid_t child) {
    int status = 0;
    if (::waitpid(child, &status, 0) != child) {
        throw std::runtime_error("waitpid failed");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

QvtoolRun runQvtool(const std::vector<std::string>& arguments,
                    std::optional<std::uint64_t> fileSizeLimit) {
    const TemporaryDirectory outputs;
    const std::filesystem::path outPath = outputs.path() / "stdout";
    const std::filesystem::path errPath = outputs.path() / "stderr";
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) {
            ::_exit(127);
        }
        if (fileSizeLimit) {
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                ::_exit(127);
            }
        }
        execQvtool(arguments);
    }
    QvtoolRun run;
    run.exitCode = exitCodeOf(child);
    run.out = readFile(outPath);
    run.err = readFile(errPath);
    return run;
}

QvtoolRun runQvtoolOnTerminal(const std::vector<std::string>& arguments) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child < 0) {
        throw std::runtime_error("forkpty failed");
    }
    if (child == 0) {
        execQvtool(arguments);
    }
    QvtoolRun run;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(terminal, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;  // EIO once the child's side is closed
        }
        run.out.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(terminal);
    run.exitCode = exitCodeOf(child);
    return run;
}

}  // namespace quorvel::testing
