// Row locks between running copies of the program on one catalogue. Each lock is a byte-range
// lock on qv.db far beyond SQLite's own lock bytes, held through an open file description of
// our own (Linux OFD locks): closing some other descriptor of the file (the export's copy)
// doesn't drop it, and the kernel drops it when the process ends, so a copy that crashed never
// leaves a row locked.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>

namespace quorvel {

// The byte of qv.db that stands for row id's lock. Row locks use the bytes from 2^31 to
// 2^63 - 1, clear of SQLite's own lock bytes at 1 GiB and within what the kernel can lock: row
// n locks byte 2^62 + n for every n from -(2^62 - 2^31) to 2^62 - 1, and every other id SQLite
// allows wraps round into the same bytes. So two ids share a byte only when they lie
// 2^63 - 2^31 apart or more: such a pair can't be edited by two copies at once, nothing worse.
off_t rowLockOffset(std::int64_t id);

// The byte of qv.db that says the catalogue is open: every copy that may write holds a shared
// lock on it for as long as it has the catalogue open, and qvtool repair or restore an exclusive
// one while it works, so neither starts while the other runs. Just below the row locks' bytes.
inline constexpr off_t catalogueOpenOffset = (off_t{1} << 31) - 1;

// Takes a lock of type (F_RDLCK, F_WRLCK or F_UNLCK) on catalogueOpenOffset through fd without
// waiting; false when another open file description holds a conflicting one.
bool lockCatalogueOpen(int fd, short type);

class RowLocks {
  public:
    // Opens rowsFile for reading and writing (for reading alone when it may only be read: no
    // row can be locked then) and takes the shared lock that says the catalogue is open; throws
    // EDBEngineError when it can't, tableBusy while qvtool repairs or restores it.
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
