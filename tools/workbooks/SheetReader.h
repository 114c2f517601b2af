// Reads one sheet of a workbook (.ods or .xlsx) row by row, as the records of a CSV file are
// read: a row is a record, its cells from column A on up to the last with text its fields, the
// row number its line. The kind of workbook is told from the file's content, not its name; each
// kind is read from its own parts (OdsSheet, XlsxSheet), which say how a cell that isn't text
// arrives. Empty rows come only before a row with text.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "csv/CsvReader.h"

namespace quorvel::tools {

enum class WorkbookKind { Ods, Xlsx };

// The kind of workbook the file at path is, from its content; nullopt for a file that isn't a zip
// archive (a CSV file). Throws std::runtime_error for a zip archive that is neither kind.
std::optional<WorkbookKind> workbookKind(const std::filesystem::path& path);

class SheetReader : public RecordSource {
  public:
    // Reads the workbook and picks its first sheet, or the one named sheet. Throws
    // std::runtime_error ("PATH: reason") when it can't be read or has no such sheet.
    SheetReader(const std::filesystem::path& path, WorkbookKind kind,
                const std::optional<std::string>& sheet);
    ~SheetReader() override;

    const std::string& sheetName() const { return sheetName_; }

    // Throws CsvError on the row where the sheet can't be read.
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
};

}  // namespace quorvel::tools
