#include "lists/CsvDryRun.h"

#include <string>
#include <string_view>

#include "engine/CatalogueSchema.h"
#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

// Rows shown as they would be stored, and the characters of a memo shown in them.
constexpr int shownRows = 5;
constexpr std::size_t shownMemo = 80;

// A field as it would be stored: an empty text as no value; line breaks and tabs shown as \r,
// \n and \t, so that a row takes one line.
std::string shown(std::string_view text, bool memo) {
    if (text.empty()) {
        return "empty";
    }
    const std::size_t length = utf8::length(text);
    const bool cut = memo && length > shownMemo;
    const std::string kept = cut ? utf8::left(text, shownMemo) : std::string(text);
    std::string quoted = "\"";
    for (const char c : kept) {
        quoted += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\t' ? "\\t" : std::string(1, c);
    }
    quoted += cut ? "…\" (" + std::to_string(length) + " characters)" : "\"";
    return quoted;
}

std::string plural(std::uint64_t count, const char* one, const char* more) {
    return std::to_string(count) + " " + (count == 1 ? one : more);
}

}  // namespace

bool dryRunImport(const std::filesystem::path& csv, const CsvReadOptions& options,
                  std::ostream& out) {
    CsvIssueReader issues(csv, options);
    const CsvInputDialect& dialect = issues.dialect();
    out << "Dry run: nothing is changed.\n";
    if (issues.sheetName()) {
        out << csv.string() << " is a workbook, read from its sheet \"" << *issues.sheetName()
            << "\".\nColumns:\n";
    } else {
        out << csv.string() << " is read as " << encodingName(dialect.encoding)
            << (options.encoding ? "" : " (guessed)") << ", with fields separated by "
            << delimiterName(dialect.delimiter) << "s" << (options.delimiter ? "" : " (guessed)")
            << ".\nColumns:\n";
    }
    const CsvColumns& columns = issues.columns();
    for (std::size_t field = 0; field < schema::columns.size(); ++field) {
        const std::string name = schema::columns[field].fieldName;
        const auto& source = columns.sources()[field];
        out << "  " << name << std::string(22 - name.size(), ' ')
            << (source ? "from " + columns.describe(*source) : "no column: empty") << '\n';
    }
    for (const std::size_t column : columns.leftOut()) {
        out << "  left out              " << columns.describe(column) << '\n';
    }

    std::uint64_t rows = 0;
    std::string refused;
    std::uint64_t refusals = 0;
    CsvIssue issue;
    try {
        while (issues.next(issue)) {
            ++rows;
            if (const std::string problem = issues.problemOf(issue); !problem.empty()) {
                refused += "  " + issues.place(issue.line) + ": " + problem + '\n';
                ++refusals;
            } else if (rows - refusals <= shownRows) {
                if (rows - refusals == 1) {
                    out << "The first rows as they would be stored:\n";
                }
                out << "  " << issues.place(issue.line) << ":";
                for (std::size_t field = 0; field < schema::columns.size(); ++field) {
                    out << (field == 0 ? " " : ", ") << schema::columns[field].fieldName << ' '
                        << shown(issue.fields[field], field == schema::memoColumn);
                }
                out << '\n';
            }
        }
    } catch (const CsvError& error) {
        // The rest of the file can't be read as records.
        refused += "  " + issues.place(error.line()) + ": " + error.reason() +
                   "; the rest of the file can't be read\n";
        ++rows;
        ++refusals;
    }
    if (issues.emptyRecords() > 0) {
        out << plural(issues.emptyRecords(), "empty row", "empty rows") << " skipped.\n";
    }
    if (refusals > 0) {
        out << "Refused:\n" << refused;
        out << plural(rows, "row", "rows") << " read, " << refusals
            << " refused: the import would add none.\n";
        return false;
    }
    out << plural(rows, "issue", "issues") << " would be imported.\n";
    return true;
}

}  // namespace quorvel::tools
