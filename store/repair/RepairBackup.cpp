#include "repair/RepairBackup.h"

#include <cstdio>
#include <ctime>
#include <string>
#include <system_error>

#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"
#include "repair/RepairFailure.h"

namespace quorvel::repair {

namespace {

// The names a repair gives what it makes beside the catalogue while it works.
constexpr const char* workPrefix = ".qv-repair-";
constexpr const char* keepingPrefix = ".qv-keeping-";
constexpr const char* restoringPrefix = ".qv-restoring-";
// The work directory of a restore, which holds a copy of the backup being put in place.
constexpr const char* restoreWorkPrefix = ".qv-restore-";

std::string stamp(std::chrono::system_clock::time_point now) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local);
    return text;
}

// The files that make the catalogue as it stands: both files, their WAL, and the journals
// beside them that the next opening would roll back. The WAL's index is made afresh from it.
bool belongsToCatalogue(const std::string& name) {
    return name == schema::rowsFileName || name == schema::memoFileName ||
           isCatalogueJournal(name) || (isCatalogueWal(name) && !name.ends_with("-shm"));
}

// Put back first: a journal or WAL put back beside a file that isn't yet the one it belongs to
// would be rolled into the wrong file by an opening.
bool isMainFile(const std::string& name) {
    return name == schema::rowsFileName || name == schema::memoFileName;
}

std::uintmax_t sizeOf(const std::filesystem::path& path) {
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        std::uintmax_t total = 0;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
            total += entry.is_regular_file(error) ? entry.file_size(error) : 0;
        }
        return total;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

}  // namespace

bool isCatalogueJournal(const std::string& name) {
    for (const std::string file : {schema::rowsFileName, schema::memoFileName}) {
        if (name == file + "-journal" || name.rfind(file + "-mj", 0) == 0) {
            return true;
        }
    }
    return false;
}

bool isCatalogueWal(const std::string& name) {
    for (const std::string file : {schema::rowsFileName, schema::memoFileName}) {
        if (name == file + "-wal" || name == file + "-shm") {
            return true;
        }
    }
    return false;
}

std::filesystem::path keepOriginals(const std::filesystem::path& directory,
                                    std::chrono::system_clock::time_point now) {
    const std::string base = "qv-before-repair-" + stamp(now);
    std::filesystem::path kept = directory / base;
    std::error_code error;
    for (int attempt = 2; std::filesystem::exists(kept, error) || error; ++attempt) {
        if (error || attempt > 99) {
            throw RepairFailure(kept.string() + ": the originals can't be kept there: " +
                                (error ? error.message() : "it exists") + ". Nothing was changed.");
        }
        kept = directory / (base + "-" + std::to_string(attempt));
    }
    const std::filesystem::path keeping = directory / (keepingPrefix + kept.filename().string());
    try {
        // One of that name is a partial copy a stopped run left: the lock held now keeps every
        // other repair and restore out.
        std::filesystem::remove_all(keeping);
        std::filesystem::create_directory(keeping);
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && belongsToCatalogue(name)) {
                files::copySynced(entry.path(), keeping / name);
            }
        }
        files::syncToDisk(keeping);
        std::filesystem::rename(keeping, kept);
        files::syncToDisk(directory);
    } catch (const std::filesystem::filesystem_error& failure) {
        std::filesystem::remove_all(keeping, error);
        throw RepairFailure("The originals couldn't be kept: " + files::reasonOf(failure) +
                            ". Nothing was changed.");
    }
    return kept;
}

std::vector<std::string> restoreOriginals(const std::filesystem::path& originals,
                                          const std::filesystem::path& directory) {
    std::vector<std::string> restored;
    std::filesystem::path copy;
    try {
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            const std::string name = entry.path().filename().string();
            if (entry.is_regular_file() && belongsToCatalogue(name) &&
                !std::filesystem::exists(originals / name)) {
                std::filesystem::remove(entry.path());  // a journal the repair left
            }
            if (entry.is_regular_file() && isCatalogueWal(name) && name.ends_with("-shm")) {
                // The WAL's index, made afresh from it by the next opening.
                std::filesystem::remove(entry.path());
            }
        }
        for (const bool mainFiles : {true, false}) {
            for (const auto& entry : std::filesystem::directory_iterator(originals)) {
                const std::string name = entry.path().filename().string();
                if (isMainFile(name) != mainFiles ||
                    files::sameBytes(entry.path(), directory / name)) {
                    continue;
                }
                copy = directory / (restoringPrefix + name);
                std::filesystem::remove(copy);
                files::copySynced(entry.path(), copy);
                std::filesystem::rename(copy, directory / name);
                copy.clear();
                restored.push_back(name);
            }
        }
        files::syncToDisk(directory);
    } catch (const std::filesystem::filesystem_error& failure) {
        std::error_code ignored;
        if (!copy.empty()) {
            std::filesystem::remove(copy, ignored);
        }
        throw RepairFailure(
            "The files couldn't all be put back as they were: " + files::reasonOf(failure) +
            ". They are kept in " + originals.string() + ".");
    }
    return restored;
}

std::vector<std::string> removeLeftovers(const std::filesystem::path& directory) {
    std::vector<std::string> removed;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(workPrefix) && !name.starts_with(keepingPrefix) &&
            !name.starts_with(restoringPrefix) && !name.starts_with(restoreWorkPrefix)) {
            continue;
        }
        const std::uintmax_t size = sizeOf(entry.path());
        std::error_code failed;
        std::filesystem::remove_all(entry.path(), failed);
        removed.push_back(name + " (" + std::to_string(size) + " bytes)" +
                          (failed ? ", which couldn't be removed: " + failed.message() : ""));
    }
    return removed;
}

}  // namespace quorvel::repair
