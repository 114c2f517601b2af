// What the benchmarks that move files share: a scratch directory removed with everything in
// it, and cp run as the reference they are timed against.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::bench {

class ScratchDirectory {
  public:
    // A new directory in the system's temporary directory, named after the benchmark.
    explicit ScratchDirectory(const std::string& benchmark);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Runs cp with arguments and waits for it; throws std::runtime_error when it fails.
void runCp(const std::vector<std::string>& arguments);

}  // namespace quorvel::bench
