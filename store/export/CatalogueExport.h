// The export of the catalogue: the table's two files copied byte for byte, as they lie on disk,
// under a name the user chose. Sources are StartDir + "/qv.db" and + "/qv.mb", targets B + ".db"
// and B + ".mb", nothing stripped from B.
//
// The whole export runs under the engine's shared lock on both files (TableReadLock), so the
// copy is one committed version of the pair even while another running copy of the program
// writes, and the table's files are read through the engine's own handles, so that no
// descriptor of them is opened or closed here: closing one would silently drop every POSIX lock
// this process holds on the file, the engine's among them. Sources and targets are first reached
// by descriptors that read and write nothing (O_PATH), whose closing drops no lock, so a file is
// known to be one of the table's before anything else opens it. A source that is not one of
// the engine's open files is then opened and read through that descriptor.
//
// Each file is copied as the program always has (open source, create target truncating it, copy
// in steps, close source then target); on a failure the target is deleted if this copy opened
// it. Two faults are mended: a target that is one of the table's own files, by any path or link,
// is refused before a byte of it changes, and a write that stores fewer bytes than were read is
// a failure, so a backup is never left silently short.
//
// A caller may follow a long copy: run() reports how far it has come after every step, on the
// caller's thread, so that a window can show it without a second thread near the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "export/CopyIo.h"

namespace quorvel {

class Database;

namespace export_text {
inline constexpr const char* copyFailed = "Nepodařilo se zkopírovat soubor!";
// The text that asks the user to remove a bad copy that couldn't be deleted.
std::string removeFailed(const std::string& target);
}  // namespace export_text

// How far an export has come: copied bytes of the two files together, of total, their sizes
// when the export began. copied never falls and never passes total; it reaches total when both
// files were copied whole. A report that throws fails the file being copied, as a read error
// would.
using CopyProgress = std::function<void(std::uint64_t copied, std::uint64_t total)>;

class CatalogueExport {
  public:
    // Of the reads and writes where the files can't be copied inside the kernel. 1 MiB: few
    // calls per file; the bytes on disk are the same at any step.
    static constexpr std::size_t defaultStep = std::size_t{1} << 20;
    // Of one copy inside the kernel while progress is reported: small enough for the progress
    // window to move several times a second on a disk; without reports the kernel is asked for
    // whole files.
    static constexpr std::size_t progressStep = std::size_t{4} << 20;

    // database: the engine's open connection to the table; it stays open and usable.
    explicit CatalogueExport(Database& database);
    // io: the file operations under the copy; step: the bytes moved by one read and one write.
    CatalogueExport(Database& database, CopyIo& io, std::size_t step = defaultStep);
    CatalogueExport(const CatalogueExport&) = delete;
    CatalogueExport& operator=(const CatalogueExport&) = delete;

    // Copies startDir's qv.db to base + ".db", then its qv.mb to base + ".mb", the second
    // whatever became of the first. Gives the texts of the error boxes to show, in order; none
    // on success. The boxes are left to the caller so that none waits for the user while the
    // shared lock is held. Failures of the files are reported this way only, never raised.
    // progress, if given, is called after every step of the copy: at most progressStep bytes
    // apart inside the kernel, the io step apart by reads and writes.
    std::vector<std::string> run(const std::string& startDir, const std::string& base,
                                 const CopyProgress& progress = {});

  private:
    Database& database_;
    CopyIo realIo_;
    CopyIo& io_;
    std::size_t step_;
};

}  // namespace quorvel
