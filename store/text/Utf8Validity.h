// Whether bytes are well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
// Read ahead in blocks, a text may end inside a character; validUtf8Prefix tells that apart from
// bytes that can't be UTF-8 at all.
#pragma once

#include <cstddef>
#include <string_view>

namespace quorvel::utf8 {

struct Utf8Prefix {
    std::size_t valid = 0;  // bytes of whole, well-formed characters from the start
    bool cutShort = false;  // the bytes after them start a well-formed character the text ends in
};

Utf8Prefix validUtf8Prefix(std::string_view text);

inline bool validUtf8(std::string_view text) {
    return validUtf8Prefix(text).valid == text.size();
}

}  // namespace quorvel::utf8
