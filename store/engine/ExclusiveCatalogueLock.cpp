#include "engine/ExclusiveCatalogueLock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "engine/RowLocks.h"

namespace quorvel {

ExclusiveCatalogueLock::ExclusiveCatalogueLock(const std::filesystem::path& rowsFile,
                                               std::string work, Refusal refuse)
    : work_(std::move(work)), refuse_(std::move(refuse)) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(rowsFile, error))) {
        try {
            holdAlso(rowsFile);
        } catch (...) {
            // A destructor doesn't run for a constructor that throws.
            release();
            throw;
        }
    }
}

ExclusiveCatalogueLock::~ExclusiveCatalogueLock() {
    release();
}

void ExclusiveCatalogueLock::release() {
    for (const int fd : descriptors_) {
        ::close(fd);
    }
    descriptors_.clear();
}

void ExclusiveCatalogueLock::holdAlso(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        refuse_(file.string() + ": can't be opened for writing: " + std::strerror(errno) +
                ". Nothing was changed.");
        throw std::logic_error("a refusal returned");
    }
    descriptors_.push_back(fd);
    if (!lockCatalogueOpen(fd, F_WRLCK)) {
        refuse_("A copy of Quorvel has the catalogue in " + file.parent_path().string() +
                " open; close it and run the " + work_ + " again. Nothing was changed.");
        throw std::logic_error("a refusal returned");
    }
}

}  // namespace quorvel
