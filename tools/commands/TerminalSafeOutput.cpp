#include "commands/TerminalSafeOutput.h"

namespace quorvel::tools {

namespace {

constexpr unsigned char c1Lead = 0xC2;  // UTF-8's lead byte of U+0080 to U+00BF

}  // namespace

TerminalSafeBuffer::~TerminalSafeBuffer() {
    if (crPending_) {
        putEscaped("\\x", '\r', 2);
    }
    if (leadPending_) {
        put(static_cast<char>(c1Lead));
    }
    target_->pubsync();
}

bool TerminalSafeBuffer::putEscaped(const char* prefix, unsigned value, int digits) {
    static const char hex[] = "0123456789ABCDEF";
    for (const char* p = prefix; *p != '\0'; ++p) {
        if (!put(*p)) {
            return false;
        }
    }
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
        if (!put(hex[(value >> shift) & 0xF])) {
            return false;
        }
    }
    return true;
}

TerminalSafeBuffer::int_type TerminalSafeBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const auto byte = static_cast<unsigned char>(traits_type::to_char_type(c));
    bool written = true;
    if (crPending_) {
        // CR LF is a line end (the engine's messages break lines so); a CR alone returns to the
        // start of the line and would write over what was said.
        crPending_ = false;
        written = byte == '\n' ? put('\r') : putEscaped("\\x", '\r', 2);
    }
    if (leadPending_) {
        leadPending_ = false;
        if (byte >= 0x80 && byte <= 0x9F) {
            return written && putEscaped("\\u00", byte, 2) ? c : traits_type::eof();
        }
        written = written && put(static_cast<char>(c1Lead));
    }
    if (byte == c1Lead) {
        leadPending_ = true;
    } else if (byte == '\r') {
        crPending_ = true;
    } else if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) {
        written = written && putEscaped("\\x", byte, 2);
    } else {
        written = written && put(static_cast<char>(byte));
    }
    return written ? c : traits_type::eof();
}

int TerminalSafeBuffer::sync() {
    // A held lead byte waits for its follower: a character isn't split by a flush.
    return target_->pubsync();
}

TerminalSafeOutput::TerminalSafeOutput(std::ostream& stream)
    : stream_(stream), original_(stream.rdbuf()), buffer_(original_) {
    stream_.rdbuf(&buffer_);
}

TerminalSafeOutput::~TerminalSafeOutput() {
    stream_.flush();
    stream_.rdbuf(original_);
}

}  // namespace quorvel::tools
