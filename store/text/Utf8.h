// UTF-8 text helpers. The store counts text lengths in characters (code points), never bytes,
// and compares without regard to case the way field names and engine messages need it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::utf8 {

// Number of code points; a malformed byte counts as one character.
std::size_t length(std::string_view text);
// The first n code points of text (all of it when shorter); never splits a character.
std::string left(std::string_view text, std::size_t n);
// text without leading and trailing spaces, tabs, CR and LF.
std::string trim(std::string_view text);
// Case-insensitive equality: ASCII letters and the letters of Latin-1 and Latin Extended-A
// (which holds every Czech letter) fold to lower case.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
// text with the same folding applied.
std::string toLower(std::string_view text);
// Appends code point c to out as UTF-8.
void append(std::string& out, char32_t c);

}  // namespace quorvel::utf8
