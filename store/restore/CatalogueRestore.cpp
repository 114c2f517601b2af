#include "restore/CatalogueRestore.h"

#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "check/CatalogueCheck.h"
#include "engine/CatalogueSchema.h"
#include "repair/RepairBackup.h"
#include "repair/RepairFailure.h"
#include "restore/PairInstall.h"
#include "restore/RestoreFailure.h"

namespace quorvel::restore {

namespace {

// A directory of the restore's own beside the catalogue: on the same file system, so that its
// files can take the catalogue's place by a rename. Removed with what is in it when it goes.
class WorkDirectory {
  public:
    explicit WorkDirectory(const std::filesystem::path& directory) {
        std::string pattern = (directory / ".qv-restore-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw RestoreFailure(directory.string() + ": no room for the backup's copy: " +
                                 std::strerror(errno) + ". Nothing was changed.");
        }
        path_ = pattern;
    }
    ~WorkDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

bool hasCatalogueFiles(const std::filesystem::path& directory) {
    std::error_code error;
    for (const char* file : {schema::rowsFileName, schema::memoFileName}) {
        if (std::filesystem::exists(std::filesystem::symlink_status(directory / file, error))) {
            return true;
        }
    }
    return false;
}

// The repair names its directory of originals for the repair; kept by a restore, it says so.
std::filesystem::path renamedForRestore(const std::filesystem::path& kept) {
    const std::string name = kept.filename().string();
    const std::string repairPrefix = "qv-before-repair-";
    if (name.rfind(repairPrefix, 0) != 0) {
        return kept;
    }
    const std::filesystem::path renamed =
        kept.parent_path() / ("qv-before-restore-" + name.substr(repairPrefix.size()));
    std::error_code error;
    if (std::filesystem::exists(renamed, error)) {
        return kept;
    }
    std::filesystem::rename(kept, renamed, error);
    return error ? kept : renamed;
}

}  // namespace

CatalogueRestore::CatalogueRestore(const std::filesystem::path& base,
                                   const std::filesystem::path& directory)
    : backup_(base), directory_(directory), lock_(directory / schema::rowsFileName) {}

std::filesystem::path CatalogueRestore::keepCurrentFiles() {
    std::filesystem::path kept;
    try {
        kept = repair::keepOriginals(directory_, std::chrono::system_clock::now());
    } catch (const repair::RepairFailure& failure) {
        throw RestoreFailure(failure.what());
    }
    // The kept files hold the WAL too, with the committed changes it may hold.
    return renamedForRestore(kept);
}

RestoreReport CatalogueRestore::run(const RestoreSteps& steps) {
    RestoreReport report;
    // Under the lock nothing else is at work here: a partial copy of kept files would take the
    // name this restore's copy needs.
    report.leftovers = repair::removeLeftovers(directory_);
    const WorkDirectory work(directory_);
    steps("copying the backup beside the catalogue");
    backup_.stageInto(work.path());
    steps("checking the backup");
    report.backup = backup_.checkStaged(work.path());
    const bool hadCatalogue = hasCatalogueFiles(directory_);
    if (hadCatalogue) {
        steps("keeping the catalogue's files as they were");
        report.kept = keepCurrentFiles();
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
        if (repair::isCatalogueWal(entry.path().filename().string())) {
            std::filesystem::remove(entry.path(), error);
        }
    }
    steps("putting the backup in place");
    // Without a catalogue there is nothing to commit into, and nothing a crash could mix.
    const OneCommitResult commit =
        hadCatalogue ? installInOneCommit(directory_, work.path()) : OneCommitResult{};
    if (commit.busy) {
        throw RestoreFailure("Another program kept the catalogue's files locked (" + commit.whyNot +
                             "); run the restore again when it has ended. The " +
                             "catalogue was not changed; its files are also kept in " +
                             report.kept.string() + ".");
    }
    if (!commit.installed) {
        report.way = InstallWay::Renames;
        report.whyRenamed = commit.whyNot;
        installByRenames(directory_, work.path(), lock_);
    }
    steps("checking the restored catalogue");
    report.remaining = check::CatalogueCheck(directory_).run(nullptr);
    if (report.remaining.empty()) {
        report.restored = countContents(directory_);
    }
    return report;
}

}  // namespace quorvel::restore
