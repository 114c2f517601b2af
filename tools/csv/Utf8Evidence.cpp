#include "csv/Utf8Evidence.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "csv/CsvSourceFile.h"
#include "text/Utf8Validity.h"

namespace quorvel::tools {

namespace {

// Bytes weighed from the first one above ASCII on: 8-bit Czech text fails within a word, and a
// damaged UTF-8 file still has its letters well-formed around the damage.
constexpr std::size_t evidenceBytes = 1 << 16;

char32_t decode(const unsigned char* bytes, std::size_t length) {
    char32_t c = length == 2 ? bytes[0] & 0x1FU : length == 3 ? bytes[0] & 0x0FU : bytes[0] & 0x07U;
    for (std::size_t k = 1; k < length; ++k) {
        c = (c << 6) | (bytes[k] & 0x3FU);
    }
    return c;
}

std::size_t sequenceLength(unsigned char lead) {
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
}

}  // namespace

bool listCharacter(char32_t c, char32_t previous) {
    const auto after = [previous](const char* bases) {
        return previous < 0x80 && previous != 0 && std::strchr(bases, int(previous)) != nullptr;
    };
    switch (c) {  // a diacritic of Czech or Slovak, decomposed, on a letter that takes it
        case 0x301:
            return after("aeiouylrAEIOUYLR");
        case 0x302:
            return after("oO");
        case 0x308:
            return after("aeouAEOU");
        case 0x30A:
            return after("uU");
        case 0x30C:
            return after("cdenrstzlCDENRSTZL");
        default:
            break;
    }
    return (c >= 0xA0 && c <= 0x17F && c != 0xAD) ||  // Latin-1, Latin Extended-A
           c == 0x2C7 || c == 0x2D8 || c == 0x2D9 || c == 0x2DB || c == 0x2DD ||  // diacritics
           c == 0x401 || c == 0x451 || (c >= 0x410 && c <= 0x44F) ||              // Russian
           (c >= 0x2010 && c <= 0x205E) ||  // dashes, quotes, ellipsis, bullets
           (c >= 0x20A0 && c <= 0x20CF) ||  // currency
           (c >= 0x2100 && c <= 0x214F);    // №, ™ and the like
}

Utf8Evidence weighUtf8(const std::filesystem::path& path) {
    Utf8Evidence evidence;
    CsvSourceFile file(path, CsvEncoding::Utf8);
    std::vector<char> block(file.blockSize());
    std::string text;  // what a character cut at the last block's end left, and the block
    std::uint64_t line = 1;
    bool nonAscii = false;
    std::size_t weighed = 0;  // bytes from the first one above ASCII on
    char32_t previous = 0;    // the character before, 0 after bytes that are none
    const auto invalidAt = [&](std::uint64_t at) {
        if (evidence.invalid++ == 0) {
            evidence.firstInvalidLine = at;
        }
    };
    for (std::size_t n;
         weighed < evidenceBytes && (n = file.read(block.data(), block.size())) > 0;) {
        text.append(block.data(), n);
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        std::size_t i = 0;
        while (i < text.size() && weighed < evidenceBytes) {
            if (!nonAscii) {
                const std::size_t ascii = static_cast<std::size_t>(
                    std::find_if(text.begin() + static_cast<std::ptrdiff_t>(i), text.end(),
                                 [](char c) { return c & 0x80; }) -
                    text.begin());
                line += static_cast<std::uint64_t>(
                    std::count(text.begin() + static_cast<std::ptrdiff_t>(i),
                               text.begin() + static_cast<std::ptrdiff_t>(ascii), '\n'));
                i = ascii;
                nonAscii = i < text.size();
                continue;
            }
            if (bytes[i] < 0x80) {
                previous = bytes[i];
                line += bytes[i] == '\n' ? 1 : 0;
                ++i;
                ++weighed;
                continue;
            }
            const std::size_t rest = std::min<std::size_t>(4, text.size() - i);
            const utf8::Utf8Prefix prefix = utf8::validUtf8Prefix(std::string_view(text).substr(
                i, sequenceLength(bytes[i]) <= rest ? sequenceLength(bytes[i]) : rest));
            if (prefix.valid == 0 && prefix.cutShort) {
                break;  // the block ends inside a character: the next one completes it
            }
            if (prefix.valid == 0) {
                previous = 0;
                invalidAt(line);
                ++i;
                ++weighed;
                continue;
            }
            const char32_t c = decode(bytes + i, prefix.valid);
            if (listCharacter(c, previous)) {
                ++evidence.plausible;
            } else if (evidence.implausible++ == 0) {
                evidence.firstImplausibleLine = line;
            }
            previous = c;
            i += prefix.valid;
            weighed += prefix.valid;
        }
        text.erase(0, i);
    }
    if (weighed < evidenceBytes && !text.empty()) {
        invalidAt(line);  // the file ends inside a character
    }
    return evidence;
}

}  // namespace quorvel::tools
