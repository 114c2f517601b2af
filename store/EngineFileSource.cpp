#include "EngineFileSource.h"

#include <algorithm>
#include <string>

#include "CopyIo.h"

namespace quorvel {

EngineFileSource::EngineFileSource(sqlite3_file* file) : file_(file) {
    sqlite3_int64 size = 0;
    if (file_ == nullptr || file_->pMethods == nullptr ||
        file_->pMethods->xFileSize(file_, &size) != SQLITE_OK || size < 0) {
        throw CopyFailure("the engine can't tell the file's size");
    }
    size_ = static_cast<std::uint64_t>(size);
}

std::size_t EngineFileSource::readAt(std::uint64_t offset, std::span<std::byte> buffer) {
    if (offset >= size_) {
        return 0;
    }
    // SQLite's reads take an int count; the size was fixed when the shared lock was taken, and
    // under that lock the file can't shrink, so a short read is an error like any other.
    const std::size_t count = static_cast<std::size_t>(
        std::min<std::uint64_t>({buffer.size(), size_ - offset, std::uint64_t{1} << 30}));
    const int rc = file_->pMethods->xRead(file_, buffer.data(), static_cast<int>(count),
                                          static_cast<sqlite3_int64>(offset));
    if (rc != SQLITE_OK) {
        throw CopyFailure("read: " + std::string(sqlite3_errstr(rc)));
    }
    return count;
}

}  // namespace quorvel
