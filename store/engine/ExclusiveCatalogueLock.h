// A hold on a catalogue that keeps every copy of the program out: the exclusive lock on the byte
// of qv.db that a copy that may write holds shared while it has the catalogue open
// (catalogueOpenOffset). Taken first by the repair and the restore, it is refused while a copy
// has the catalogue open, and while it is held a copy that starts refuses to open it. A qv.db
// about to take the catalogue's name gets the same lock first, so an opening between two renames
// is refused as well. An open file description's lock (OFD): copies of qv.db made meanwhile open
// and close descriptors of it without dropping the lock.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class ExclusiveCatalogueLock {
  public:
    // Throws the holder's own failure, with the text given; never returns.
    using Refusal = std::function<void(const std::string& text)>;

    // Takes the lock on rowsFile when it exists (a link to nothing counts, and is refused as a
    // file that can't be opened); a directory without qv.db has no copy of the program in it
    // to keep out. work names what holds it ("repair") in the refusal, which says to close the
    // program and run it again, and that nothing was changed.
    ExclusiveCatalogueLock(const std::filesystem::path& rowsFile, std::string work, Refusal refuse);
    // Lets go of the lock by closing the descriptors: after every connection of its holder to
    // the files has closed.
    ~ExclusiveCatalogueLock();
    ExclusiveCatalogueLock(const ExclusiveCatalogueLock&) = delete;
    ExclusiveCatalogueLock& operator=(const ExclusiveCatalogueLock&) = delete;

    // Takes the same lock on file, a qv.db about to take the catalogue's name.
    void holdAlso(const std::filesystem::path& file);

  private:
    void release();

    std::string work_;
    Refusal refuse_;
    std::vector<int> descriptors_;
};

}  // namespace quorvel
