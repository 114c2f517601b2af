#include "FaultVfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <random>
#include <stdexcept>

namespace quorvel::faults {

const char* nameOf(Call kind) {
    switch (kind) {
        case Call::Read:
            return "read";
        case Call::Write:
            return "write";
        case Call::Sync:
            return "sync";
        case Call::Lock:
            return "lock";
        case Call::Delete:
            return "delete";
    }
    return "?";
}

const char* nameOf(Loss loss) {
    switch (loss) {
        case Loss::DropAll:
            return "unsynced writes dropped";
        case Loss::KeepAll:
            return "unsynced writes kept";
        case Loss::Random:
            return "unsynced writes kept, dropped or torn";
    }
    return "?";
}

namespace {

sqlite3_vfs* platform = nullptr;
sqlite3_vfs shim{};

// Our header, then the platform layer's file in the same allocation.
struct ShimFile {
    sqlite3_file base;
    sqlite3_file* real;
    std::string* path;  // empty for a file without a name (SQLite's temporary files)
};
constexpr std::size_t headerSize = (sizeof(ShimFile) + 15) / 16 * 16;

ShimFile* shimOf(sqlite3_file* file) {
    return reinterpret_cast<ShimFile*>(file);
}
sqlite3_file* realOf(sqlite3_file* file) {
    return shimOf(file)->real;
}
FaultVfs& layer() {
    return FaultVfs::instance();
}

int fileClose(sqlite3_file* file) {
    ShimFile* self = shimOf(file);
    const int rc = self->real->pMethods->xClose(self->real);
    delete self->path;
    return rc;
}
int fileRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    if (const int rc = layer().before(Call::Read); rc != SQLITE_OK) {
        return rc;
    }
    return realOf(file)->pMethods->xRead(realOf(file), buffer, amount, offset);
}
int fileWrite(sqlite3_file* file, const void* data, int amount, sqlite3_int64 offset) {
    if (const int rc = layer().before(Call::Write); rc != SQLITE_OK) {
        return rc;
    }
    layer().recordWrite(*shimOf(file)->path, realOf(file), offset, data, amount);
    return realOf(file)->pMethods->xWrite(realOf(file), data, amount, offset);
}
int fileTruncate(sqlite3_file* file, sqlite3_int64 size) {
    if (const int rc = layer().before(Call::Write); rc != SQLITE_OK) {
        return rc;
    }
    layer().recordTruncate(*shimOf(file)->path, realOf(file), size);
    return realOf(file)->pMethods->xTruncate(realOf(file), size);
}
// The layer keeps what a sync makes safe itself, so the disk is spared the real one: the tests
// run through thousands of commits.
int fileSync(sqlite3_file* file, int) {
    if (const int rc = layer().before(Call::Sync); rc != SQLITE_OK) {
        return rc;
    }
    layer().synced(*shimOf(file)->path);
    return SQLITE_OK;
}
int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    return realOf(file)->pMethods->xFileSize(realOf(file), size);
}
int fileLock(sqlite3_file* file, int level) {
    if (const int rc = layer().before(Call::Lock); rc != SQLITE_OK) {
        return rc;
    }
    return realOf(file)->pMethods->xLock(realOf(file), level);
}
// Letting go of a lock touches no disk; it passes even after the power cut.
int fileUnlock(sqlite3_file* file, int level) {
    return realOf(file)->pMethods->xUnlock(realOf(file), level);
}
int fileCheckReservedLock(sqlite3_file* file, int* held) {
    return realOf(file)->pMethods->xCheckReservedLock(realOf(file), held);
}
int fileControl(sqlite3_file* file, int op, void* argument) {
    return realOf(file)->pMethods->xFileControl(realOf(file), op, argument);
}
int fileSectorSize(sqlite3_file* file) {
    return realOf(file)->pMethods->xSectorSize(realOf(file));
}
int fileDeviceCharacteristics(sqlite3_file* file) {
    return realOf(file)->pMethods->xDeviceCharacteristics(realOf(file));
}

// Version 1: no shared memory (never WAL) and no memory mapping, so every read comes here.
const sqlite3_io_methods shimMethods = {
    1,
    fileClose,
    fileRead,
    fileWrite,
    fileTruncate,
    fileSync,
    fileSize,
    fileLock,
    fileUnlock,
    fileCheckReservedLock,
    fileControl,
    fileSectorSize,
    fileDeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    ShimFile* self = shimOf(file);
    self->base.pMethods = nullptr;
    sqlite3_file* inner =
        reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + headerSize);
    inner->pMethods = nullptr;
    const int rc = platform->xOpen(platform, name, inner, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (inner->pMethods != nullptr) {
            inner->pMethods->xClose(inner);
        }
        return rc;
    }
    self->real = inner;
    self->path = new std::string(name != nullptr ? name : "");
    self->base.pMethods = &shimMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDirectory) {
    if (const int rc = layer().before(Call::Delete); rc != SQLITE_OK) {
        return rc;
    }
    const int rc = platform->xDelete(platform, name, 0);
    if (rc != SQLITE_OK) {
        return rc;
    }
    layer().deleted(name);
    if (syncDirectory != 0) {
        // The name is gone already: a failure here is a delete that happened but reports
        // an error, as the platform layer's does when the directory's fsync fails.
        if (const int syncRc = layer().before(Call::Sync); syncRc != SQLITE_OK) {
            return syncRc == SQLITE_IOERR_FSYNC ? SQLITE_IOERR_DIR_FSYNC : syncRc;
        }
    }
    return SQLITE_OK;
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
    return platform->xAccess(platform, name, flags, result);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    return platform->xFullPathname(platform, name, size, out);
}
int vfsRandomness(sqlite3_vfs*, int size, char* out) {
    return platform->xRandomness(platform, size, out);
}
int vfsSleep(sqlite3_vfs*, int microseconds) {
    return platform->xSleep(platform, microseconds);
}
int vfsCurrentTime(sqlite3_vfs*, double* now) {
    return platform->xCurrentTime(platform, now);
}
int vfsGetLastError(sqlite3_vfs*, int size, char* message) {
    return platform->xGetLastError(platform, size, message);
}

