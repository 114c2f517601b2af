// The issues of a CSV file, each as the four fields of a row of the table: the file read in the
// encoding and with the delimiter given or guessed (CsvDialectGuess), its header taken as the
// names of the columns (CsvColumns), then record by record. What spreadsheets write besides is
// passed over: a first line "sep=;" naming the delimiter (which the delimiter given still
// overrides), and records whose fields are all empty, blank rows and blank lines at the end.
// A file as export --excel writes it (a byte-order mark, semicolons, the four field names as
// the header) has the protection of its formula-like fields taken away (FormulaProtection). The
// import and its dry run both read through it, so that a dry run tells exactly what the import
// would do.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "csv/CsvInputDialect.h"
#include "csv/CsvReader.h"
#include "engine/CatalogueSchema.h"
#include "lists/CsvColumns.h"

namespace quorvel::tools {

struct CsvReadOptions {
    std::optional<CsvEncoding> encoding;  // guessed when not given
    std::optional<char> delimiter;        // guessed when not given
    bool ignoreExtra = false;             // columns that name no field are left out, not refused
    std::optional<std::string> sheet;     // of a workbook; its first when not given
};

struct CsvIssue {
    // In table order, empty for a field without a column; valid until the next read.
    std::array<std::string_view, schema::columns.size()> fields;
    std::size_t count = 0;   // fields of the record
    std::uint64_t line = 0;  // where the record begins
};

class CsvIssueReader {
  public:
    // Reads up to the header; a workbook (.ods or .xlsx, told by its content) is read from its
    // sheet (SheetReader), any other file as CSV. Throws std::runtime_error, "CSV:LINE: reason"
    // (for a workbook "FILE: sheet "NAME", row N: reason") when the form can't be told or the
    // header is refused, "CSV: reason" when the file can't be read.
    CsvIssueReader(const std::filesystem::path& csv, const CsvReadOptions& options);

    // The sheet read, for a workbook; the encoding and delimiter for a CSV file.
    const std::optional<std::string>& sheetName() const { return sheetName_; }
    const CsvInputDialect& dialect() const { return dialect_; }
    const CsvColumns& columns() const { return *columns_; }

    // Reads the next issue, passing over empty records; false at the end of the file. Throws
    // CsvError for a record that isn't CSV, std::runtime_error when reading fails.
    bool next(CsvIssue& issue);
    // Empty records passed over so far.
    std::uint64_t emptyRecords() const { return emptyRecords_; }
    // The reason issue can't be a row of the table; empty when it can.
    std::string problemOf(const CsvIssue& issue) const;

    // Where a record begins, as messages name it: "line N", or "sheet "NAME", row N".
    std::string place(std::uint64_t line) const;
    // error as a failure of the file, with its place.
    std::runtime_error failure(const CsvError& error) const;

    // Bytes of the file, and those taken so far: for progress.
    std::uint64_t size() const { return reader_->size(); }
    std::uint64_t bytesTaken() const { return reader_->bytesTaken(); }

  private:
    void readCsvHeader(const CsvReadOptions& options);
    // Throws CsvError.
    void readHeader(bool ignoreExtra);

    std::filesystem::path path_;
    std::optional<std::string> sheetName_;
    CsvInputDialect dialect_;
    std::unique_ptr<RecordSource> reader_;
    std::unique_ptr<CsvColumns> columns_;
    CsvRecord record_;
    std::uint64_t emptyRecords_ = 0;
    bool protectedFormulas_ = false;  // the file is as export --excel writes it
};

}  // namespace quorvel::tools
