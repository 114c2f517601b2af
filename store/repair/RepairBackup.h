// The catalogue's files as they were before a repair, kept byte for byte in a new directory
// beside them, "qv-before-repair-YYYY-MM-DD-HHMMSS": qv.db, qv.mb, the WAL of either (its
// committed changes are part of the catalogue) and any journal a change left unfinished, so
// that the directory is itself the catalogue as it was and opens as one. It is written under a
// hidden temporary name and takes its own name only when every file in it is complete and
// synced: a directory of that name is never a partial copy.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::repair {

// Whether name is a journal a change of qv.db or qv.mb leaves beside it: a rollback journal or
// a super-journal.
bool isCatalogueJournal(const std::string& name);
// Whether name is the WAL of qv.db or qv.mb, or its index (-shm).
bool isCatalogueWal(const std::string& name);

// Copies the files of the catalogue in directory, each synced to the disk with the new
// directory. Throws RepairFailure (the partial copy removed) when they can't all be kept.
std::filesystem::path keepOriginals(const std::filesystem::path& directory,
                                    std::chrono::system_clock::time_point now);

// Puts back in directory each file kept in originals whose bytes are no longer those kept, by a
// rename of a synced copy, and removes the catalogue's files the repair made there (a journal):
// so a repair that can't end leaves the catalogue as it found it, and a file it never changed
// is left alone. Gives the names put back. Throws RepairFailure, the partial copy removed.
std::vector<std::string> restoreOriginals(const std::filesystem::path& originals,
                                          const std::filesystem::path& directory);

// What a repair or a restore that was stopped (killed, or the power gone) left in directory:
// its work directory, a partial copy of the originals, a partial file being put back. None of
// them is ever the only copy of anything: the kept originals are complete or not there, and a
// restore's work directory holds a copy of its backup. Removes them and gives each one's name
// and size, for the report.
std::vector<std::string> removeLeftovers(const std::filesystem::path& directory);

}  // namespace quorvel::repair
