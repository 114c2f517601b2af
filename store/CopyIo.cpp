#include "CopyIo.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "CopySource.h"

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

bool CopyIo::remove(const std::filesystem::path& path) {
    return ::unlink(path.c_str()) == 0;
}

}  // namespace quorvel
