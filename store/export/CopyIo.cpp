#include "export/CopyIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "export/CopySource.h"

namespace quorvel {

std::size_t CopyIo::read(CopySource& source, std::uint64_t offset, std::span<std::byte> buffer) {
    return source.readAt(offset, buffer);
}

std::size_t CopyIo::write(int target, std::span<const std::byte> bytes) {
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(target, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw CopyFailure(std::string("write: ") + std::strerror(errno));
        }
        if (n == 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    return written;
}

std::optional<std::size_t> CopyIo::copyRange(CopySource& source, std::uint64_t offset, int target,
                                             std::size_t count) {
    const int fd = source.descriptor();
    if (fd < 0) {
        return std::nullopt;
    }
    // The source's offset is given, so the descriptor's own position, which its owner may rely
    // on, doesn't move.
    off_t from = static_cast<off_t>(offset);
    for (;;) {
        const ssize_t n = ::copy_file_range(fd, &from, target, nullptr, count, 0);
        if (n >= 0) {
            return static_cast<std::size_t>(n);
        }
        switch (errno) {
            case EINTR:
                continue;
            case EXDEV:
            case EINVAL:
            case ENOSYS:
            case EOPNOTSUPP:
            case EBADF:
                return std::nullopt;
            default:
                throw CopyFailure(std::string("copy_file_range: ") + std::strerror(errno));
        }
    }
}

bool CopyIo::remove(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace quorvel
