#include "csv/CsvSourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unicode/ucnv.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "csv/CsvReader.h"

namespace quorvel::tools {

namespace {

constexpr std::size_t pivotSize = 1 << 14;

UConverter* openConverter(const char* name, const std::filesystem::path& path) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (converter != nullptr) {
        // A byte without a character is an error to report, never a substitute to store.
        ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &status);
    }
    if (U_FAILURE(status)) {
        ucnv_close(converter);
        throw std::runtime_error(path.string() + ": no converter for " + name + " (" +
                                 u_errorName(status) + ")");
    }
    return converter;
}

}  // namespace

CsvSourceFile::CsvSourceFile(const std::filesystem::path& path, CsvEncoding encoding,
                             std::size_t largestBlock)
    : path_(path), encoding_(encoding), blockSize_(std::max<std::size_t>(largestBlock, 1)) {
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
    if (encoding == CsvEncoding::Utf8) {
        return;
    }
    try {
        from_ = openConverter(icuConverterName(encoding), path);
        to_ = openConverter("UTF-8", path);
    } catch (...) {
        ucnv_close(from_);
        ::close(fd_);
        throw;
    }
    raw_.resize(blockSize());
    pivot_.resize(pivotSize);
    pivotSource_ = pivotTarget_ = pivot_.data();
}

CsvSourceFile::~CsvSourceFile() {
    ucnv_close(to_);
    ucnv_close(from_);
    ::close(fd_);
}

std::string_view CsvSourceFile::head() {
    if (!headRead_) {
        headRead_ = true;
        // A converted text may be longer than the file: the head grows as it comes.
        std::size_t got = 0;
        for (std::size_t n = 1; n > 0 && got < blockSize_; got += n) {
            if (got == head_.size()) {
                head_.resize(std::min(blockSize_, std::max(2 * got, blockSize())));
            }
            n = readText(head_.data() + got, head_.size() - got);
        }
        head_.resize(got);
    }
    return std::string_view(head_).substr(headTaken_);
}

std::size_t CsvSourceFile::read(char* to, std::size_t room) {
    // No room would read as the end of a UTF-8 file and never end a conversion.
    assert(room > 0);
    if (!headRead_ || headTaken_ == head_.size()) {
        return readText(to, room);
    }
    const std::size_t n = std::min(room, head_.size() - headTaken_);
    std::memcpy(to, head_.data() + headTaken_, n);
    headTaken_ += n;
    return n;
}

std::uint64_t CsvSourceFile::taken() const {
    const std::uint64_t waiting = rawEnd_ - rawPos_ + (from_ ? 0 : head_.size() - headTaken_);
    return read_ - waiting;
}

std::size_t CsvSourceFile::blockSize() const {
    // 0 for a pipe, whose size is unknown (or an empty file).
    return size_ == 0 ? blockSize_
                      : static_cast<std::size_t>(std::min<std::uint64_t>(blockSize_, size_));
}

std::size_t CsvSourceFile::readFile(char* to, std::size_t room) {
    for (;;) {
        const ssize_t got = ::read(fd_, to, room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw std::runtime_error(path_.string() + ": " + std::strerror(errno));
        }
        read_ += static_cast<std::uint64_t>(got);
        return static_cast<std::size_t>(got);
    }
}

std::size_t CsvSourceFile::readText(char* to, std::size_t room) {
    return from_ == nullptr ? readFile(to, room) : convert(to, room);
}

std::size_t CsvSourceFile::convert(char* to, std::size_t room) {
    for (;;) {
        if (rawPos_ == rawEnd_ && !fileEnded_) {
            rawPos_ = 0;
            rawEnd_ = readFile(raw_.data(), raw_.size());
            fileEnded_ = rawEnd_ == 0;
        }
        char* target = to;
        const char* source = raw_.data() + rawPos_;
        UErrorCode status = U_ZERO_ERROR;
        ucnv_convertEx(to_, from_, &target, to + room, &source, raw_.data() + rawEnd_,
                       pivot_.data(), &pivotSource_, &pivotTarget_, pivot_.data() + pivot_.size(),
                       false, fileEnded_, &status);
        rawPos_ = static_cast<std::size_t>(source - raw_.data());
        if (U_FAILURE(status) && status != U_BUFFER_OVERFLOW_ERROR) {
            failConversion(status, to, target);
        }
        lineEnds_ += static_cast<std::uint64_t>(std::count(to, target, '\n'));
        if (target != to || (fileEnded_ && status == U_ZERO_ERROR)) {
            return static_cast<std::size_t>(target - to);
        }
    }
}

void CsvSourceFile::failConversion(int status, const char* to, const char* stop) {
    // The text before the bad bytes: handed out, put at to, or still between the converters.
    const std::uint64_t line =
        lineEnds_ + 1 + static_cast<std::uint64_t>(std::count(to, stop, '\n')) +
        static_cast<std::uint64_t>(std::count(pivotSource_, pivotTarget_, u'\n'));
    char bytes[32];
    std::int8_t length = sizeof bytes;
    UErrorCode ignored = U_ZERO_ERROR;
    ucnv_getInvalidChars(from_, bytes, &length, &ignored);
    std::string shown;
    for (std::int8_t i = 0; U_SUCCESS(ignored) && i < length; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", static_cast<unsigned char>(bytes[i]));
        shown += hex;
    }
    const std::string name = encodingName(encoding_);
    throw CsvError(line,
                   static_cast<UErrorCode>(status) == U_TRUNCATED_CHAR_FOUND
                       ? "the file ends inside a character of " + name + " (bytes" + shown + ")"
                       : "the bytes" + shown + " are no character of " + name);
}

}  // namespace quorvel::tools
