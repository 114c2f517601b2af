// Damage done to a catalogue's two files, drawn from a seed so that any case of a run can be made
// again: truncated files, flipped bytes, pages swapped, header fields changed, the two files
// swapped, an empty file, a text file.
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
    TextFile
};
inline constexpr int damageKindCount = 7;

const char* nameOf(DamageKind kind);

class CatalogueDamage {
  public:
    // Damage of the given kind, its details drawn from seed.
    CatalogueDamage(DamageKind kind, std::uint64_t seed);

    // Damages qv.db, qv.mb or both in directory; describes what it did, for a failure's message.
    std::string apply(const std::filesystem::path& directory) const;

  private:
    std::string damageFile(std::string& bytes, std::uint64_t seed) const;

    DamageKind kind_;
    std::uint64_t seed_;
};

}  // namespace quorvel::testing
