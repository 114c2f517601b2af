// The restore's hold on a catalogue: the exclusive lock on the byte of qv.db that every copy of
// the program that may write holds shared while it has the catalogue open (catalogueOpenOffset),
// as the repair takes it. Refused while a copy has the catalogue open; while it is held, a copy
// that starts refuses to open the catalogue. An open file description's lock (OFD): the copies
// made of qv.db meanwhile open and close descriptors of it without dropping the lock.
#pragma once

#include <filesystem>

namespace quorvel::restore {

class RestoreLock {
  public:
    // Takes the lock on rowsFile when it exists; a directory without qv.db has no copy of the
    // program in it to keep out. Throws RestoreFailure when a copy has the catalogue open, or
    // qv.db can't be opened for writing.
    explicit RestoreLock(const std::filesystem::path& rowsFile);
    // Lets go of the lock, after every connection of the restore to the files has closed.
    ~RestoreLock();
    RestoreLock(const RestoreLock&) = delete;
    RestoreLock& operator=(const RestoreLock&) = delete;

    // Takes the same lock on file, a qv.db about to take the catalogue's name.
    void holdAlso(const std::filesystem::path& file);

  private:
    int descriptors_[2] = {-1, -1};
};

}  // namespace quorvel::restore
