#include "export/EngineFileSource.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "export/CopyIo.h"

namespace quorvel {

namespace {

// A descriptor this process holds open for reading on the file (device, inode); -1 if none.
// Only the listing of /proc/self/fd is opened and closed here, never the file.
int openDescriptorOf(dev_t device, ino_t inode) {
    DIR* listing = ::opendir("/proc/self/fd");
    if (listing == nullptr) {
        return -1;
    }
    int found = -1;
    while (const dirent* entry = ::readdir(listing)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == ::dirfd(listing)) {
            continue;
        }
        struct stat info {};
        const int descriptor = static_cast<int>(fd);
        if (::fstat(descriptor, &info) == 0 && info.st_dev == device && info.st_ino == inode &&
            S_ISREG(info.st_mode) && (::fcntl(descriptor, F_GETFL) & O_ACCMODE) != O_WRONLY) {
            found = descriptor;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

}  // namespace

EngineFileSource::EngineFileSource(sqlite3_file* file, dev_t device, ino_t inode)
    : file_(file), descriptor_(openDescriptorOf(device, inode)) {
    sqlite3_int64 size = 0;
    if (file_ == nullptr || file_->pMethods == nullptr ||
        file_->pMethods->xFileSize(file_, &size) != SQLITE_OK || size < 0) {
        throw CopyFailure("the engine can't tell the file's size");
    }
    size_ = static_cast<std::uint64_t>(size);
    // Read once from start to end: a longer read-ahead for the copy, the engine's usual one
    // again when it is done (the hint belongs to the descriptor the engine reads through too).
    if (descriptor_ >= 0) {
        ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

EngineFileSource::~EngineFileSource() {
    if (descriptor_ >= 0) {
        ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_NORMAL);
    }
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
