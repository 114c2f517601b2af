#include "files/FileCopy.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace quorvel::files {

namespace {

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

[[noreturn]] void fail(const char* what, const std::filesystem::path& path, int error) {
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(error, std::generic_category()));
}

// Reads up to size bytes; 0 at the end. Returns -1 with errno set on an error.
ssize_t readSome(int fd, char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

}  // namespace

void copySynced(const std::filesystem::path& from, const std::filesystem::path& to) {
    Descriptor source{::open(from.c_str(), O_RDONLY | O_CLOEXEC)};
    if (source.fd < 0) {
        fail("can't be read", from, errno);
    }
    Descriptor target{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)};
    if (target.fd < 0) {
        fail("can't be made", to, errno);
    }
    try {
        std::array<char, 1 << 16> buffer{};
        for (;;) {
            const ssize_t got = readSome(source.fd, buffer.data(), buffer.size());
            if (got < 0) {
                fail("can't be read", from, errno);
            }
            if (got == 0) {
                break;
            }
            for (ssize_t done = 0; done < got;) {
                const ssize_t n =
                    ::write(target.fd, buffer.data() + done, static_cast<std::size_t>(got - done));
                if (n < 0 && errno == EINTR) {
                    continue;
                }
                if (n <= 0) {
                    fail("can't be written", to, n < 0 ? errno : ENOSPC);
                }
                done += n;
            }
        }
        if (::fsync(target.fd) != 0) {
            fail("can't be synced to the disk", to, errno);
        }
        const int closed = ::close(target.fd);
        target.fd = -1;
        if (closed != 0) {
            fail("can't be written", to, errno);
        }
    } catch (...) {
        ::unlink(to.c_str());
        throw;
    }
}

bool sameBytes(const std::filesystem::path& first, const std::filesystem::path& second) {
    Descriptor a{::open(first.c_str(), O_RDONLY | O_CLOEXEC)};
    Descriptor b{::open(second.c_str(), O_RDONLY | O_CLOEXEC)};
    if (a.fd < 0 || b.fd < 0) {
        return false;
    }
    std::array<char, 1 << 16> left{};
    std::array<char, 1 << 16> right{};
    for (;;) {
        const ssize_t got = readSome(a.fd, left.data(), left.size());
        if (got < 0) {
            return false;
        }
        ssize_t have = 0;
        while (have < got) {
            const ssize_t n =
                readSome(b.fd, right.data() + have, static_cast<std::size_t>(got - have));
            if (n <= 0) {
                return false;
            }
            have += n;
        }
        if (got == 0) {
            char extra = 0;
            return readSome(b.fd, &extra, 1) == 0;
        }
        if (!std::equal(left.begin(), left.begin() + got, right.begin())) {
            return false;
        }
    }
}

void syncToDisk(const std::filesystem::path& path) {
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0 || ::fsync(file.fd) != 0) {
        fail("can't be synced to the disk", path, errno);
    }
}

bool isDiskFull(const std::error_code& error) {
    return error.value() == ENOSPC || error.value() == EDQUOT || error.value() == EFBIG;
}

bool lessRoomThan(const std::filesystem::path& directory, std::uintmax_t bytes) {
    struct statvfs room {};
    if (::statvfs(directory.c_str(), &room) == 0 &&
        static_cast<std::uintmax_t>(room.f_bavail) * room.f_frsize < bytes) {
        return true;
    }
    // A file size limit is a full disk to the files this process writes.
    struct rlimit limit {};
    return ::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
           limit.rlim_cur < bytes;
}

std::string reasonOf(const std::filesystem::filesystem_error& failure) {
    const std::string file = failure.path1().empty() ? "" : failure.path1().string() + ": ";
    if (isDiskFull(failure.code())) {
        return file + "the disk is full (" + failure.code().message() + ")";
    }
    return file + failure.code().message();
}

}  // namespace quorvel::files
