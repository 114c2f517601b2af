#include "engine/RowLocks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "EDBEngineError.h"

namespace quorvel {

namespace {

bool setLock(int fd, off_t offset, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    lock.l_pid = 0;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

[[noreturn]] void failLock() {
    const int error = errno;
    throw EDBEngineError(engine_code::ioError, {{engine_code::ioError, 0, std::strerror(error)}});
}

}  // namespace

bool lockCatalogueOpen(int fd, short type) {
    if (setLock(fd, catalogueOpenOffset, type)) {
        return true;
    }
    if (errno == EAGAIN || errno == EACCES) {
        return false;
    }
    failLock();
}

off_t rowLockOffset(std::int64_t id) {
    constexpr std::int64_t first = std::int64_t{1} << 31;
    constexpr std::int64_t span = std::numeric_limits<std::int64_t>::max() - first + 1;
    static_assert(first + (span - 1) == std::numeric_limits<off_t>::max());
    // The remainder is taken on the signed id, so ids within span of each other never meet;
    // the shift keeps row 0 at byte 2^62, where it has always been.
    std::int64_t remainder = id % span;
    if (remainder < 0) {
        remainder += span;
    }
    constexpr std::uint64_t shift = (std::uint64_t{1} << 62) - static_cast<std::uint64_t>(first);
    const std::uint64_t place =
        (static_cast<std::uint64_t>(remainder) + shift) % static_cast<std::uint64_t>(span);
    return static_cast<off_t>(static_cast<std::uint64_t>(first) + place);
}

RowLocks::RowLocks(const std::filesystem::path& rowsFile)
    : fd_(::open(rowsFile.c_str(), O_RDWR | O_CLOEXEC)) {
    if (fd_ < 0 && (errno == EACCES || errno == EROFS)) {
        // A copy that may only read still says the catalogue is open; it locks no row.
        fd_ = ::open(rowsFile.c_str(), O_RDONLY | O_CLOEXEC);
    }
    if (fd_ < 0) {
        const int error = errno;
        const EngineCode code = error == ENOENT                       ? engine_code::tableNotFound
                                : (error == EACCES || error == EROFS) ? engine_code::readOnlyFile
                                                                      : engine_code::ioError;
        throw EDBEngineError(
            code, {{code, 0, std::strerror(error)}, {code, 0, "File: " + rowsFile.string()}});
    }
    if (!lockCatalogueOpen(fd_, F_RDLCK)) {
        ::close(fd_);
        const EngineCode code = engine_code::tableBusy;
        throw EDBEngineError(code, {{code, 0,
                                     "qvtool is repairing or restoring the catalogue; open it "
                                     "again when it has ended."},
                                    {code, 0, "File: " + rowsFile.string()}});
    }
}

RowLocks::~RowLocks() {
    ::close(fd_);
}

bool RowLocks::tryLock(std::int64_t id) {
    if (setLock(fd_, rowLockOffset(id), F_WRLCK)) {
        return true;
    }
    if (errno == EAGAIN || errno == EACCES) {
        return false;
    }
    failLock();
}

void RowLocks::unlock(std::int64_t id) {
    setLock(fd_, rowLockOffset(id), F_UNLCK);
}

}  // namespace quorvel
