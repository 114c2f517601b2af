// What importing a list would do, told without doing it: the file read through the import's own
// reader (CsvIssueReader) and every row checked by the import's own rules, so the preview can't
// differ from what the import then does with the same file and options. The catalogue isn't
// opened at all.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/CatalogueSchema.h"
#include "lists/CsvIssueReader.h"

namespace quorvel::ui {

struct PreviewRow {
    QString place;  // "řádek 2", or "list „List1“, řádek 2"
    std::array<QString, schema::columns.size()> fields;
};

// A refused row: where it begins, and why. The reasons are shared: a file may refuse a million
// rows for one reason.
struct PreviewRefusal {
    std::uint64_t line = 0;
    QString reason;
};

class ImportPreview {
  public:
    // Rows kept to be shown as they would be stored.
    static constexpr std::size_t shownRows = 20;

    // Reads the whole file. Never throws for what is wrong with the file: failure() tells it.
    ImportPreview(const std::filesystem::path& file, const tools::CsvReadOptions& options);

    // Why the file can't be read at all (its form can't be told, its header is refused);
    // empty when it was read.
    const QString& failure() const { return failure_; }
    // The sheet read, for a workbook.
    const std::optional<QString>& sheet() const { return sheet_; }
    // The encoding and delimiter a CSV file was read in, given or guessed.
    const tools::CsvInputDialect& dialect() const { return dialect_; }
    // For each field in table order, the column of the file that fills it; empty for none.
    const std::array<QString, schema::columns.size()>& sources() const { return sources_; }
    // Columns of the file no field takes.
    const QStringList& leftOut() const { return leftOut_; }
    const std::vector<PreviewRow>& firstRows() const { return firstRows_; }
    const std::vector<PreviewRefusal>& refusals() const { return refusals_; }
    // Where a row begins: "řádek 2", or "list „List1“, řádek 2".
    QString place(std::uint64_t line) const;
    // Rows read, the refused ones among them, and empty rows passed over.
    std::uint64_t rows() const { return rows_; }
    std::uint64_t emptyRows() const { return emptyRows_; }
    // Whether the import would add the rows: the file was read, there are some and none is
    // refused.
    bool importable() const { return failure_.isEmpty() && refusals_.empty() && rows_ > 0; }

  private:
    void read(const std::filesystem::path& file, const tools::CsvReadOptions& options);

    QString failure_;
    std::optional<QString> sheet_;
    tools::CsvInputDialect dialect_;
    std::array<QString, schema::columns.size()> sources_;
    QStringList leftOut_;
    std::vector<PreviewRow> firstRows_;
    std::vector<PreviewRefusal> refusals_;
    std::uint64_t rows_ = 0;
    std::uint64_t emptyRows_ = 0;
};

}  // namespace quorvel::ui
