// The engine's LIKE: case-sensitive, "%" matches any run of characters, "_" one character
// (a whole UTF-8 sequence), and every other byte, a NUL byte too, only itself. The whole
// pattern counts, however long. SQLite's own LIKE stops reading a text at its first NUL byte
// (so "ab\0cd" looked for "ab", and "\0" matched every row) and refuses patterns longer than
// 50,000 bytes, so the engine puts this one in its place before it runs a condition.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

class LikePattern {
  public:
    explicit LikePattern(std::string_view pattern);

    bool matches(std::string_view text) const;

    // Makes LIKE (and NOT LIKE) on db use this class, unless it does already. Throws
    // EDBEngineError when SQLite refuses.
    static void install(sqlite3* db);

  private:
    // The pattern is split at each "%"; a piece holds literal bytes and "_", and must be found
    // in the text in order, the first at the start and the last at the end unless a "%" stands
    // before or after them.
    struct Piece {
        std::string bytes;
        std::size_t leadingAny = 0;  // "_" before the first literal byte
        std::size_t firstRun = 0;    // literal bytes after them, up to the next "_"
        std::size_t characters = 0;  // characters of text the piece matches
    };

    // Where piece, matched from at, ends in text; npos when it doesn't match there.
    static std::size_t matchAt(const Piece& piece, std::string_view text, std::size_t at);
    // The leftmost match of piece starting at or after from: its start and end, or npos.
    static std::pair<std::size_t, std::size_t> find(const Piece& piece, std::string_view text,
                                                    std::size_t from);

    std::vector<Piece> pieces_;   // the pieces that aren't empty
    bool hasAny_ = false;         // the pattern holds a "%"
    bool anyFirst_ = false;       // ... at its start
    bool anyLast_ = false;        // ... at its end
    std::size_t leastBytes_ = 0;  // no shorter text can match
};

}  // namespace quorvel
