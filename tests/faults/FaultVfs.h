// An SQLite file layer of the tests' own, over the platform's (unix) one, that counts every read,
// write, sync and lock the engine makes and can make any of them go wrong:
// - I/O errors: the Nth call of a kind fails with a given result code, once or from then on;
// - a power cut: after the Nth write event (write, truncate, sync or delete) the machine is
//   dead, and every later call fails. Until a file is synced its writes are only in the disk's
//   cache, so the layer keeps, per file, the contents as of its last sync and the writes since;
//   restoreAfterPowerCut() then rewrites each file as a disk could hold it after the cut: those
//   writes dropped, kept or torn (a page half written), as SQLite's own crash tests do. Deletes
//   reach the disk at once, as in those tests.
// Open the catalogue through it with Engine(directory, sqliteLibrary(), FaultVfs::name).
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quorvel::faults {

// Kinds of call. A truncate is a write; a delete that syncs its directory is a delete and then
// a sync (the directory's), in that order, as the platform layer makes them.
enum class Call { Read, Write, Sync, Lock, Delete };
inline constexpr int callKinds = 5;
const char* nameOf(Call kind);

// How the writes not yet synced fare in a power cut.
enum class Loss {
    DropAll,  // none of them reached the disk
    KeepAll,  // all of them did (no different from a killed process)
    Random,   // each kept, dropped or torn at random
};
const char* nameOf(Loss loss);

class FaultVfs {
  public:
    static constexpr const char* name = "quorvel-fault";
    // The layer, registered (not as the default) on first use.
    static FaultVfs& instance();

    // Clears counts, faults, the power cut and what is known of unsynced writes: the files as
    // they are now count as safely on disk.
    void reset();
    int count(Call kind) const { return counts_[static_cast<int>(kind)]; }
    // Writes, truncates, syncs and deletes so far: the moments at which the power can go.
    int writeEvents() const { return writeEvents_; }

    // The nth call (from 1) of kind since reset() fails with rc; persistent: every later one too.
    void failAt(Call kind, int n, int rc, bool persistent);
    int faultsInjected() const { return injected_; }

    // The power goes right after the nth write event (0: before the first one).
    void cutPowerAfter(int n) { cutAfter_ = n; }
    bool powerIsOff() const { return cutAfter_ >= 0 && writeEvents_ >= cutAfter_; }
    // Rewrites every file that had writes not yet synced as the disk holds it after the cut.
    // Call with the engine closed; reset() follows by itself.
    void restoreAfterPowerCut(Loss loss, std::uint32_t seed);

    // Used by the layer's own functions.
    int before(Call kind);  // counts the call; SQLITE_OK or the result code to fail it with
    void recordWrite(const std::string& path, sqlite3_file* real, std::int64_t offset,
                     const void* data, int amount);
    void recordTruncate(const std::string& path, sqlite3_file* real, std::int64_t size);
    void synced(const std::string& path) { unsynced_.erase(path); }
    void deleted(const std::string& path) { unsynced_.erase(path); }

  private:
    FaultVfs();
    struct Change {
        std::int64_t offset;  // a write's, or the size a truncate left
        std::string bytes;    // empty for a truncate
        bool truncate;
    };
    struct FileHistory {
        std::string synced;  // the contents as of the last sync
        std::vector<Change> changes;
    };
    FileHistory& historyOf(const std::string& path, sqlite3_file* real);

    std::array<int, callKinds> counts_{};
    int writeEvents_ = 0;
    Call faultKind_ = Call::Read;
    int faultAt_ = 0;  // 0: none
    int faultCode_ = SQLITE_OK;
    bool faultPersists_ = false;
    int injected_ = 0;
    int cutAfter_ = -1;
    std::map<std::string, FileHistory> unsynced_;
};

}  // namespace quorvel::faults
