// One of the table's files read through the engine's own handle of it (SQLite's sqlite3_file
// of one schema of the connection). Nothing is opened or closed, so the engine's POSIX locks on
// the file stay as they are; the caller holds the engine's shared lock on the file, so the
// bytes are one committed version.
#pragma once

#include <sqlite3.h>

#include "CopySource.h"

namespace quorvel {

class EngineFileSource : public CopySource {
  public:
    // file: the engine's handle, valid while the connection stays open. Throws CopyFailure when
    // its size can't be told.
    explicit EngineFileSource(sqlite3_file* file);

    std::size_t readAt(std::uint64_t offset, std::span<std::byte> buffer) override;

  private:
    sqlite3_file* file_;
    std::uint64_t size_ = 0;
};

}  // namespace quorvel
