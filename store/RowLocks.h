// Row locks between running copies of the program on one catalogue. Each lock is a byte-range
// lock on qv.db far beyond SQLite's own lock bytes, held through an open file description of
// our own (Linux OFD locks): closing some other descriptor of the file (the export's copy)
// doesn't drop it, and the kernel drops it when the process ends, so a copy that crashed never
// leaves a row locked.
#pragma once

#include <cstdint>
#include <filesystem>

namespace quorvel {

class RowLocks {
  public:
    // Opens rowsFile for reading and writing; throws EDBEngineError when it can't.
    explicit RowLocks(const std::filesystem::path& rowsFile);
    ~RowLocks();
    RowLocks(const RowLocks&) = delete;
    RowLocks& operator=(const RowLocks&) = delete;

    // Takes the write lock on row id without waiting; false when someone else holds it.
    // Taking a lock this object holds already succeeds.
    bool tryLock(std::int64_t id);
    void unlock(std::int64_t id);

  private:
    int fd_;
};

}  // namespace quorvel
