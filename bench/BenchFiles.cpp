#include "BenchFiles.h"

#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <stdexcept>
#include <system_error>

extern char** environ;

namespace quorvel::bench {

ScratchDirectory::ScratchDirectory(const std::string& benchmark) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / ("qvbench-" + benchmark + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("can't make a temporary directory");
    }
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void runCp(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"cp"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawnp(&pid, "cp", nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw std::runtime_error("cp failed");
    }
}

}  // namespace quorvel::bench
