// A catalogue's two files read as SQLite would read them, from private copies, so that reading
// changes nothing beside them: the committed changes in the WAL of a file in WAL mode folded
// into its copy (reading the file itself would make -wal and -shm files beside it), and a change
// left unfinished (a hot journal) read both ways: rolled back, as the program's next opening
// would, and left out. SQLite can't tell a journal that belongs to the file from another's;
// the two readings, checked and compared, can.
//
// A journal is hot as SQLite tells it: there, with a journal header, no other process holding
// the file's reserved lock (a write under way), and, when it names a super-journal, that one
// there too (otherwise its change was committed).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::check {

class CatalogueReadings {
  public:
    // Whether reading the files in directory needs copies: either is in WAL mode, or has a hot
    // journal.
    static bool needed(const std::filesystem::path& directory);
    // Whether either file has a WAL beside it that isn't empty.
    static bool hasWal(const std::filesystem::path& directory);

    // Makes the readings in a new directory under parent. Throws
    // std::filesystem::filesystem_error when the copies can't be made.
    CatalogueReadings(const std::filesystem::path& directory, const std::filesystem::path& parent);
    // Removes the copies.
    ~CatalogueReadings();
    CatalogueReadings(const CatalogueReadings&) = delete;
    CatalogueReadings& operator=(const CatalogueReadings&) = delete;

    // Both files, the WAL folded in, journals left out.
    const std::filesystem::path& asFound() const { return asFound_; }
    // Both files with their hot journals rolled back; none when there is no hot journal.
    const std::optional<std::filesystem::path>& rolledBack() const { return rolledBack_; }
    // Why the journals couldn't be rolled back, when there are some and they couldn't.
    const std::string& rollbackFailure() const { return rollbackFailure_; }
    // The files ("qv.db", "qv.mb") that have a hot journal beside them.
    const std::vector<std::string>& journaled() const { return journaled_; }

    // Moves the rolled-back reading to to, on the same file system; it is no longer removed.
    void keepRolledBack(const std::filesystem::path& to);

  private:
    std::filesystem::path root_;
    std::filesystem::path asFound_;
    std::optional<std::filesystem::path> rolledBack_;
    std::string rollbackFailure_;
    std::vector<std::string> journaled_;
};

// A digest of every row's fields and every memo text of the catalogue in directory, read by id;
// nullopt when they can't all be read. Two readings with the same digest hold the same rows.
std::optional<std::uint64_t> contentDigest(const std::filesystem::path& directory);

}  // namespace quorvel::check
