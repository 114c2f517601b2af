// qvtool repair: the catalogue's files mended so that the check finds nothing, and nothing that
// can still be read lost without a word. In order:
//  - the lock that keeps copies of the program out (RepairLock), refused while one has it open;
//  - what a repair that was stopped left beside the files removed;
//  - the check; a sound catalogue is left as it is, no byte changed;
//  - the files kept as they were (RepairBackup), their WAL and journals with them;
//  - a hot journal that isn't the files' own set aside, or, when the catalogue is sound both
//    with it rolled back and without it, the rolled-back reading kept as a catalogue beside;
//  - the mend in place (InPlaceMend), checked again;
//  - when that fails or the check still finds something, the rebuild (CatalogueSalvage) into a
//    directory beside the files, which then take the new files' place;
//  - the check of the result.
// A missing qv.mb is rebuilt empty; a missing qv.db is rebuilt from the memo texts, each given a
// row of its own, fields empty.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "check/CatalogueCheck.h"
#include "check/CheckFinding.h"
#include "repair/CatalogueSalvage.h"
#include "repair/InPlaceMend.h"
#include "repair/RepairLock.h"

namespace quorvel::repair {

enum class RepairWay { NothingToDo, MendedInPlace, Rebuilt };

struct RepairReport {
    RepairWay way = RepairWay::NothingToDo;
    std::vector<std::string> leftovers;      // what a stopped repair had left, removed
    std::vector<check::CheckFinding> found;  // what the check found before
    std::filesystem::path originals;         // where the files were kept; empty when sound
    check::JournalVerdict journal = check::JournalVerdict::None;
    // The catalogue with the journals rolled back, kept beside when both readings are sound.
    std::filesystem::path rolledBackKept;
    InPlaceResult inPlace;
    std::string whyRebuilt;  // what stopped the mend in place, when the files were rebuilt
    SalvageResult salvage;
    std::vector<check::CheckFinding> remaining;  // what the check found after; none if mended
    // Whether something that could be read before isn't in the catalogue now (it is named in
    // inPlace or salvage, and kept with the originals).
    bool lostSomething() const;
};

// Told each step as it begins ("checking", ...).
using RepairSteps = std::function<void(const std::string& step)>;

class CatalogueRepair {
  public:
    // Throws RepairFailure when a copy of the program has the catalogue open.
    explicit CatalogueRepair(const std::filesystem::path& directory);

    // Throws RepairFailure, saying whether the files were changed, when it can't go on.
    RepairReport run(const RepairSteps& steps);

  private:
    void settleJournals(RepairReport& report, check::CatalogueReadings* readings);
    void rebuild(RepairReport& report, const RepairSteps& steps);

    std::filesystem::path directory_;
    // Declared first, so it is let go of last.
    RepairLock lock_;
};

}  // namespace quorvel::repair
