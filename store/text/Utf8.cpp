#include "text/Utf8.h"

#include <cstdint>

namespace quorvel::utf8 {

namespace {

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length in bytes of the character starting at text[i]; a malformed sequence is one byte.
std::size_t charLength(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t expected = 1;
    if (lead >= 0xF0 && lead < 0xF8) {
        expected = 4;
    } else if (lead >= 0xE0) {
        expected = lead < 0xF0 ? 3 : 1;
    } else if (lead >= 0xC0) {
        expected = 2;
    }
    if (i + expected > text.size()) {
        return 1;
    }
    for (std::size_t k = 1; k < expected; ++k) {
        if (!isContinuation(static_cast<unsigned char>(text[i + k]))) {
            return 1;
        }
    }
    return expected;
}

char32_t decode(std::string_view text, std::size_t i, std::size_t n) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    switch (n) {
        case 2:
            return ((b(0) & 0x1Fu) << 6) | (b(1) & 0x3Fu);
        case 3:
            return ((b(0) & 0x0Fu) << 12) | ((b(1) & 0x3Fu) << 6) | (b(2) & 0x3Fu);
        case 4:
            return ((b(0) & 0x07u) << 18) | ((b(1) & 0x3Fu) << 12) | ((b(2) & 0x3Fu) << 6) |
                   (b(3) & 0x3Fu);
        default:
            return b(0);
    }
}

char32_t foldCase(char32_t c) {
    if (c >= 'A' && c <= 'Z') {
        return c + 32;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 32;
    }
    // Latin Extended-A pairs its capitals and small letters; 0x130-0x131 and 0x178 are not pairs.
    if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) {
        return c | 1u;
    }
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
        return (c & 1u) ? c + 1 : c;
    }
    return c;
}

}  // namespace

void append(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::size_t length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); i += charLength(text, i)) {
        ++count;
    }
    return count;
}

std::string left(std::string_view text, std::size_t n) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < text.size() && count < n; ++count) {
        i += charLength(text, i);
    }
    return std::string(text.substr(0, i));
}

std::string trim(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

std::string toLower(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = charLength(text, i);
        if (n == 1 && static_cast<unsigned char>(text[i]) >= 0x80) {
            out += text[i];  // malformed byte: keep as it is
        } else {
            append(out, foldCase(decode(text, i, n)));
        }
        i += n;
    }
    return out;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return toLower(a) == toLower(b);
}

}  // namespace quorvel::utf8
