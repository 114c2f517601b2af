// A backup as the program's export and qvtool backup write it: NAME.db and NAME.mb, the
// catalogue's qv.db and qv.mb under the name the user chose. Before it may replace a catalogue
// it is copied into a directory of the restore's own (as qv.db and qv.mb, synced), and that
// copy is checked: what is checked is what is put in place, whatever becomes of NAME meanwhile.
#pragma once

#include <cstdint>
#include <filesystem>

namespace quorvel::restore {

// What a sound backup holds.
struct BackupContents {
    std::uint64_t rows = 0;
    std::uint64_t memos = 0;
};

class BackupPair {
  public:
    // base: NAME, without an extension. Throws RestoreFailure when a file is missing or not a
    // regular file, or a journal or WAL with something in it lies beside one: such files were
    // copied in the middle of a change, so they needn't be one committed version.
    explicit BackupPair(const std::filesystem::path& base);

    std::filesystem::path rowsFile() const;
    std::filesystem::path memoFile() const;

    // Copies both files into work as qv.db and qv.mb, each synced with the directory. Throws
    // RestoreFailure.
    void stageInto(const std::filesystem::path& work) const;
    // Checks the pair staged in work: both files sound and one catalogue's pair. Throws
    // RestoreFailure naming what is wrong, with the way to save what the backup holds.
    BackupContents checkStaged(const std::filesystem::path& work) const;

  private:
    std::filesystem::path base_;
};

// The rows and memo texts of the catalogue in directory, read in one read transaction. Throws
// EDBEngineError.
BackupContents countContents(const std::filesystem::path& directory);

}  // namespace quorvel::restore
