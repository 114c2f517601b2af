// Damage done to a catalogue's two files, drawn from a seed so that any case of a run can be made
// again: truncated files, flipped bytes, pages swapped, header fields changed, the two files
// swapped, an empty file, a text file; and what other programs and failures leave: committed
// changes still in a WAL, the journal of another catalogue's killed import, a user's column,
// table and trigger, page 1 zeroed, a repair killed while it kept the originals.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quorvel::testing {

enum class DamageKind {
    Truncated,
    BytesFlipped,
    PagesSwapped,
    HeaderChanged,
    FilesSwapped,
    EmptyFile,
    TextFile,
    WalCommitted,
    ForeignJournal,
    UserAdditions,
    PageOneZeroed,
    KilledDuringBackup
};
inline constexpr int damageKindCount = 12;
// The kinds that damage the files' bytes alone, the first ones.
inline constexpr int fileDamageKindCount = 7;

const char* nameOf(DamageKind kind);

class CatalogueDamage {
  public:
    // Damage of the given kind, its details drawn from seed.
    CatalogueDamage(DamageKind kind, std::uint64_t seed);

    // Damages qv.db, qv.mb or both in directory; describes what it did, for a failure's message.
    std::string apply(const std::filesystem::path& directory) const;

  private:
    std::string damageFile(std::string& bytes, std::uint64_t seed) const;
    std::string leaveWal(const std::filesystem::path& directory) const;
    std::string leaveForeignJournal(const std::filesystem::path& directory) const;
    std::string addUsersObjects(const std::filesystem::path& directory) const;
    std::string leaveStoppedBackup(const std::filesystem::path& directory) const;
    // Flips a few bytes past page 1 of qv.db, or none; says what it did.
    std::string flipSome(const std::filesystem::path& directory, std::uint64_t seed) const;

    DamageKind kind_;
    std::uint64_t seed_;
};

}  // namespace quorvel::testing
