#include "text/LikePattern.h"

#include <memory>
#include <new>

#include "sqlite/SqliteStatement.h"

namespace quorvel {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool continues(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The start of the character after the one at i (i < text.size()).
std::size_t nextCharacter(std::string_view text, std::size_t i) {
    ++i;
    while (i < text.size() && continues(text[i])) {
        ++i;
    }
    return i;
}

// The start of the character before the one at i, not before floor (floor < i).
std::size_t previousCharacter(std::string_view text, std::size_t i, std::size_t floor) {
    --i;
    while (i > floor && continues(text[i])) {
        --i;
    }
    return i;
}

// A value's text with its length: NUL bytes in it stay. Throws bad_alloc when SQLite can't
// convert it.
std::string_view textOf(sqlite3_value* value) {
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
    const int size = sqlite3_value_bytes(value);
    if (bytes == nullptr && size > 0) {
        throw std::bad_alloc();
    }
    return bytes == nullptr ? std::string_view()
                            : std::string_view(bytes, static_cast<std::size_t>(size));
}

// like(pattern, text), which SQLite calls for "text LIKE pattern". The pattern is read once
// per statement and kept with it.
void like(sqlite3_context* context, int, sqlite3_value** arguments) {
    const int patternType = sqlite3_value_type(arguments[0]);
    const int textType = sqlite3_value_type(arguments[1]);
    if (patternType == SQLITE_NULL || textType == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    if (patternType == SQLITE_BLOB || textType == SQLITE_BLOB) {
        sqlite3_result_int(context, 0);  // the table keeps text as text; bytes match nothing
        return;
    }
    try {
        const auto* pattern = static_cast<const LikePattern*>(sqlite3_get_auxdata(context, 0));
        std::unique_ptr<LikePattern> made;
        if (pattern == nullptr) {
            made = std::make_unique<LikePattern>(textOf(arguments[0]));
            pattern = made.get();
        }
        sqlite3_result_int(context, pattern->matches(textOf(arguments[1])) ? 1 : 0);
        if (made) {
            // SQLite may free it at once: nothing here touches it afterwards.
            sqlite3_set_auxdata(context, 0, made.release(),
                                [](void* kept) { delete static_cast<LikePattern*>(kept); });
        }
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(context);
    }
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern) {
    hasAny_ = pattern.find('%') != npos;
    anyFirst_ = !pattern.empty() && pattern.front() == '%';
    anyLast_ = !pattern.empty() && pattern.back() == '%';
    std::size_t start = 0;
    while (start <= pattern.size()) {
        std::size_t end = pattern.find('%', start);
        if (end == npos) {
            end = pattern.size();
        }
        if (end > start) {
            Piece piece;
            piece.bytes = pattern.substr(start, end - start);
            while (piece.leadingAny < piece.bytes.size() && piece.bytes[piece.leadingAny] == '_') {
                ++piece.leadingAny;
            }
            const std::size_t runEnd = piece.bytes.find('_', piece.leadingAny);
            piece.firstRun = (runEnd == npos ? piece.bytes.size() : runEnd) - piece.leadingAny;
            for (char byte : piece.bytes) {
                piece.characters += continues(byte) ? 0 : 1;
            }
            leastBytes_ += piece.bytes.size();
            pieces_.push_back(std::move(piece));
        }
        start = end + 1;
    }
}

std::size_t LikePattern::matchAt(const Piece& piece, std::string_view text, std::size_t at) {
    const std::string& bytes = piece.bytes;
    std::size_t k = 0;
    while (k < bytes.size()) {
        if (bytes[k] == '_') {
            if (at >= text.size()) {
                return npos;
            }
            at = nextCharacter(text, at);
            ++k;
            continue;
        }
        std::size_t runEnd = bytes.find('_', k);
        if (runEnd == npos) {
            runEnd = bytes.size();
        }
        const std::size_t length = runEnd - k;
        if (text.size() - at < length ||
            text.substr(at, length) != std::string_view(bytes).substr(k, length)) {
            return npos;
        }
        at += length;
        k = runEnd;
    }
    return at;
}

std::pair<std::size_t, std::size_t> LikePattern::find(const Piece& piece, std::string_view text,
                                                      std::size_t from) {
    if (piece.firstRun == 0) {
        const std::size_t end = matchAt(piece, text, from);  // "_" alone: the earliest place
        return {end == npos ? npos : from, end};
    }
    std::size_t earliest = from;  // the literal bytes start after the leading "_"
    for (std::size_t i = 0; i < piece.leadingAny; ++i) {
        if (earliest >= text.size()) {
            return {npos, npos};
        }
        earliest = nextCharacter(text, earliest);
    }
    const std::string_view run =
        std::string_view(piece.bytes).substr(piece.leadingAny, piece.firstRun);
    for (std::size_t found = text.find(run, earliest); found != npos;
         found = text.find(run, found + 1)) {
        std::size_t start = found;
        for (std::size_t i = 0; i < piece.leadingAny && start > from; ++i) {
            start = previousCharacter(text, start, from);
        }
        const std::size_t end = matchAt(piece, text, start);
        if (end != npos) {
            return {start, end};
        }
    }
    return {npos, npos};
}

bool LikePattern::matches(std::string_view text) const {
    if (text.size() < leastBytes_) {
        return false;
    }
    if (!hasAny_) {
        return pieces_.empty() ? text.empty() : matchAt(pieces_.front(), text, 0) == text.size();
    }
    // Each piece is taken at its leftmost place: a piece matches a fixed number of characters,
    // so an earlier place leaves the most text for the pieces after it.
    std::size_t at = 0;
    std::size_t first = 0;
    std::size_t last = pieces_.size();
    if (!anyFirst_) {
        at = matchAt(pieces_.front(), text, 0);
        if (at == npos) {
            return false;
        }
        first = 1;
    }
    if (!anyLast_) {
        --last;
    }
    for (std::size_t i = first; i < last; ++i) {
        const auto [start, end] = find(pieces_[i], text, at);
        if (start == npos) {
            return false;
        }
        at = end;
    }
    if (anyLast_) {
        return true;
    }
    // The last piece ends the text: it starts as many characters before the end as it holds.
    const Piece& tail = pieces_.back();
    std::size_t start = text.size();
    for (std::size_t i = 0; i < tail.characters; ++i) {
        if (start <= at) {
            return false;
        }
        start = previousCharacter(text, start, at);
    }
    return matchAt(tail, text, start) == text.size();
}

void LikePattern::install(sqlite3* db) {
    // SQLite's own like() reads "%" NUL "%" as "%", which matches anything; ours doesn't. The
    // probe saves replacing the function each time, which would throw away every statement the
    // connection has prepared.
    {
        sqlite::Statement probe(db, "SELECT like(char(37, 0, 37), 'a')");
        if (probe.step() && probe.integer(0) == 0) {
            return;
        }
    }
    const int rc = sqlite3_create_function_v2(db, "like", 2,
                                              SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                                              nullptr, like, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite::raise(db, rc);
    }
}

}  // namespace quorvel
