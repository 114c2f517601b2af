#include "csv/CsvReader.h"

#include <algorithm>
#include <cstring>

#include "csv/CsvSourceFile.h"
#include "text/Utf8Validity.h"

namespace quorvel::tools {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

enum class State {
    FieldStart,      // nothing of the field read yet
    Unquoted,        // inside a field that didn't start with a quote
    Quoted,          // inside quotes
    QuoteSeen,       // a quote inside quotes: the closing one, or the first of a doubled pair
    CarriageReturn,  // a CR outside quotes, which only LF may follow
};

}  // namespace

CsvError::CsvError(std::uint64_t line, const std::string& reason)
    : std::runtime_error("line " + std::to_string(line) + ": " + reason),
      line_(line),
      reason_(reason) {}

std::runtime_error inFile(const std::filesystem::path& csv, const CsvError& error) {
    return std::runtime_error(csv.string() + ":" + std::to_string(error.line()) + ": " +
                              error.reason());
}

CsvReader::CsvReader(const std::filesystem::path& path, std::size_t mostFields,
                     std::size_t blockSize)
    : CsvReader(std::make_unique<CsvSourceFile>(path, CsvEncoding::Utf8, blockSize), ',',
                mostFields, blockSize) {}

CsvReader::CsvReader(std::unique_ptr<CsvSourceFile> source, char delimiter, std::size_t mostFields,
                     std::size_t blockSize)
    : source_(std::move(source)),
      delimiter_(delimiter),
      mostFields_(mostFields),
      buffer_(std::clamp<std::size_t>(blockSize, 1, source_->blockSize())) {}

CsvReader::~CsvReader() = default;

std::uint64_t CsvReader::bytesTaken() const {
    const std::uint64_t taken = source_->taken();
    return taken - std::min<std::uint64_t>(taken, end_ - pos_);
}

std::uint64_t CsvReader::size() const {
    return source_->size();
}

bool CsvReader::fill() {
    if (pos_ == end_) {
        pos_ = end_ = 0;
    }
    const std::size_t got = source_->read(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    return got > 0;
}

std::string_view CsvReader::takeByteOrderMark() {
    std::size_t matched = 0;
    while (matched < byteOrderMark.size() && (pos_ < end_ || fill()) &&
           buffer_[pos_] == byteOrderMark[matched]) {
        ++pos_;
        ++matched;
    }
    return matched == byteOrderMark.size() ? std::string_view() : byteOrderMark.substr(0, matched);
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

void CsvReader::endField(CsvRecord& record) {
    record.droppedEmpty = record.droppedEmpty && (field_ != &dropped_ || dropped_.empty());
    if (!utf8::validUtf8(*field_)) {
        throw CsvError(record.line,
                       "field " + std::to_string(record.count) + " is not valid UTF-8");
    }
}

bool CsvReader::next(CsvRecord& record) {
    record.count = 0;
    record.droppedEmpty = true;
    record.line = line_;
    std::string* field = &beginField(record);
    State state = State::FieldStart;
    bool started = false;
    if (atStart_) {
        atStart_ = false;
        // None of the mark's bytes is a quote, a delimiter or a line end: they begin a field.
        if (const std::string_view begun = takeByteOrderMark(); !begun.empty()) {
            field->append(begun);
            state = State::Unquoted;
            started = true;
        }
    }
    // A copy the compiler can keep in a register: the buffer's chars may alias the member.
    const char delimiter = delimiter_;
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
                while (pos_ < end_ && data[pos_] != delimiter && data[pos_] != '"' &&
                       data[pos_] != '\r' && data[pos_] != '\n') {
                    ++pos_;
                }
                field->append(data + from, pos_ - from);
                if (pos_ == end_) {
                    break;
                }
                const char stop = data[pos_++];
                if (stop == delimiter) {
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
                } else if (c == delimiter) {
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
