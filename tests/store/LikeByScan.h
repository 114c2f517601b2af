// LIKE as a plain scan does it, apart from the engine, for checking what searches find: "%"
// matches any run of bytes, "_" one character (a lead byte and its continuation bytes), and
// every other byte only itself.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quorvel::testing {

inline bool likeByScan(std::string_view text, std::string_view pattern) {
    // reachable[t]: the pattern read so far can have matched text[0, t).
    std::vector<char> reachable(text.size() + 1, 0);
    reachable[0] = 1;
    for (const char p : pattern) {
        std::vector<char> next(text.size() + 1, 0);
        for (std::size_t t = 0; t <= text.size(); ++t) {
            if (!reachable[t]) {
                continue;
            }
            if (p == '%') {
                for (std::size_t u = t; u <= text.size(); ++u) {
                    next[u] = 1;
                }
                break;
            }
            if (t == text.size()) {
                continue;
            }
            if (p == '_') {
                std::size_t u = t + 1;
                while (u < text.size() && (static_cast<unsigned char>(text[u]) & 0xC0) == 0x80) {
                    ++u;
                }
                next[u] = 1;
            } else if (p == text[t]) {
                next[t + 1] = 1;
            }
        }
        reachable.swap(next);
    }
    return reachable[text.size()] != 0;
}

}  // namespace quorvel::testing
