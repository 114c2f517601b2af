#include "export/PlainFileSource.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "export/CopyIo.h"

namespace quorvel {

namespace {

[[noreturn]] void fail(const char* what) {
    throw CopyFailure(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

PlainFileSource::PlainFileSource(const std::filesystem::path& path)
    : fd_(::open(path.c_str(), O_RDWR | O_CLOEXEC)) {
    if (fd_ < 0) {
        fail("open");
    }
    // Read once from start to end: let the kernel read ahead generously.
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

PlainFileSource::~PlainFileSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::size_t PlainFileSource::readAt(std::uint64_t offset, std::span<std::byte> buffer) {
    for (;;) {
        const ssize_t n = ::pread(fd_, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            fail("read");
        }
    }
}

void PlainFileSource::close() {
    const int fd = fd_;
    fd_ = -1;
    if (fd >= 0 && ::close(fd) != 0) {
        fail("close");
    }
}

}  // namespace quorvel
