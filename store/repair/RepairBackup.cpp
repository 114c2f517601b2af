#include "repair/RepairBackup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <system_error>

#include "engine/CatalogueSchema.h"
#include "repair/RepairFailure.h"

namespace quorvel::repair {

bool isCatalogueJournal(const std::string& name) {
    for (const std::string file : {schema::rowsFileName, schema::memoFileName}) {
        if (name == file + "-journal" || name.rfind(file + "-mj", 0) == 0) {
            return true;
        }
    }
    return false;
}

void syncToDisk(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0) {
            ::close(fd);
        }
        throw std::filesystem::filesystem_error("can't be synced to the disk", path,
                                                std::error_code(error, std::generic_category()));
    }
    ::close(fd);
}

namespace {

std::string stamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local);
    return text;
}

// The files that make the catalogue as it stands: both files, and the journals beside them that
// the next opening would roll back.
bool belongsToCatalogue(const std::string& name) {
    return name == schema::rowsFileName || name == schema::memoFileName || isCatalogueJournal(name);
}

}  // namespace

std::filesystem::path keepOriginals(const std::filesystem::path& directory,
                                    std::chrono::system_clock::time_point now) {
    const std::string base = "qv-before-repair-" + stamp(now);
    std::filesystem::path kept = directory / base;
    std::error_code error;
    for (int attempt = 2; !std::filesystem::create_directory(kept, error); ++attempt) {
        if (error || attempt > 99) {
            throw RepairFailure(kept.string() + ": the originals can't be kept there: " +
                                (error ? error.message() : "it exists") + ". Nothing was changed.");
        }
        kept = directory / (base + "-" + std::to_string(attempt));
    }
    try {
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && belongsToCatalogue(name)) {
                std::filesystem::copy_file(entry.path(), kept / name);
                syncToDisk(kept / name);
            }
        }
        syncToDisk(kept);
        syncToDisk(directory);
    } catch (const std::filesystem::filesystem_error& failure) {
        std::filesystem::remove_all(kept, error);
        throw RepairFailure(std::string("The originals couldn't be kept: ") + failure.what() +
                            ". Nothing was changed.");
    }
    return kept;
}

void restoreOriginals(const std::filesystem::path& originals,
                      const std::filesystem::path& directory) {
    try {
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && belongsToCatalogue(name) &&
                !std::filesystem::exists(originals / name)) {
                std::filesystem::remove(entry.path());  // a journal the repair left
            }
        }
        for (const auto& entry : std::filesystem::directory_iterator(originals)) {
            const std::filesystem::path copy =
                directory / (".qv-restoring-" + entry.path().filename().string());
            std::filesystem::copy_file(entry.path(), copy,
                                       std::filesystem::copy_options::overwrite_existing);
            syncToDisk(copy);
            std::filesystem::rename(copy, directory / entry.path().filename());
        }
        syncToDisk(directory);
    } catch (const std::filesystem::filesystem_error& failure) {
        throw RepairFailure(std::string("The files couldn't be put back as they were: ") +
                            failure.what() + ". They are kept in " + originals.string() + ".");
    }
}

}  // namespace quorvel::repair
