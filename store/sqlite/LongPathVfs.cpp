#include "sqlite/LongPathVfs.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

namespace quorvel::sqlite {

namespace {

constexpr const char* vfsName = "quorvel-longpath";
// Names up to this length go to the platform layer as they are: it copies them into buffers of
// 512 bytes, and a journal's name adds a few bytes to its database's.
constexpr std::size_t directLimit = 480;

sqlite3_vfs* platform = nullptr;
sqlite3_vfs longPath{};

// A file opened under a shortened name. The platform layer's file follows this header in the
// same allocation and may keep a pointer to the name until it is closed.
struct AliasedFile {
    sqlite3_file base;  // our forwarding methods
    sqlite3_file* real;
    char* name;
    bool nameIsFilenameObject;
    int directory;  // O_PATH descriptor the name goes through; -1 when none
};

constexpr std::size_t headerSize = (sizeof(AliasedFile) + 15) / 16 * 16;

bool isLong(const char* name) {
    return name != nullptr && std::strlen(name) > directLimit;
}

// The directory descriptor and short name standing for the long absolute name; fd -1 when the
// directory can't be opened (or the platform has no such names).
struct Alias {
    int directory = -1;
    std::string name;
};

Alias aliasFor(const char* name) {
    Alias alias;
#ifdef __linux__
    const std::string path(name);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) {
        return alias;
    }
    alias.directory = ::open(path.substr(0, slash).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (alias.directory >= 0) {
        alias.name = "/proc/self/fd/" + std::to_string(alias.directory) + path.substr(slash);
    }
#else
    (void)name;
#endif
    return alias;
}

AliasedFile* aliased(sqlite3_file* file) {
    return reinterpret_cast<AliasedFile*>(file);
}
sqlite3_file* real(sqlite3_file* file) {
    return aliased(file)->real;
}
const sqlite3_io_methods* methods(sqlite3_file* file) {
    return real(file)->pMethods;
}

int fileClose(sqlite3_file* file) {
    AliasedFile* self = aliased(file);
    const int rc = methods(file)->xClose(self->real);
    if (self->nameIsFilenameObject) {
        sqlite3_free_filename(self->name);
    } else {
        sqlite3_free(self->name);
    }
    ::close(self->directory);
    return rc;
}
int fileRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
    return methods(file)->xRead(real(file), buffer, amount, offset);
}
int fileWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
    return methods(file)->xWrite(real(file), buffer, amount, offset);
}
int fileTruncate(sqlite3_file* file, sqlite3_int64 size) {
    return methods(file)->xTruncate(real(file), size);
}
int fileSync(sqlite3_file* file, int flags) {
    return methods(file)->xSync(real(file), flags);
}
int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    return methods(file)->xFileSize(real(file), size);
}
int fileLock(sqlite3_file* file, int level) {
    return methods(file)->xLock(real(file), level);
}
int fileUnlock(sqlite3_file* file, int level) {
    return methods(file)->xUnlock(real(file), level);
}
int fileCheckReservedLock(sqlite3_file* file, int* held) {
    return methods(file)->xCheckReservedLock(real(file), held);
}
int fileControl(sqlite3_file* file, int op, void* argument) {
    return methods(file)->xFileControl(real(file), op, argument);
}
int fileSectorSize(sqlite3_file* file) {
    return methods(file)->xSectorSize(real(file));
}
int fileDeviceCharacteristics(sqlite3_file* file) {
    return methods(file)->xDeviceCharacteristics(real(file));
}
int fileShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory) {
    return methods(file)->iVersion >= 2
               ? methods(file)->xShmMap(real(file), region, size, extend, memory)
               : SQLITE_IOERR_SHMMAP;
}
int fileShmLock(sqlite3_file* file, int offset, int count, int flags) {
    return methods(file)->iVersion >= 2 ? methods(file)->xShmLock(real(file), offset, count, flags)
                                        : SQLITE_IOERR_SHMLOCK;
}
void fileShmBarrier(sqlite3_file* file) {
    if (methods(file)->iVersion >= 2) {
        methods(file)->xShmBarrier(real(file));
    }
}
int fileShmUnmap(sqlite3_file* file, int deleteFlag) {
    return methods(file)->iVersion >= 2 ? methods(file)->xShmUnmap(real(file), deleteFlag)
                                        : SQLITE_OK;
}
int fileFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** pages) {
    if (methods(file)->iVersion >= 3) {
        return methods(file)->xFetch(real(file), offset, amount, pages);
    }
    *pages = nullptr;
    return SQLITE_OK;
}
int fileUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
    return methods(file)->iVersion >= 3 ? methods(file)->xUnfetch(real(file), offset, page)
                                        : SQLITE_OK;
}

const sqlite3_io_methods aliasedMethods = {
    3,
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
    fileShmMap,
    fileShmLock,
    fileShmBarrier,
    fileShmUnmap,
    fileFetch,
    fileUnfetch,
};

// A database file's name must stay a filename object carrying its URI parameters, which the
// platform layer may read; a journal's is a plain string.
char* shortName(const char* longName, const std::string& alias, int flags, bool& filenameObject) {
    filenameObject = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    if (!filenameObject) {
        char* copy = static_cast<char*>(sqlite3_malloc64(alias.size() + 1));
        if (copy != nullptr) {
            std::memcpy(copy, alias.c_str(), alias.size() + 1);
        }
        return copy;
    }
    std::vector<const char*> parameters;
    for (int i = 0; const char* key = sqlite3_uri_key(longName, i); ++i) {
        parameters.push_back(key);
        parameters.push_back(sqlite3_uri_parameter(longName, key));
    }
    const std::string journal = alias + "-journal";
    const std::string wal = alias + "-wal";
    return const_cast<char*>(sqlite3_create_filename(
        alias.c_str(), journal.c_str(), wal.c_str(), static_cast<int>(parameters.size() / 2),
        parameters.empty() ? nullptr : parameters.data()));
}

int vfsOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    if (!isLong(name)) {
        return platform->xOpen(platform, name, file, flags, outFlags);
    }
    AliasedFile* self = aliased(file);
    self->base.pMethods = nullptr;
    const Alias alias = aliasFor(name);
    if (alias.directory < 0) {
        return SQLITE_CANTOPEN;
    }
    bool filenameObject = false;
    char* shortened = shortName(name, alias.name, flags, filenameObject);
    if (shortened == nullptr) {
        ::close(alias.directory);
        return SQLITE_NOMEM;
    }
    sqlite3_file* inner =
        reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + headerSize);
    inner->pMethods = nullptr;
    const int rc = platform->xOpen(platform, shortened, inner, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (inner->pMethods != nullptr) {
            inner->pMethods->xClose(inner);
        }
        if (filenameObject) {
            sqlite3_free_filename(shortened);
        } else {
            sqlite3_free(shortened);
        }
        ::close(alias.directory);
        return rc;
    }
    self->real = inner;
    self->name = shortened;
    self->nameIsFilenameObject = filenameObject;
    self->directory = alias.directory;
    self->base.pMethods = &aliasedMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDirectory) {
    if (!isLong(name)) {
        return platform->xDelete(platform, name, syncDirectory);
    }
    const Alias alias = aliasFor(name);
    if (alias.directory < 0) {
        return SQLITE_IOERR_DELETE;
    }
    const int rc = platform->xDelete(platform, alias.name.c_str(), syncDirectory);
    ::close(alias.directory);
    return rc;
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* result) {
    if (!isLong(name)) {
        return platform->xAccess(platform, name, flags, result);
    }
    const Alias alias = aliasFor(name);
    if (alias.directory < 0) {
        *result = 0;
        return SQLITE_OK;
    }
    const int rc = platform->xAccess(platform, alias.name.c_str(), flags, result);
    ::close(alias.directory);
    return rc;
}

// Long names are made absolute and resolved by the C library (which takes PATH_MAX), as the
// platform layer resolves short ones, so a journal always lies beside the real file.
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
    std::string path(name);
    if (path.empty() || path.front() != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) {
            return SQLITE_CANTOPEN;
        }
        path = std::string(cwd) + "/" + path;
    }
    // A short name the platform layer can't resolve (a symbolic link to a long one) is
    // resolved here instead.
    if (path.size() <= directLimit &&
        platform->xFullPathname(platform, path.c_str(), size, out) == SQLITE_OK) {
        return SQLITE_OK;
    }
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        path = resolved;
    } else {
        const std::size_t slash = path.rfind('/');
        if (::realpath(path.substr(0, slash).c_str(), resolved) != nullptr) {
            path = resolved + path.substr(slash);
        }
    }
    if (path.size() + 1 > static_cast<std::size_t>(size)) {
        return SQLITE_CANTOPEN;
    }
    std::memcpy(out, path.c_str(), path.size() + 1);
    return SQLITE_OK;
}

void* vfsDlOpen(sqlite3_vfs*, const char* name) {
    return platform->xDlOpen(platform, name);
}
void vfsDlError(sqlite3_vfs*, int size, char* message) {
    platform->xDlError(platform, size, message);
}
void (*vfsDlSym(sqlite3_vfs*, void* library, const char* symbol))(void) {
    return platform->xDlSym(platform, library, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* library) {
    platform->xDlClose(platform, library);
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
    return platform->xGetLastError != nullptr ? platform->xGetLastError(platform, size, message)
                                              : 0;
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now) {
    if (platform->iVersion >= 2 && platform->xCurrentTimeInt64 != nullptr) {
        return platform->xCurrentTimeInt64(platform, now);
    }
    double days = 0;
    const int rc = platform->xCurrentTime(platform, &days);
    *now = static_cast<sqlite3_int64>(days * 86400000.0);
    return rc;
}

void registerLongPathVfs() {
    platform = sqlite3_vfs_find(nullptr);
    if (platform == nullptr) {
        return;
    }
    longPath.iVersion = 2;
    longPath.szOsFile = static_cast<int>(headerSize) + platform->szOsFile;
    longPath.mxPathname = PATH_MAX;
    longPath.zName = vfsName;
    longPath.xOpen = vfsOpen;
    longPath.xDelete = vfsDelete;
    longPath.xAccess = vfsAccess;
    longPath.xFullPathname = vfsFullPathname;
    longPath.xDlOpen = vfsDlOpen;
    longPath.xDlError = vfsDlError;
    longPath.xDlSym = vfsDlSym;
    longPath.xDlClose = vfsDlClose;
    longPath.xRandomness = vfsRandomness;
    longPath.xSleep = vfsSleep;
    longPath.xCurrentTime = vfsCurrentTime;
    longPath.xGetLastError = vfsGetLastError;
    longPath.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&longPath, 0);
}

}  // namespace

const char* longPathVfs() {
    static std::once_flag registered;
    std::call_once(registered, registerLongPathVfs);
    return vfsName;
}

}  // namespace quorvel::sqlite
