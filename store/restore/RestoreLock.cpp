#include "restore/RestoreLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/RowLocks.h"
#include "restore/RestoreFailure.h"

namespace quorvel::restore {

RestoreLock::RestoreLock(const std::filesystem::path& rowsFile) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(rowsFile, error))) {
        holdAlso(rowsFile);
    }
}

RestoreLock::~RestoreLock() {
    for (const int fd : descriptors_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void RestoreLock::holdAlso(const std::filesystem::path& file) {
    int& slot = descriptors_[0] < 0 ? descriptors_[0] : descriptors_[1];
    if (slot >= 0) {
        return;  // both held already: the catalogue's qv.db and the one about to replace it
    }
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        throw RestoreFailure(file.string() + ": can't be opened for writing: " +
                             std::strerror(errno) + ". Nothing was changed.");
    }
    slot = fd;
    if (!lockCatalogueOpen(fd, F_WRLCK)) {
        throw RestoreFailure("A copy of Quorvel has the catalogue in " +
                             file.parent_path().string() +
                             " open; close it and run the restore again. Nothing was changed.");
    }
}

}  // namespace quorvel::restore
