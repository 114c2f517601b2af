// The check of a catalogue: whether its two files are sound and agree with each other, without
// changing a byte of them (CheckConnection). In order: both files open as the pair of a
// catalogue, SQLite's integrity_check of each (pages, records, and every index against its
// table), every memo has its row, every row's sort keys are those of its fields, and nothing
// the program can't live with (ProgramLimits).
//
// Files in WAL mode, or with a change left unfinished beside them, are read from private copies
// under scratch (CatalogueReadings), so that nothing is made beside them. A hot journal is read
// both ways, rolled back and left out, and the check tells whether it belongs to the file.
//
// Construct, read work() for a progress display, then run().
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "check/CatalogueReadings.h"
#include "check/CheckConnection.h"
#include "check/CheckFinding.h"
#include "check/IntegrityEstimate.h"

namespace quorvel::check {

// What a hot journal beside the files is, by the two readings of them.
enum class JournalVerdict {
    None,          // no hot journal
    RollIn,        // rolled back the catalogue is sound, and left out it isn't or reads the same
    SetAside,      // left out the catalogue is sound, rolled back it isn't: not the files' own
    KeepBoth,      // sound either way, with other rows
    NeitherSound,  // damaged either way: rolled in, as the program would
};

class CatalogueCheck {
  public:
    // Opens the files in directory; what the opening finds is reported by run(). Throws
    // EDBEngineError when the copies needed can't be made under scratch.
    explicit CatalogueCheck(
        const std::filesystem::path& directory,
        const std::filesystem::path& scratch = std::filesystem::temp_directory_path());

    // The units of work run() tells progress in: about one per row it reads.
    std::uint64_t work() const;
    // Every finding; none when the catalogue is sound.
    std::vector<CheckFinding> run(const CheckProgress& progress);

    // After run(): what the hot journal beside the files is, and the readings it was told by.
    JournalVerdict journalVerdict() const { return verdict_; }
    // The readings, taken over by the caller (the check's own connection still reads them while
    // it lives); none when the files were read as they are.
    std::unique_ptr<CatalogueReadings> takeReadings() { return std::move(readings_); }

  private:
    struct AsItIs {};
    CatalogueCheck(const std::filesystem::path& directory, AsItIs);
    std::vector<CheckFinding> runOnFiles(const CheckProgress& progress);
    std::vector<CheckFinding> judgeJournals(std::vector<CheckFinding> asFound);

    std::unique_ptr<CatalogueReadings> readings_;
    CheckConnection connection_;
    IntegrityEstimate rowsEstimate_;
    IntegrityEstimate memoEstimate_;
    JournalVerdict verdict_ = JournalVerdict::None;
};

}  // namespace quorvel::check
