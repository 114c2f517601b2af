#include "lists/CsvExport.h"

#include <array>
#include <string_view>

#include "csv/CsvTargetFile.h"
#include "csv/CsvWriter.h"
#include "engine/CatalogueSchema.h"
#include "workbooks/XlsxWriter.h"

namespace quorvel::tools {

namespace {

// Rows between two calls of progress.
constexpr std::uint64_t progressEvery = 1000;

}  // namespace

CsvExport::CsvExport(const std::filesystem::path& directory, SortOrder order)
    : engine_(directory), rows_(std::make_unique<CatalogueRowReader>(engine_.database(), order)) {}

CsvExport::~CsvExport() = default;

std::uint64_t CsvExport::write(const std::filesystem::path& target,
                               const std::function<void(std::uint64_t)>& progress,
                               CsvDialect dialect) {
    CsvTargetFile file(target);
    CsvWriter writer(file, dialect);
    std::array<std::string_view, schema::columns.size()> names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = schema::columns[i].fieldName;
    }
    writer.write(names);
    const std::uint64_t written = readRows(
        [&writer](std::span<const std::string_view> fields) { writer.write(fields); }, progress);
    writer.flush();
    file.commit();
    return written;
}

std::uint64_t CsvExport::writeWorkbook(const std::filesystem::path& target,
                                       const std::function<void(std::uint64_t)>& progress) {
    // The captions of the main window's fields, and widths that show a title, a number and
    // most of the longer texts whole.
    static constexpr std::array<XlsxColumn, schema::columns.size()> columns{{
        {"Tiskopis", 36},
        {"Číslo výtisku/rok", 17},
        {"Nejzajímavější části", 60},
        {"Obsah výtisku", 80},
    }};
    CsvTargetFile file(target);
    XlsxWriter writer(file.temporaryPath(), columns, target);
    const std::uint64_t written = readRows(
        [&writer](std::span<const std::string_view> fields) { writer.write(fields); }, progress);
    writer.close();
    file.commit();
    return written;
}

std::uint64_t CsvExport::readRows(
    const std::function<void(std::span<const std::string_view>)>& write,
    const std::function<void(std::uint64_t)>& progress) {
    IssueFields fields;
    std::uint64_t written = 0;
    progress(written);
    while (rows_->next(fields)) {
        write(fields);
        if (++written % progressEvery == 0) {
            progress(written);
        }
    }
    if (written % progressEvery != 0) {
        progress(written);
    }
    return written;
}

}  // namespace quorvel::tools
