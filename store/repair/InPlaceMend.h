// The repair of a catalogue whose tables read whole: in one transaction across both files, the
// sort indexes are dropped and built afresh from the table (a damaged index is never read), every
// row's sort keys are made from its fields, a memo text without its row gets a row of its
// own, fields empty, so that the program shows it again, and a trigger of the user's, which
// can make every Save fail, is dropped (its definition stays with the kept originals). No row's
// fields and no memo text change. A catalogue of the unkeyed format is first brought up to the
// current one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::repair {

// Pages too damaged for a mend in place: the files need the rebuild.
class InPlaceDamage : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct InPlaceResult {
    std::uint64_t keysMade = 0;        // rows whose sort keys were not their fields'
    std::uint64_t memosGivenRows = 0;  // memo texts that had no row
    // Triggers of the user's, dropped: the program allows none ("qv.db: trigger name").
    std::vector<std::string> triggersDropped;
    // The ids of the memo texts that had no row.
    std::vector<std::int64_t> memoIdsGivenRows;
    // The two files' counts of changes of both, when they differed (files from different
    // moments): both now hold the higher.
    std::int64_t rowsCommits = 0;
    std::int64_t memoCommits = 0;
};

// Throws EDBEngineError when the files can't be read or written to the end, and InPlaceDamage
// when SQLite's integrity check finds their pages damaged before the commit: nothing is changed
// then (SQLite rolls the transaction back). Files of a format newer than this qvtool knows are
// for the caller to refuse first.
InPlaceResult mendInPlace(const std::filesystem::path& directory);

}  // namespace quorvel::repair
