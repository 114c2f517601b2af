// The catalogue's files as they were before a repair, kept byte for byte in a new directory
// beside them, "qv-before-repair-YYYY-MM-DD-HHMMSS": qv.db, qv.mb and any journal a change
// left unfinished, so that the directory is itself the catalogue as it was and opens as one.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace quorvel::repair {

// Whether name is a journal a change of qv.db or qv.mb leaves beside it: a rollback journal or
// a super-journal.
bool isCatalogueJournal(const std::string& name);

// Writes a file's or a directory's changes to the disk. Throws std::filesystem::filesystem_error.
void syncToDisk(const std::filesystem::path& path);

// Copies the files of the catalogue in directory, each synced to the disk with the new
// directory. Throws RepairFailure (the partial copy removed) when they can't all be kept.
std::filesystem::path keepOriginals(const std::filesystem::path& directory,
                                    std::chrono::system_clock::time_point now);

// Puts the files kept in originals back in directory, each by a rename of a copy, so that a
// repair that can't end leaves the catalogue as it found it. Throws RepairFailure.
void restoreOriginals(const std::filesystem::path& originals,
                      const std::filesystem::path& directory);

}  // namespace quorvel::repair
