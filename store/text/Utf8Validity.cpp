#include "text/Utf8Validity.h"

#include <algorithm>

namespace quorvel::utf8 {

Utf8Prefix validUtf8Prefix(std::string_view text) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return {i, false};
        }
        const std::size_t present = std::min(length, n - i);
        bool wellFormed = present < 2 || (bytes[i + 1] >= low && bytes[i + 1] <= high);
        for (std::size_t k = 2; wellFormed && k < present; ++k) {
            wellFormed = (bytes[i + k] & 0xC0) == 0x80;
        }
        if (!wellFormed || present < length) {
            return {i, wellFormed};
        }
        i += length;
    }
    return {n, false};
}

}  // namespace quorvel::utf8
