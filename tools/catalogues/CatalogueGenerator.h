// Writes a large made-up catalogue for benchmarks, fast: through the store's row writer for a
// new catalogue (the same rules and sort keys as every row the program writes, in one
// transaction, without waiting for the disk). The table is created by the store first, so its
// schema, indexes and file checks are exactly those of an empty catalogue the program would
// open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace quorvel::tools {

// Fills a new catalogue in directory with rows issues of SyntheticIssues(seed). Refuses, touching
// nothing, when either file exists; removes what it made when it fails. Once the files are
// made, progress is called with 0 and then now and then with the number of rows written.
// Throws EDBEngineError.
void generateCatalogue(const std::filesystem::path& directory, std::uint64_t rows,
                       std::uint64_t seed, const std::function<void(std::uint64_t)>& progress);

}  // namespace quorvel::tools
