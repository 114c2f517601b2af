// The restore's hold on a catalogue (ExclusiveCatalogueLock), refused with a RestoreFailure.
#pragma once

#include <filesystem>

#include "engine/ExclusiveCatalogueLock.h"
#include "restore/RestoreFailure.h"

namespace quorvel::restore {

class RestoreLock : public ExclusiveCatalogueLock {
  public:
    explicit RestoreLock(const std::filesystem::path& rowsFile)
        : ExclusiveCatalogueLock(rowsFile, "restore",
                                 [](const std::string& text) { throw RestoreFailure(text); }) {}
};

}  // namespace quorvel::restore
