// The repair of a catalogue whose tables can't be read whole: every row and memo text that can
// still be read from the damaged files is copied into a new, sound catalogue, built in a
// directory of its own, with its ids, fields and versions as they were and its sort keys made
// afresh. Rows and memo texts are read by scans that leap over damage (TolerantScan), and then
// one by one for each id the scans missed, up to the highest id the table gave or the sort
// indexes or memo texts know of. A memo text whose row is lost gets a row of its own, fields
// empty, as the in-place mend gives it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace quorvel::repair {

struct SalvageResult {
    std::uint64_t rowsKept = 0;
    // Rows the indexes or memo texts show existed that couldn't be read; the damaged pages
    // may have held more that nothing else knew of.
    std::uint64_t rowsLost = 0;
    std::uint64_t memosKept = 0;
    std::uint64_t memosGivenRows = 0;
    // Places where the scans of qv.db and qv.mb met damage; a qv.mb that can't be read at all
    // counts as one.
    std::uint64_t rowsDamage = 0;
    std::uint64_t memoDamage = 0;
};

// Builds the new catalogue in fresh (an empty directory) from the files in directory, which
// are only read. Throws RepairFailure when qv.db holds no readable table of rows, and
// EDBEngineError when the new files can't be written (a full disk, say).
SalvageResult salvageInto(const std::filesystem::path& directory,
                          const std::filesystem::path& fresh);

}  // namespace quorvel::repair
