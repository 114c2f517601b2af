#include "repair/CatalogueRepair.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "EDBEngineError.h"
#include "check/CatalogueCheck.h"
#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"
#include "repair/RepairBackup.h"
#include "repair/RepairConnection.h"
#include "repair/RepairFailure.h"

namespace quorvel::repair {

namespace {

std::vector<check::CheckFinding> checkCatalogue(const std::filesystem::path& directory) {
    check::CatalogueCheck check(directory, directory);
    return check.run(nullptr);
}

bool mendable(const std::vector<check::CheckFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const check::CheckFinding& finding) { return finding.mendable; });
}

// What failed, in SQLite's words or ours; a full disk called so.
std::string reasonOf(const std::exception& failure) {
    if (const auto* engine = dynamic_cast<const EDBEngineError*>(&failure)) {
        if (engine->errorCode() == engine_code::diskFull) {
            return "the disk is full (" + engine->entries().front().text + ")";
        }
        return engine->entries().front().text;
    }
    if (const auto* file = dynamic_cast<const std::filesystem::filesystem_error*>(&failure)) {
        return files::reasonOf(*file);
    }
    return failure.what();
}

// A directory of the repair's own beside the catalogue's files: on the same file system, so
// its files can take their place by a rename.
std::filesystem::path makeWorkDirectory(const std::filesystem::path& directory) {
    std::string pattern = (directory / ".qv-repair-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        const std::error_code error(errno, std::generic_category());
        throw RepairFailure(directory.string() + ": no room for the rebuilt catalogue: " +
                            (files::isDiskFull(error) ? "the disk is full" : error.message()) +
                            ".");
    }
    return pattern;
}

// A file that says it was made by a newer program is left to that program: rebuilt here it
// would lose what this one doesn't know of. A header that can't be read says nothing.
void refuseNewerFormat(const std::filesystem::path& directory) {
    for (const char* file : {schema::rowsFileName, schema::memoFileName}) {
        int version = 0;
        try {
            RepairConnection connection(directory / file, FileUse::ReadDamaged);
            version = formatVersionOf(connection.handle(), "main");
        } catch (const EDBEngineError&) {
            continue;
        }
        if (version > schema::formatVersion) {
            throw RepairFailure(std::string(file) + ": of format " + std::to_string(version) +
                                ", newer than this qvtool knows; nothing was changed.");
        }
    }
}

// The bytes of the catalogue's two files and their WAL: about what a rebuild writes.
std::uintmax_t catalogueSize(const std::filesystem::path& directory) {
    std::uintmax_t total = 0;
    for (const std::string name : {"qv.db", "qv.mb", "qv.db-wal", "qv.mb-wal"}) {
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(directory / name, error);
        total += error ? 0 : size;
    }
    return total;
}

}  // namespace

bool RepairReport::lostSomething() const {
    return !inPlace.triggersDropped.empty() || salvage.memoUnreadable ||
           !salvage.rowsLostIds.empty() || !salvage.rowsUnread.empty() ||
           !salvage.memosUnread.empty() || !salvage.memosReplaced.empty() ||
           !salvage.fieldsLostIds.empty() || !salvage.objects.dropped.empty() ||
           journal == check::JournalVerdict::NeitherSound;
}

CatalogueRepair::CatalogueRepair(const std::filesystem::path& directory)
    : directory_(directory), lock_(directory / schema::rowsFileName) {}

RepairReport CatalogueRepair::run(const RepairSteps& steps) {
    RepairReport report;
    report.leftovers = removeLeftovers(directory_);
    steps("checking the catalogue");
    std::unique_ptr<check::CatalogueReadings> readings;
    {
        // Closed before anything is written: its read locks would hold the mend off.
        check::CatalogueCheck check(directory_, directory_);
        report.found = check.run(nullptr);
        report.journal = check.journalVerdict();
        readings = check.takeReadings();
    }
    if (!mendable(report.found)) {
        return report;
    }
    refuseNewerFormat(directory_);
    steps("keeping the files as they were");
    // Before any connection of ours is open: the copy opens and closes descriptors of the
    // files, which would drop SQLite's locks on them.
    report.originals = keepOriginals(directory_, std::chrono::system_clock::now());
    settleJournals(report, readings.get());
    readings.reset();
    try {
        steps("rebuilding the indexes and the sort keys");
        report.inPlace = mendInPlace(directory_);
        steps("checking the mended catalogue");
        report.remaining = checkCatalogue(directory_);
        if (!mendable(report.remaining)) {
            report.way = RepairWay::MendedInPlace;
            return report;
        }
        report.whyRebuilt = report.remaining.front().sentence;
    } catch (const InPlaceDamage& failure) {
        report.whyRebuilt = failure.what();
    } catch (const EDBEngineError& failure) {
        report.whyRebuilt = reasonOf(failure);
    }
    report.inPlace = {};
    rebuild(report, steps);
    return report;
}

