// Reads one sheet of a workbook (.ods or .xlsx) row by row with liborcus, as the records of a
// CSV file are read: a row is a record, its cells from column A on its fields, the row number its
// line. The kind of workbook is told from the file's content, not its name.
//
// A text cell arrives exactly as it is. Other cells arrive as a Czech spreadsheet shows them
// by default, since the file keeps their value, not the text shown: a number in its shortest
// form with a decimal comma ("12" for "0012" typed in, which the spreadsheet stored as 12;
// "1,5"), a date as D.M.YYYY ("15.3.1998"), with H:MM after it when it has a time of day, a truth
// value as PRAVDA or NEPRAVDA. A cell holding a formula is refused: its result is the
// spreadsheet's to compute, and a list is expected to hold values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "CsvReader.h"

namespace quorvel::tools {

enum class WorkbookKind { Ods, Xlsx };

// The kind of workbook the file at path is, from its content; nullopt for anything else (a CSV
// file, say). Throws std::runtime_error when the file can't be read.
std::optional<WorkbookKind> workbookKind(const std::filesystem::path& path);

class SheetReader : public RecordSource {
  public:
    // Reads the workbook and picks its first sheet, or the one named sheet. Throws
    // std::runtime_error ("PATH: reason") when it can't be read or has no such sheet.
    SheetReader(const std::filesystem::path& path, WorkbookKind kind,
                const std::optional<std::string>& sheet);
    ~SheetReader() override;

    const std::string& sheetName() const { return sheetName_; }

    // Throws CsvError for a cell that holds a formula.
    bool next(CsvRecord& record) override;
    void keepFields(std::size_t mostFields) override { mostFields_ = mostFields; }
    std::uint64_t bytesTaken() const override;
    std::uint64_t size() const override { return size_; }

  private:
    struct Workbook;
    std::unique_ptr<Workbook> workbook_;
    std::string sheetName_;
    std::uint64_t size_ = 0;
    std::size_t mostFields_ = SIZE_MAX;
    std::int32_t row_ = 0;
    std::int32_t rows_ = 0;
    std::int32_t columns_ = 0;
};

}  // namespace quorvel::tools
