#include "repair/RepairLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/RowLocks.h"
#include "repair/RepairFailure.h"

namespace quorvel::repair {

RepairLock::RepairLock(const std::filesystem::path& rowsFile) {
    // Without qv.db no copy of the program can open the catalogue; the rebuilt one is held
    // before it takes its name.
    std::error_code error;
    if (std::filesystem::exists(rowsFile, error) || error) {
        holdAlso(rowsFile);
    }
}

RepairLock::~RepairLock() {
    for (const int fd : descriptors_) {
        ::close(fd);
    }
}

void RepairLock::holdAlso(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        throw RepairFailure(file.string() + ": can't be opened for writing: " +
                            std::strerror(errno) + ". Nothing was changed.");
    }
    descriptors_.push_back(fd);
    if (!lockCatalogueOpen(fd, F_WRLCK)) {
        throw RepairFailure("A copy of Quorvel has the catalogue in " +
                            file.parent_path().string() +
                            " open; close it and run the repair again. Nothing was changed.");
    }
}

}  // namespace quorvel::repair
