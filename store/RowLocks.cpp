#include "RowLocks.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "EDBEngineError.h"

namespace quorvel {

namespace {

// SQLite locks bytes at 1 GiB; ours start at 2^62, past any file SQLite can make.
constexpr off_t lockBase = off_t{1} << 62;

bool setLock(int fd, std::int64_t id, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = lockBase + id;
    lock.l_len = 1;
    lock.l_pid = 0;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

RowLocks::RowLocks(const std::filesystem::path& rowsFile)
    : fd_(::open(rowsFile.c_str(), O_RDWR | O_CLOEXEC)) {
    if (fd_ < 0) {
        const int error = errno;
        const EngineCode code = error == ENOENT                       ? engine_code::tableNotFound
                                : (error == EACCES || error == EROFS) ? engine_code::readOnlyFile
                                                                      : engine_code::ioError;
        throw EDBEngineError(
            code, {{code, 0, std::strerror(error)}, {code, 0, "File: " + rowsFile.string()}});
    }
}

RowLocks::~RowLocks() {
    ::close(fd_);
}

bool RowLocks::tryLock(std::int64_t id) {
    if (setLock(fd_, id, F_WRLCK)) {
        return true;
    }
    if (errno == EAGAIN || errno == EACCES) {
        return false;
    }
    const int error = errno;
    throw EDBEngineError(engine_code::ioError, {{engine_code::ioError, 0, std::strerror(error)}});
}

void RowLocks::unlock(std::int64_t id) {
    setLock(fd_, id, F_UNLCK);
}

}  // namespace quorvel
