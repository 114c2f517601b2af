#include "commands/CatalogueBackup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "engine/Engine.h"

namespace quorvel::tools {

namespace {

// The two target names, claimed for this backup: created empty and exclusively, so that no
// file that was there is ever written over; removed again unless the backup is kept.
class ClaimedTargets {
  public:
    explicit ClaimedTargets(const std::filesystem::path& base)
        : files_{base.string() + ".db", base.string() + ".mb"} {
        for (const std::filesystem::path& file : files_) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd < 0) {
                const int error = errno;
                release();
                if (error == EEXIST) {
                    throw std::runtime_error(file.string() +
                                             " exists; a backup never overwrites a file. Choose "
                                             "another NAME or move the old backup away.");
                }
                throw std::runtime_error(file.string() +
                                         ": can't be created: " + std::strerror(error) + ".");
            }
            ::close(fd);
            claimed_.push_back(file);
        }
    }
    ~ClaimedTargets() {
        if (!kept_) {
            release();
        }
    }
    ClaimedTargets(const ClaimedTargets&) = delete;
    ClaimedTargets& operator=(const ClaimedTargets&) = delete;

    // Writes both files and their directory to the disk; throws std::runtime_error.
    void sync() const {
        std::vector<std::filesystem::path> paths(std::begin(files_), std::end(files_));
        paths.push_back(std::filesystem::absolute(files_[0]).parent_path());
        for (const std::filesystem::path& path : paths) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::fsync(fd) != 0) {
                const int error = errno;
                if (fd >= 0) {
                    ::close(fd);
                }
                throw std::runtime_error(
                    path.string() + ": can't be synced to the disk: " + std::strerror(error) + ".");
            }
            ::close(fd);
        }
    }
    void keep() { kept_ = true; }

  private:
    void release() {
        std::error_code ignored;
        for (const std::filesystem::path& file : claimed_) {
            std::filesystem::remove(file, ignored);
        }
        claimed_.clear();
    }

    std::filesystem::path files_[2];
    std::vector<std::filesystem::path> claimed_;
    bool kept_ = false;
};

}  // namespace

std::uint64_t writeBackup(const std::filesystem::path& directory, const std::filesystem::path& base,
                          const CopyProgress& progress) {
    ClaimedTargets targets(base);
    Engine engine(directory);
    CatalogueExport copy(engine.database());
    const std::vector<std::string> messages = copy.run(directory.string(), base.string(), progress);
    if (!messages.empty()) {
        std::string text = "the backup failed (";
        for (std::size_t i = 0; i < messages.size(); ++i) {
            text += (i > 0 ? " " : "") + messages[i];
        }
        throw std::runtime_error(text + "); nothing was left under " + base.string() + ".");
    }
    targets.sync();
    targets.keep();
    std::error_code ignored;
    return std::filesystem::file_size(base.string() + ".db", ignored) +
           std::filesystem::file_size(base.string() + ".mb", ignored);
}

}  // namespace quorvel::tools
