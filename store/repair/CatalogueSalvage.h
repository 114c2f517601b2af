// The repair of a catalogue whose tables can't be read whole: every row and memo text that can
// still be read from the damaged files is copied into a new, sound catalogue, built in a
// directory of its own, with its ids, fields (of the type they were stored as) and versions as
// they were and its sort keys made afresh. Rows and memo texts are read by scans that leap over
// damage (TolerantScan), and then one by one for each id the scans missed, up to the highest id
// the table gave or the sort indexes or memo texts know of. A memo text whose row is lost gets a
// row of its own, fields empty, as the in-place mend gives it. Columns the user added to the
// table come along with their values; the user's own tables, views and indexes too
// (UserObjects). Files in WAL mode are read with their WAL's committed changes, from a copy. A
// qv.mb whose first page (its header and schema) is lost is read through a copy given the first
// page of a new one; a missing qv.db leaves the memo texts, each given a row of its own.
//
// What couldn't be kept is named by id, for the report.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "repair/UserObjects.h"

namespace quorvel::repair {

// Ids from first to last.
struct IdRange {
    std::int64_t first = 0;
    std::int64_t last = 0;
};

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
    bool rowsFileMissing = false;    // qv.db was not there: the memo texts got rows
    bool memoSchemaRebuilt = false;  // qv.mb's first page was made again to read it

    bool memoUnreadable = false;                 // qv.mb couldn't be read at all
    std::vector<std::int64_t> rowsLostIds;       // known rows that couldn't be read
    std::vector<IdRange> rowsUnread;             // ids under damage not read: rows there lost
    std::vector<IdRange> memosUnread;            // the same for memo texts
    std::vector<std::int64_t> memoIdsGivenRows;  // memo texts without a row, given one
    std::vector<std::int64_t> memosReplaced;     // read twice, differently: the later is kept
    std::vector<std::int64_t> fieldsLostIds;  // rows whose columns of the user's couldn't be read
    std::vector<std::string> columnsKept;     // the user's columns of qv
    UserObjectsCarried objects;
};

// Builds the new catalogue in fresh (an empty directory) from the files in directory, which
// are only read. Throws RepairFailure when qv.db holds no readable table of rows, and
// EDBEngineError when the new files can't be written (a full disk, say).
SalvageResult salvageInto(const std::filesystem::path& directory,
                          const std::filesystem::path& fresh);

}  // namespace quorvel::repair
