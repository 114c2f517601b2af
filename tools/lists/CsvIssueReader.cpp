#include "lists/CsvIssueReader.h"

#include <algorithm>

#include "csv/CsvDialectGuess.h"
#include "csv/CsvSourceFile.h"
#include "csv/FormulaProtection.h"
#include "text/Utf8.h"
#include "text/Utf8Validity.h"
#include "workbooks/SheetReader.h"

namespace quorvel::tools {

namespace {

constexpr std::size_t fieldCount = schema::columns.size();

std::string headerLine() {
    std::string names;
    for (const TableColumn& column : schema::columns) {
        names += std::string(names.empty() ? "" : ",") + column.fieldName;
    }
    return names;
}

// The delimiter a first line "sep=X" names, and where the text after that line starts; nullopt
// when the text doesn't start with such a line. Throws CsvError for a delimiter not taken.
struct SeparatorLine {
    char delimiter;
    std::size_t end;
};

std::optional<SeparatorLine> separatorLine(std::string_view text) {
    const std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const std::size_t stop = text.find('\n', start);
    std::string_view line =
        text.substr(start, stop == std::string_view::npos ? stop : stop - start);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (!line.starts_with("sep=")) {
        return std::nullopt;
    }
    const std::string_view named = line.substr(4);
    if (named.size() != 1 || !delimiterNamed(named)) {
        // Quoted only when it is text: a message never carries bytes that aren't UTF-8.
        const std::string shown = utf8::validUtf8(line) ? "\"" + std::string(line) + "\""
                                                        : "(\"sep=\" and bytes that aren't UTF-8)";
        throw CsvError(1, "the first line " + shown +
                              " names a delimiter import doesn't take: a comma, semicolon or tab");
    }
    return SeparatorLine{named[0], stop == std::string_view::npos ? text.size() : stop + 1};
}

bool allEmpty(const CsvRecord& record) {
    const std::size_t kept = std::min(record.count, record.fields.size());
    return record.droppedEmpty &&
           std::all_of(record.fields.begin(),
                       record.fields.begin() + static_cast<std::ptrdiff_t>(kept),
                       [](const std::string& field) { return field.empty(); });
}

}  // namespace

CsvIssueReader::CsvIssueReader(const std::filesystem::path& csv, const CsvReadOptions& options)
    : path_(csv) {
    if (const std::optional<WorkbookKind> kind = workbookKind(csv)) {
        auto sheet = std::make_unique<SheetReader>(csv, *kind, options.sheet);
        sheetName_ = sheet->sheetName();
        reader_ = std::move(sheet);
        reader_->keepFields(mostColumns);
        try {
            readHeader(options.ignoreExtra);
        } catch (const CsvError& error) {
            throw failure(error);
        }
    } else {
        if (options.sheet) {
            throw std::runtime_error(csv.string() +
                                     ": --sheet is for a workbook (.ods or .xlsx), and this "
                                     "file is none");
        }
        try {
            readCsvHeader(options);
        } catch (const CsvError& error) {
            throw failure(error);
        }
    }
    std::size_t kept = 0;
    for (const std::optional<std::size_t>& source : columns_->sources()) {
        kept = source ? std::max(kept, *source + 1) : kept;
    }
    for (const std::size_t column : columns_->unnamed()) {
        kept = std::max(kept, column + 1);
    }
    reader_->keepFields(kept);
}

void CsvIssueReader::readCsvHeader(const CsvReadOptions& options) {
    dialect_.encoding = options.encoding ? *options.encoding : guessEncoding(path_);
    auto source = std::make_unique<CsvSourceFile>(path_, dialect_.encoding);
    const std::string_view head = source->head();
    const std::optional<SeparatorLine> separator = separatorLine(head);
    dialect_.delimiter = options.delimiter ? *options.delimiter
                         : separator       ? separator->delimiter
                                     : guessDelimiter(head.substr(separator ? separator->end : 0));
    reader_ = std::make_unique<CsvReader>(std::move(source), dialect_.delimiter, mostColumns);
    if (separator && !reader_->next(record_)) {
        throw CsvError(1, "the file is empty, without the header " + headerLine());
    }
    readHeader(options.ignoreExtra);
    protectedFormulas_ =
        !separator && head.starts_with("\xEF\xBB\xBF") && dialect_.delimiter == ';' &&
        record_.count == fieldCount &&
        std::equal(schema::columns.begin(), schema::columns.end(), record_.fields.begin(),
                   [](const TableColumn& column, const std::string& name) {
                       return name == column.fieldName;
                   });
}

void CsvIssueReader::readHeader(bool ignoreExtra) {
    // Blank lines or rows before the header are passed over, as after it.
    do {
        if (!reader_->next(record_)) {
            throw CsvError(1, "the file is empty, without the header " + headerLine());
        }
    } while (allEmpty(record_));
    columns_ = std::make_unique<CsvColumns>(record_, ignoreExtra);
}

std::string CsvIssueReader::place(std::uint64_t line) const {
    return sheetName_ ? "sheet \"" + *sheetName_ + "\", row " + std::to_string(line)
                      : "line " + std::to_string(line);
}

std::runtime_error CsvIssueReader::failure(const CsvError& error) const {
    return sheetName_ ? std::runtime_error(path_.string() + ": " + place(error.line()) + ": " +
                                           error.reason())
                      : inFile(path_, error);
}

bool CsvIssueReader::next(CsvIssue& issue) {
    do {
        if (!reader_->next(record_)) {
            return false;
        }
    } while (allEmpty(record_) && ++emptyRecords_ > 0);
    issue.count = record_.count;
    issue.line = record_.line;
    for (std::size_t field = 0; field < fieldCount; ++field) {
        const std::optional<std::size_t>& source = columns_->sources()[field];
        issue.fields[field] = source && *source < record_.count
                                  ? std::string_view(record_.fields[*source])
                                  : std::string_view();
        if (protectedFormulas_) {
            issue.fields[field] = withoutFormulaProtection(issue.fields[field]);
        }
    }
    return true;
}

std::string CsvIssueReader::problemOf(const CsvIssue& issue) const {
    const std::size_t expected = columns_->count();
    // Spreadsheets may end a record before the empty columns at the table's side.
    const auto& unnamed = columns_->unnamed();
    std::size_t least = expected;
    while (least > 0 && std::find(unnamed.begin(), unnamed.end(), least - 1) != unnamed.end()) {
        --least;
    }
    // A sheet's row ends at its last cell with text.
    if (issue.count > expected || (issue.count < least && !sheetName_)) {
        return std::to_string(issue.count) + (issue.count == 1 ? " field" : " fields") + ", not " +
               std::to_string(expected);
    }
    for (const std::size_t column : unnamed) {
        if (column < record_.count && !record_.fields[column].empty()) {
            return columns_->describe(column) +
                   " holds a value but names no field; --ignore-extra leaves it out";
        }
    }
    const std::string_view title = issue.fields[0];
    if (schema::titleMissing(title)) {
        return std::string(schema::columns[0].fieldName) +
               (title.empty() ? " is empty" : " is a single space") + ": a title is required";
    }
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const std::string_view text = issue.fields[i];
        const int size = schema::columns[i].size;
        if (size > 0) {
            const std::size_t length = utf8::length(text);
            if (length > static_cast<std::size_t>(size)) {
                return std::string(schema::columns[i].fieldName) + " has " +
                       std::to_string(length) + " characters, more than " + std::to_string(size);
            }
        }
        // No edit of the program can hold one, and C strings would end at it.
        if (text.find('\0') != std::string_view::npos) {
            return std::string(schema::columns[i].fieldName) + " holds a NUL character";
        }
    }
    return {};
}

}  // namespace quorvel::tools
