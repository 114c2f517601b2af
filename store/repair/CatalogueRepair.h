// qvtool repair: the catalogue's files mended so that the check finds nothing, and nothing that
// can still be read lost. In order:
//  - the lock that keeps copies of the program out (RepairLock), refused while one has it open;
//  - the check; a sound catalogue is left as it is, no byte changed;
//  - the files kept as they were (RepairBackup), before anything is written;
//  - the mend in place (InPlaceMend), checked again;
//  - when that fails or the check still finds something, the rebuild (CatalogueSalvage) into a
//    directory beside the files, which then take the new files' place;
//  - the check of the result.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "check/CheckFinding.h"
#include "repair/CatalogueSalvage.h"
#include "repair/InPlaceMend.h"
#include "repair/RepairLock.h"

namespace quorvel::repair {

enum class RepairWay { NothingToDo, MendedInPlace, Rebuilt };

struct RepairReport {
    RepairWay way = RepairWay::NothingToDo;
    std::vector<check::CheckFinding> found;  // what the check found before
    std::filesystem::path originals;         // where the files were kept; empty when sound
    InPlaceResult inPlace;
    std::string whyRebuilt;  // what stopped the mend in place, when the files were rebuilt
    SalvageResult salvage;
    std::vector<check::CheckFinding> remaining;  // what the check found after; none if mended
};

// Told each step as it begins ("checking", ...).
using RepairSteps = std::function<void(const std::string& step)>;

class CatalogueRepair {
  public:
    // Throws RepairFailure when a copy of the program has the catalogue open, or a file is
    // missing.
    explicit CatalogueRepair(const std::filesystem::path& directory);

    // Throws RepairFailure, saying whether the files were changed, when it can't go on.
    RepairReport run(const RepairSteps& steps);

  private:
    void rebuild(RepairReport& report, const RepairSteps& steps);

    std::filesystem::path directory_;
    // Declared first, so it is let go of last.
    RepairLock lock_;
};

}  // namespace quorvel::repair
