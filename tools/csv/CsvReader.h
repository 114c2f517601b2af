// Reads a CSV file (RFC 4180) record by record, in large blocks, from its text as UTF-8
// (CsvSourceFile). Fields are separated by the delimiter, a comma unless told otherwise, and
// records by CR LF or LF; the last record may end without a line end. A field that starts with a
// double quote runs to the matching closing quote and may hold delimiters, line breaks (kept
// byte for byte) and doubled quotes (one quote each). A byte-order mark at the start of the text
// is skipped.
//
// Anything else is refused with CsvError on the line where its record begins: a quote inside a
// field that didn't start with one, text after a closing quote, a quoted field still open at
// the end of the file, a CR not followed by LF outside quotes, a field that isn't valid UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "csv/CsvSourceFile.h"

namespace quorvel::tools {

// A CSV file that can't be taken as it is: what is wrong, and the line (1-based) where the
// record at fault begins.
class CsvError : public std::runtime_error {
  public:
    CsvError(std::uint64_t line, const std::string& reason);
    std::uint64_t line() const { return line_; }
    const std::string& reason() const { return reason_; }

  private:
    std::uint64_t line_;
    std::string reason_;
};

// error as a failure of the file csv: "CSV:LINE: reason".
std::runtime_error inFile(const std::filesystem::path& csv, const CsvError& error);

struct CsvRecord {
    // The record's first min(count, mostFields) fields; strings after them are kept only so
    // their storage serves the next records.
    std::vector<std::string> fields;
    std::size_t count = 0;     // fields the record has
    bool droppedEmpty = true;  // whether the fields not kept are all empty
    std::uint64_t line = 0;    // where the record begins
};

// Where records come from: a CSV file, or a sheet of a workbook (SheetReader).
class RecordSource {
  public:
    virtual ~RecordSource() = default;
    // Reads the next record into record; false at the end. Throws CsvError, or
    // std::runtime_error when reading fails.
    virtual bool next(CsvRecord& record) = 0;
    // From the next record on, keeps its first mostFields fields.
    virtual void keepFields(std::size_t mostFields) = 0;
    // Bytes of the file taken so far, and its size when opened (0 for a pipe): for progress.
    virtual std::uint64_t bytesTaken() const = 0;
    virtual std::uint64_t size() const = 0;
};

class CsvReader : public RecordSource {
  public:
    // Fields of a record past mostFields are counted but not kept, so a line of a million
    // commas costs no memory. The text is taken blockSize bytes at a time (at least 1); any
    // size reads the same records. Throws std::runtime_error ("PATH: reason") when the file
    // can't be opened. The first form reads a UTF-8 file with commas, in blocks of blockSize.
    explicit CsvReader(const std::filesystem::path& path, std::size_t mostFields = SIZE_MAX,
                       std::size_t blockSize = CsvSourceFile::defaultBlockSize);
    CsvReader(std::unique_ptr<CsvSourceFile> source, char delimiter,
              std::size_t mostFields = SIZE_MAX,
              std::size_t blockSize = CsvSourceFile::defaultBlockSize);
    ~CsvReader() override;
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // Reads the next record into record; false at the end of the file. Throws CsvError, or
    // std::runtime_error when reading fails.
    bool next(CsvRecord& record) override;
    void keepFields(std::size_t mostFields) override { mostFields_ = mostFields; }
    std::uint64_t bytesTaken() const override;
    std::uint64_t size() const override;

  private:
    // Reads the next block; false at the end of the file.
    bool fill();
    // Passes over a byte-order mark at the start of the text, a byte at a time so that a block
    // of any size will do. Returns the bytes that began like one but weren't: the first
    // field's.
    std::string_view takeByteOrderMark();
    std::string& beginField(CsvRecord& record);
    void endField(CsvRecord& record);

    std::unique_ptr<CsvSourceFile> source_;
    char delimiter_;
    std::size_t mostFields_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t line_ = 1;  // the line pos_ stands on
    bool atStart_ = true;     // nothing read yet, not even a byte-order mark
    std::string* field_ = nullptr;
    std::string dropped_;  // the field being read past mostFields
};

}  // namespace quorvel::tools
