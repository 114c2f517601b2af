// Whether a file's bytes are evidence that it is UTF-8. Well-formed UTF-8 alone is not: bytes of a
// Czech 8-bit file can happen to form it ("ÝŽ" in windows-1250 is a Syriac letter as UTF-8). What
// counts is the characters it decodes to: those a Czech or Slovak list may hold (Latin letters
// with their diacritics, also decomposed, Russian, typographic punctuation, currency and the
// like) are evidence, any other is not, and bytes that aren't UTF-8 at all count against it.
//
// The file is read from the start up to a good stretch past its first byte above ASCII, always
// to the end of a character, so a stretch ending inside a letter counts that letter whole.
#pragma once

#include <cstdint>
#include <filesystem>

namespace quorvel::tools {

struct Utf8Evidence {
    std::uint64_t plausible = 0;    // characters above ASCII a Czech or Slovak list may hold
    std::uint64_t implausible = 0;  // well-formed characters no such list holds
    std::uint64_t invalid = 0;      // bytes that start no well-formed character
    std::uint64_t firstInvalidLine = 0;
    std::uint64_t firstImplausibleLine = 0;

    // UTF-8 for sure: all ASCII, or more characters a list may hold than ones it doesn't. A
    // Czech 8-bit file hardly ever forms such a character by chance (it takes a capital followed
    // by a byte like Š), so a file that has them and bytes that aren't UTF-8 as well is a damaged
    // UTF-8 file, to be refused at its first bad line rather than read in another encoding,
    // which would garble its letters.
    bool isUtf8() const { return (invalid == 0 && implausible == 0) || plausible > implausible; }
};

// Throws std::runtime_error when the file can't be read.
Utf8Evidence weighUtf8(const std::filesystem::path& path);

// A character above ASCII that a Czech or Slovak list may hold after previous: a decomposed
// diacritic only on a letter that takes it (0 for previous: none known).
bool listCharacter(char32_t c, char32_t previous);

}  // namespace quorvel::tools