// A journal that isn't the files' own is never rolled in: the files are read without it. When
// the catalogue is sound either way, the reading with it rolled back is kept beside, whole.
void CatalogueRepair::settleJournals(RepairReport& report, check::CatalogueReadings* readings) {
    if (report.journal != check::JournalVerdict::SetAside &&
        report.journal != check::JournalVerdict::KeepBoth) {
        return;
    }
    if (report.journal == check::JournalVerdict::KeepBoth) {
        const std::string name =
            "qv-journal-rolled-back-" +
            report.originals.filename().string().substr(std::string("qv-before-repair-").size());
        try {
            readings->keepRolledBack(directory_ / name);
            report.rolledBackKept = directory_ / name;
        } catch (const std::filesystem::filesystem_error&) {
            // Still in the originals: they roll back into that reading when opened.
        }
    }
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory_, ignored)) {
        if (isCatalogueJournal(entry.path().filename().string())) {
            std::filesystem::remove(entry.path(), ignored);
        }
    }
}

void CatalogueRepair::rebuild(RepairReport& report, const RepairSteps& steps) {
    steps("copying what can be read into a new catalogue");
    const std::filesystem::path work = makeWorkDirectory(directory_);
    std::error_code ignored;
    try {
        report.salvage = salvageInto(directory_, work);
        lock_.holdAlso(work / schema::rowsFileName);
    } catch (const std::exception& failure) {
        std::filesystem::remove_all(work, ignored);
        // The mend in place may have changed them before it was found not to be enough.
        const std::vector<std::string> restored = restoreOriginals(report.originals, directory_);
        std::string reason = reasonOf(failure);
        // SQLite tells a write past a full disk's end apart only when the system said ENOSPC
        // at once; with less room left than the files take, an I/O error is the full disk.
        const auto* engine = dynamic_cast<const EDBEngineError*>(&failure);
        if (engine != nullptr && engine->errorCode() == engine_code::ioError &&
            files::lessRoomThan(directory_, catalogueSize(directory_))) {
            reason = "the disk is full (" + reason + ")";
        }
        if (!reason.empty() && reason.back() == '.') {
            reason.pop_back();
        }
        std::string put;
        for (const std::string& name : restored) {
            put += (put.empty() ? "" : ", ") + name;
        }
        throw RepairFailure("The new catalogue couldn't be made: " + reason + ". " +
                            (restored.empty()
                                 ? "The files were left as they were."
                                 : "The files were put back as they were (" + put + ").") +
                            " They are kept in " + report.originals.string() + ".");
    }
    steps("putting the new catalogue in place");
    // The journals and WAL beside the damaged files are kept with the originals; beside the new
    // files they would be rolled back or read into them.
    for (const auto& entry : std::filesystem::directory_iterator(directory_, ignored)) {
        const std::string name = entry.path().filename().string();
        if (isCatalogueJournal(name) || isCatalogueWal(name)) {
            std::filesystem::remove(entry.path(), ignored);
        }
    }
    // qv.mb first: until qv.db follows, the pair's tokens differ and an opening is refused.
    for (const char* file : {schema::memoFileName, schema::rowsFileName}) {
        if (::rename((work / file).c_str(), (directory_ / file).c_str()) != 0) {
            throw RepairFailure(
                std::string("The new ") + file + " couldn't take the place of the " +
                "old one: " + std::strerror(errno) + ". The new files are in " + work.string() +
                ", the originals in " + report.originals.string() + ".");
        }
    }
    try {
        files::syncToDisk(directory_);
    } catch (const std::filesystem::filesystem_error&) {
        // The renames are made; a directory that can't be synced loses nothing the check sees.
    }
    std::filesystem::remove_all(work, ignored);
    report.way = RepairWay::Rebuilt;
    steps("checking the new catalogue");
    report.remaining = checkCatalogue(directory_);
}

}  // namespace quorvel::repair
