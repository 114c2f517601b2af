// qvtool export: the catalogue's rows written as a CSV file, a header with the four field names
// in table order first. The rows are read by the store's CatalogueRowReader, as the program reads
// them: in the order the program shows, and all of them one state of the table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "csv/CsvWriter.h"
#include "engine/Engine.h"
#include "recordset/StatementComposer.h"
#include "rows/CatalogueRowReader.h"

namespace quorvel::tools {

class CsvExport {
  public:
    // Opens the catalogue in directory and the result in order. Throws EDBEngineError.
    CsvExport(const std::filesystem::path& directory, SortOrder order);
    ~CsvExport();
    CsvExport(const CsvExport&) = delete;
    CsvExport& operator=(const CsvExport&) = delete;

    std::uint64_t rowCount() const { return rows_->rowCount(); }

    // Writes every row to target, which must not exist yet (see CsvTargetFile), and returns how
    // many. progress is called now and then with the rows written. Throws std::runtime_error
    // when the file can't be written, EDBEngineError when the catalogue can't be read; no file
    // of that name is left behind then.
    std::uint64_t write(const std::filesystem::path& target,
                        const std::function<void(std::uint64_t)>& progress,
                        CsvDialect dialect = rfc4180Dialect);
    // The same rows to target as an .xlsx workbook (XlsxWriter), headed by the main window's
    // captions of the fields; throws as write does, and when a sheet can't hold a row.
    std::uint64_t writeWorkbook(const std::filesystem::path& target,
                                const std::function<void(std::uint64_t)>& progress);

  private:
    // Hands each row's fields, in table order, to write.
    std::uint64_t readRows(const std::function<void(std::span<const std::string_view>)>& write,
                           const std::function<void(std::uint64_t)>& progress);

    Engine engine_;
    std::unique_ptr<CatalogueRowReader> rows_;
};

}  // namespace quorvel::tools
