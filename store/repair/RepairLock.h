// The repair's hold on a catalogue: the exclusive lock on the byte of qv.db that every copy of
// the program that may write holds shared while it has the catalogue open (catalogueOpenOffset).
// Taken first, it refuses the repair while a copy has the catalogue open, and keeps copies from
// opening it while the repair works. A rebuilt qv.db gets the same lock before it takes the
// catalogue's name, so an opening between the two renames is refused as well.
#pragma once

#include <filesystem>
#include <vector>

namespace quorvel::repair {

class RepairLock {
  public:
    // Throws RepairFailure when a copy of the program has the catalogue in directory open, or
    // qv.db can't be opened for writing. A missing qv.db is no catalogue a copy can open: nothing
    // is held then.
    explicit RepairLock(const std::filesystem::path& rowsFile);
    // Closes the descriptors, and with them this process's POSIX locks on the files: so the
    // lock is let go of only after every SQLite connection to them has closed.
    ~RepairLock();
    RepairLock(const RepairLock&) = delete;
    RepairLock& operator=(const RepairLock&) = delete;

    // Takes the same lock on file, a new qv.db about to replace the catalogue's.
    void holdAlso(const std::filesystem::path& file);

  private:
    std::vector<int> descriptors_;
};

}  // namespace quorvel::repair
