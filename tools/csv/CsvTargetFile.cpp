#include "csv/CsvTargetFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::tools {

namespace {

// The mode an ordinary new file gets: 0666 less the umask. mkstemp makes 0600.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

CsvTargetFile::CsvTargetFile(std::filesystem::path target) : target_(std::move(target)) {
    struct stat status {};
    if (::lstat(target_.c_str(), &status) == 0) {
        fail(EEXIST);
    }
    const std::filesystem::path name = target_.filename();
    if (name.empty() || name == "." || name == "..") {
        fail(EISDIR);
    }
    std::string hidden = ".";
    hidden += name.string();
    hidden += ".XXXXXX";
    const std::string pattern = (target_.parent_path() / hidden).string();
    std::vector<char> path(pattern.begin(), pattern.end());
    path.push_back('\0');
    fd_ = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd_ < 0) {
        fail(errno);
    }
    temporary_ = path.data();
    if (::fchmod(fd_, newFileMode()) != 0) {
        fail(errno);
    }
}

CsvTargetFile::~CsvTargetFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!committed_ && !temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

void CsvTargetFile::fail(int error) const {
    throw std::runtime_error(target_.string() + ": " + std::strerror(error));
}

void CsvTargetFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::write(fd_, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            fail(wrote < 0 ? errno : ENOSPC);
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
}

void CsvTargetFile::commit() {
    if (::fsync(fd_) != 0) {
        fail(errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        fail(errno);
    }
    // A hard link takes the name only if it is free; the temporary name then goes. Where the
    // file system has no hard links, a rename after a last look has to do.
    if (::link(temporary_.c_str(), target_.c_str()) == 0) {
        committed_ = true;
        ::unlink(temporary_.c_str());
        return;
    }
    const int error = errno;
    struct stat status {};
    if (error == EEXIST || ::lstat(target_.c_str(), &status) == 0) {
        fail(EEXIST);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        fail(errno);
    }
    committed_ = true;
}

}  // namespace quorvel::tools
