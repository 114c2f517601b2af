// qvtool restore: a backup (NAME.db and NAME.mb) put in place of the catalogue in a directory.
// In order:
//  - the backup's two files found, with no journal of an unfinished change beside them;
//  - the lock that keeps copies of the program out (RestoreLock), refused while one has the
//    catalogue open;
//  - the backup copied into a directory of the restore's own beside the catalogue and checked
//    there: both files sound and one pair; a damaged backup or a mixed pair is refused;
//  - the catalogue's current files kept as they were, with their journals and any WAL, in
//    "qv-before-restore-YYYY-MM-DD-HHMMSS" beside them (the repair's keeping of the originals);
//  - the WAL files taken from beside the catalogue (it never has one of its own: SQLite would
//    read one into whatever files lie there), then the backup put in place in one commit
//    (PairInstall), or by renames when the old files can't take a commit;
//  - the check of the result, and the rows and memo texts it holds.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "check/CheckFinding.h"
#include "restore/BackupPair.h"
#include "restore/RestoreLock.h"

namespace quorvel::restore {

enum class InstallWay { OneCommit, Renames };

struct RestoreReport {
    BackupContents backup;       // what the backup holds
    BackupContents restored;     // what the catalogue holds after the restore, when it is sound
    std::filesystem::path kept;  // where the files as they were are kept; empty if none were
    InstallWay way = InstallWay::OneCommit;
    std::string whyRenamed;                      // why the old files couldn't take a commit
    std::vector<check::CheckFinding> remaining;  // what the check finds after; none when sound
    std::vector<std::string> leftovers;  // what a stopped repair or restore had left, removed
};

// Told each step as it begins ("checking the backup", ...).
using RestoreSteps = std::function<void(const std::string& step)>;

class CatalogueRestore {
  public:
    // base: the backup's name, NAME without an extension; directory: the catalogue's. Throws
    // RestoreFailure when the backup's files are missing or a copy of the program has the
    // catalogue open.
    CatalogueRestore(const std::filesystem::path& base, const std::filesystem::path& directory);

    // Throws RestoreFailure, saying whether the catalogue was changed, when it can't go on.
    RestoreReport run(const RestoreSteps& steps);

  private:
    std::filesystem::path keepCurrentFiles();

    BackupPair backup_;
    std::filesystem::path directory_;
    // Declared last, so it is let go of after everything else.
    RestoreLock lock_;
};

}  // namespace quorvel::restore
