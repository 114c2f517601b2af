// The two ways a checked backup, staged as qv.db and qv.mb in a directory beside the
// catalogue, takes the catalogue's place.
//
// In one commit: the catalogue's own files are emptied and filled from the staged pair in one
// SQLite transaction across both, in rollback-journal mode with full syncs, as the program
// writes. Its super-journal makes the pair change on both files or neither: killed at any
// moment, the directory holds the old catalogue (SQLite rolls the restore's journals back at the
// next opening) or the restored one. The old files' own rollback journal, if one was left, is
// rolled back into the old files by SQLite before the transaction begins, so it never reaches
// the restored rows.
//
// By renames: for a catalogue whose files can't take a transaction (missing, not SQLite
// databases, too damaged). The staged files are renamed over the old ones, qv.mb first; the old
// files' journals are removed first, as they must never be rolled into the new files.
#pragma once

#include <filesystem>
#include <string>

namespace quorvel::restore {

class RestoreLock;

// Whether the catalogue's files took the staged pair in one commit; when not, why (SQLite's
// words), and the files are as they were.
struct OneCommitResult {
    bool installed = false;
    std::string whyNot;
    // Another process kept the files locked past the busy timeout: they are sound, only busy.
    bool busy = false;
};

OneCommitResult installInOneCommit(const std::filesystem::path& directory,
                                   const std::filesystem::path& staged);

// Throws RestoreFailure, saying where the files are, when a rename fails.
void installByRenames(const std::filesystem::path& directory, const std::filesystem::path& staged,
                      RestoreLock& lock);

}  // namespace quorvel::restore