void registerShim() {
    platform = sqlite3_vfs_find("unix");
    if (platform == nullptr) {
        throw std::runtime_error("no unix file layer in this SQLite");
    }
    shim.iVersion = 1;
    shim.szOsFile = static_cast<int>(headerSize) + platform->szOsFile;
    shim.mxPathname = platform->mxPathname;
    shim.zName = FaultVfs::name;
    shim.xOpen = vfsOpen;
    shim.xDelete = vfsDelete;
    shim.xAccess = vfsAccess;
    shim.xFullPathname = vfsFullPathname;
    shim.xRandomness = vfsRandomness;
    shim.xSleep = vfsSleep;
    shim.xCurrentTime = vfsCurrentTime;
    shim.xGetLastError = vfsGetLastError;
    sqlite3_vfs_register(&shim, 0);
}

}  // namespace

FaultVfs::FaultVfs() = default;

FaultVfs& FaultVfs::instance() {
    static FaultVfs vfs;
    static std::once_flag registered;
    std::call_once(registered, registerShim);
    return vfs;
}

void FaultVfs::reset() {
    counts_.fill(0);
    writeEvents_ = 0;
    faultAt_ = 0;
    injected_ = 0;
    cutAfter_ = -1;
    unsynced_.clear();
}

void FaultVfs::failAt(Call kind, int n, int rc, bool persistent) {
    faultKind_ = kind;
    faultAt_ = n;
    faultCode_ = rc;
    faultPersists_ = persistent;
}

int FaultVfs::before(Call kind) {
    if (powerIsOff()) {
        return SQLITE_IOERR;
    }
    const int n = ++counts_[static_cast<int>(kind)];
    if (kind == Call::Write || kind == Call::Sync || kind == Call::Delete) {
        ++writeEvents_;
    }
    if (faultAt_ > 0 && kind == faultKind_ && (n == faultAt_ || (faultPersists_ && n > faultAt_))) {
        ++injected_;
        return faultCode_;
    }
    return SQLITE_OK;
}

FaultVfs::FileHistory& FaultVfs::historyOf(const std::string& path, sqlite3_file* real) {
    auto found = unsynced_.find(path);
    if (found == unsynced_.end()) {
        // The first change since the last sync: what the file holds now is on the disk.
        FileHistory history;
        sqlite3_int64 size = 0;
        real->pMethods->xFileSize(real, &size);
        history.synced.resize(static_cast<std::size_t>(size));
        if (size > 0) {
            real->pMethods->xRead(real, history.synced.data(), static_cast<int>(size), 0);
        }
        found = unsynced_.emplace(path, std::move(history)).first;
    }
    return found->second;
}

void FaultVfs::recordWrite(const std::string& path, sqlite3_file* real, std::int64_t offset,
                           const void* data, int amount) {
    if (!path.empty()) {
        historyOf(path, real)
            .changes.push_back(
                {offset,
                 std::string(static_cast<const char*>(data), static_cast<std::size_t>(amount)),
                 false});
    }
}

void FaultVfs::recordTruncate(const std::string& path, sqlite3_file* real, std::int64_t size) {
    if (!path.empty()) {
        historyOf(path, real).changes.push_back({size, {}, true});
    }
}

void FaultVfs::restoreAfterPowerCut(Loss loss, std::uint32_t seed) {
    std::mt19937 random(seed);
    for (const auto& [path, history] : unsynced_) {
        std::string contents = history.synced;
        for (const Change& change : history.changes) {
            // 0 dropped, 1 kept, 2 torn: the first sectors of the write reached the disk.
            const unsigned fate = loss == Loss::DropAll   ? 0
                                  : loss == Loss::KeepAll ? 1
                                                          : random() % 3;
            if (fate == 0) {
                continue;
            }
            if (change.truncate) {
                contents.resize(static_cast<std::size_t>(change.offset));
                continue;
            }
            std::size_t length = change.bytes.size();
            if (fate == 2 && length > 512) {
                length = 512 * (1 + random() % ((length - 1) / 512));
            } else if (fate == 2) {
                length /= 2;
            }
            const auto offset = static_cast<std::size_t>(change.offset);
            if (contents.size() < offset + length) {
                contents.resize(offset + length);
            }
            std::memcpy(contents.data() + offset, change.bytes.data(), length);
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (fd < 0) {
            throw std::runtime_error("can't rewrite " + path);
        }
        const bool written =
            ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size());
        ::close(fd);
        if (!written) {
            throw std::runtime_error("can't rewrite " + path);
        }
    }
    reset();
}

}  // namespace quorvel::faults
