// The repair's hold on a catalogue (ExclusiveCatalogueLock), refused with a RepairFailure.
#pragma once

#include <filesystem>

#include "engine/ExclusiveCatalogueLock.h"
#include "repair/RepairFailure.h"

namespace quorvel::repair {

class RepairLock : public ExclusiveCatalogueLock {
  public:
    explicit RepairLock(const std::filesystem::path& rowsFile)
        : ExclusiveCatalogueLock(rowsFile, "repair",
                                 [](const std::string& text) { throw RepairFailure(text); }) {}
};

}  // namespace quorvel::repair
