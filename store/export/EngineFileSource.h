// One of the table's files read through the engine's own handle of it (SQLite's sqlite3_file
// of one schema of the connection). Nothing is opened or closed, so the engine's POSIX locks on
// the file stay as they are; the caller holds the engine's shared lock on the file, so the
// bytes are one committed version.
//
// For copying inside the kernel the source also offers a descriptor that this process already
// holds open on the same file (found by device and inode among the process's descriptors:
// SQLite's own, or the row locks'). It is read at explicit offsets only and never closed; when
// none is found, reads go through SQLite's handle alone.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include "export/CopySource.h"

namespace quorvel {

class EngineFileSource : public CopySource {
  public:
    // file: the engine's handle, valid while the connection stays open; device and inode: the
    // file's identity. Throws CopyFailure when its size can't be told.
    EngineFileSource(sqlite3_file* file, dev_t device, ino_t inode);
    ~EngineFileSource() override;
    EngineFileSource(const EngineFileSource&) = delete;
    EngineFileSource& operator=(const EngineFileSource&) = delete;

    std::size_t readAt(std::uint64_t offset, std::span<std::byte> buffer) override;
    int descriptor() const override { return descriptor_; }

  private:
    sqlite3_file* file_;
    std::uint64_t size_ = 0;
    int descriptor_ = -1;
};

}  // namespace quorvel
