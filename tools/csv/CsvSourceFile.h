// The file an import reads, as UTF-8 text in blocks: a UTF-8 file is handed on byte for byte
// (its checking is the CSV reader's), a file in another encoding is converted by ICU on the
// way. A byte-order mark is not skipped here: it arrives as UTF-8's, whatever the encoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "csv/CsvInputDialect.h"

struct UConverter;

namespace quorvel::tools {

class CsvSourceFile {
  public:
    // Big enough that a read costs nothing per row, small enough to be no burden.
    static constexpr std::size_t defaultBlockSize = 1 << 20;

    // Reads the file blockSize bytes at a time at most (at least 1); head() is as many bytes of
    // text.
    // Throws std::runtime_error ("PATH: reason") when the file can't be opened or ICU has no
    // converter for the encoding.
    CsvSourceFile(const std::filesystem::path& path, CsvEncoding encoding,
                  std::size_t blockSize = defaultBlockSize);
    ~CsvSourceFile();
    CsvSourceFile(const CsvSourceFile&) = delete;
    CsvSourceFile& operator=(const CsvSourceFile&) = delete;

    // The first block of the text (all of it when shorter), read ahead so that its form can be
    // told before it is read; read() hands it out first.
    std::string_view head();
    // Puts up to room bytes (room > 0) of text at to and returns how many; 0 at the end. A
    // character may be handed out in pieces when room is short. Throws CsvError
    // on the line of bytes the encoding has no character for, std::runtime_error when reading
    // fails.
    std::size_t read(char* to, std::size_t room);

    // Bytes of the file, when opened (0 for a pipe), and those taken so far; a converted file
    // may be taken up to a block ahead of the text handed out.
    std::uint64_t size() const { return size_; }
    std::uint64_t taken() const;
    // A block of the file's bytes: the size asked for, or less for a shorter file, so that a
    // list of a few lines costs no megabytes.
    std::size_t blockSize() const;

  private:
    // Reads raw bytes of the file; 0 at its end.
    std::size_t readFile(char* to, std::size_t room);
    std::size_t readText(char* to, std::size_t room);
    std::size_t convert(char* to, std::size_t room);
    [[noreturn]] void failConversion(int status, const char* to, const char* stop);

    std::filesystem::path path_;
    CsvEncoding encoding_;
    std::size_t blockSize_;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t read_ = 0;  // bytes read from the file
    std::string head_;
    std::size_t headTaken_ = 0;
    bool headRead_ = false;

    // Conversion only: the file's bytes waiting, ICU's converters and the UTF-16 between them.
    UConverter* from_ = nullptr;
    UConverter* to_ = nullptr;
    std::vector<char> raw_;
    std::size_t rawPos_ = 0;
    std::size_t rawEnd_ = 0;
    bool fileEnded_ = false;
    std::vector<char16_t> pivot_;
    char16_t* pivotSource_ = nullptr;
    char16_t* pivotTarget_ = nullptr;
    std::uint64_t lineEnds_ = 0;  // LFs in the text handed out, for the line of a failure
};

}  // namespace quorvel::tools
