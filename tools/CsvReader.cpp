#include "CsvReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorvel::tools {

namespace {

// Big enough that a read costs nothing per row, small enough to be no burden.
constexpr std::size_t blockSize = 1 << 20;

enum class State {
    FieldStart,      // nothing of the field read yet
    Unquoted,        // inside a field that didn't start with a quote
    Quoted,          // inside quotes
    QuoteSeen,       // a quote inside quotes: the closing one, or the first of a doubled pair
    CarriageReturn,  // a CR outside quotes, which only LF may follow
};

bool endsUnquotedRun(char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

// Well-formed UTF-8 only: no overlong forms, no surrogates, nothing above U+10FFFF.
bool validUtf8(const std::string& text) {
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
            return false;
        }
        if (i + length > n || bytes[i + 1] < low || bytes[i + 1] > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

}  // namespace

CsvError::CsvError(std::uint64_t line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

CsvReader::CsvReader(const std::filesystem::path& path, std::size_t mostFields)
    : path_(path), mostFields_(mostFields), buffer_(blockSize) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0) {
        const int error = errno;
        if (fd_ >= 0) {
            ::close(fd_);
        }
        throw std::runtime_error(path.string() + ": " + std::strerror(error));
    }
    if (S_ISDIR(status.st_mode)) {
        ::close(fd_);
        throw std::runtime_error(path.string() + ": " + std::strerror(EISDIR));
    }
    size_ = S_ISREG(status.st_mode) ? static_cast<std::uint64_t>(status.st_size) : 0;
    // The byte-order mark: the first block holds it whole unless the file is shorter.
    while (end_ < 3 && fill()) {
    }
    if (end_ >= 3 && std::memcmp(buffer_.data(), "\xEF\xBB\xBF", 3) == 0) {
        pos_ = 3;
    }
}

CsvReader::~CsvReader() {
    ::close(fd_);
}

bool CsvReader::fill() {
    if (pos_ == end_) {
        pos_ = end_ = 0;
    }
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw std::runtime_error(path_.string() + ": " + std::strerror(errno));
        }
        end_ += static_cast<std::size_t>(got);
        taken_ += static_cast<std::uint64_t>(got);
        return got > 0;
    }
}

std::string& CsvReader::beginField(CsvRecord& record) {
    if (record.count >= mostFields_) {
        field_ = &dropped_;
    } else {
        if (record.count == record.fields.size()) {
            record.fields.emplace_back();
        }
        field_ = &record.fields[record.count];
    }
    ++record.count;
    field_->clear();
    return *field_;
}

void CsvReader::endField(const CsvRecord& record) const {
    if (!validUtf8(*field_)) {
        throw CsvError(record.line,
                       "field " + std::to_string(record.count) + " is not valid UTF-8");
    }
}

bool CsvReader::next(CsvRecord& record) {
    record.count = 0;
    record.line = line_;
    std::string* field = &beginField(record);
    State state = State::FieldStart;
    bool started = false;
    for (;;) {
        if (pos_ == end_ && !fill()) {
            if (!started) {
                record.count = 0;
                return false;
            }
            if (state == State::Quoted) {
                throw CsvError(record.line, "a quoted field is not closed by the end of the file");
            }
            if (state == State::CarriageReturn) {
                throw CsvError(record.line, "a CR that LF doesn't follow, outside quotes");
            }
            endField(record);
            return true;
        }
        started = true;
        const char* data = buffer_.data();
        const char c = data[pos_];
        switch (state) {
            case State::FieldStart:
                if (c == '"') {
                    ++pos_;
                    state = State::Quoted;
                    break;
                }
                state = State::Unquoted;
                [[fallthrough]];
            case State::Unquoted: {
                const std::size_t from = pos_;
                while (pos_ < end_ && !endsUnquotedRun(data[pos_])) {
                    ++pos_;
                }
                field->append(data + from, pos_ - from);
                if (pos_ == end_) {
                    break;
                }
                const char stop = data[pos_++];
                if (stop == ',') {
                    endField(record);
                    field = &beginField(record);
                    state = State::FieldStart;
                } else if (stop == '\n') {
                    ++line_;
                    endField(record);
                    return true;
                } else if (stop == '\r') {
                    state = State::CarriageReturn;
                } else {
                    throw CsvError(record.line, "a quote inside field " +
                                                    std::to_string(record.count) +
                                                    ", which doesn't start with one");
                }
                break;
            }
            case State::Quoted: {
                const void* quote = std::memchr(data + pos_, '"', end_ - pos_);
                const std::size_t stop =
                    quote != nullptr
                        ? static_cast<std::size_t>(static_cast<const char*>(quote) - data)
                        : end_;
                line_ += static_cast<std::uint64_t>(std::count(data + pos_, data + stop, '\n'));
                field->append(data + pos_, stop - pos_);
                pos_ = stop;
                if (quote != nullptr) {
                    ++pos_;
                    state = State::QuoteSeen;
                }
                break;
            }
            case State::QuoteSeen:
                ++pos_;
                if (c == '"') {
                    field->push_back('"');
                    state = State::Quoted;
                } else if (c == ',') {
                    endField(record);
                    field = &beginField(record);
                    state = State::FieldStart;
                } else if (c == '\n') {
                    ++line_;
                    endField(record);
                    return true;
                } else if (c == '\r') {
                    state = State::CarriageReturn;
                } else {
                    throw CsvError(record.line, "text after the closing quote of field " +
                                                    std::to_string(record.count));
                }
                break;
            case State::CarriageReturn:
                if (c != '\n') {
                    throw CsvError(record.line, "a CR that LF doesn't follow, outside quotes");
                }
                ++pos_;
                ++line_;
                endField(record);
                return true;
        }
    }
}

}  // namespace quorvel::tools
