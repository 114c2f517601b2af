// The check of a catalogue: whether its two files are sound and agree with each other, without
// changing a byte of them (CheckConnection). In order: both files open as the pair of a
// catalogue, SQLite's integrity_check of each (pages, records, and every index against its
// table), every memo has its row, and every row's sort keys are those of its fields.
//
// Construct, read work() for a progress display, then run().
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "check/CheckConnection.h"
#include "check/CheckFinding.h"
#include "check/IntegrityEstimate.h"

namespace quorvel::check {

class CatalogueCheck {
  public:
    // Opens the files in directory; what the opening finds is reported by run().
    explicit CatalogueCheck(const std::filesystem::path& directory);

    // The units of work run() tells progress in: about one per row it reads.
    std::uint64_t work() const;
    // Every finding; none when the catalogue is sound.
    std::vector<CheckFinding> run(const CheckProgress& progress);

  private:
    CheckConnection connection_;
    IntegrityEstimate rowsEstimate_;
    IntegrityEstimate memoEstimate_;
};

}  // namespace quorvel::check
