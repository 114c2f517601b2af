#include "lists/CsvExport.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "csv/CsvTargetFile.h"
#include "csv/CsvWriter.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "query/Cursor.h"
#include "recordset/StatementText.h"
#include "workbooks/XlsxWriter.h"

namespace quorvel::tools {

namespace {

// Rows read from the engine at a time.
constexpr std::size_t pageRows = 1000;

std::string_view textOf(const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view();
}

}  // namespace

CsvExport::CsvExport(const std::filesystem::path& directory, SortOrder order) : engine_(directory) {
    Database& database = engine_.database();
    snapshot_ =
        std::make_unique<sqlite::Transaction>(database.handle(), sqlite::Transaction::Kind::Read);
    const StatementClauses clauses{"select * from qv", "", orderClause(order)};
    cursor_ = Cursor::open(database, joinStatementLines(statementLines(clauses)), false);
    sqlite::Statement& count = database.statement("SELECT count(*) FROM main.qv");
    sqlite::ResetGuard guard(count);
    count.step();
    rowCount_ = static_cast<std::uint64_t>(count.integer(0));
}

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
    std::array<std::string_view, schema::columns.size()> fields;
    std::uint64_t written = 0;
    progress(written);
    std::vector<RowData> rows = cursor_->readFirst(pageRows);
    while (!rows.empty()) {
        for (const RowData& row : rows) {
            const std::optional<std::string> memo =
                row.memoHasValue() ? cursor_->readMemo(row.id) : std::nullopt;
            for (int c = 0; c < schema::stringColumnCount; ++c) {
                fields[static_cast<std::size_t>(c)] = textOf(row.strings[c]);
            }
            fields[schema::memoColumn] = textOf(memo);
            write(fields);
        }
        written += rows.size();
        progress(written);
        rows = cursor_->readAfter(rows.back(), pageRows);
    }
    return written;
}

}  // namespace quorvel::tools
