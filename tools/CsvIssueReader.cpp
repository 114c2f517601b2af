#include "CsvIssueReader.h"

#include <algorithm>

#include "CsvDialectGuess.h"
#include "CsvSourceFile.h"
#include "text/Utf8.h"

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

}  // namespace

CsvIssueReader::CsvIssueReader(const std::filesystem::path& csv, const CsvReadOptions& options) {
    try {
        dialect_.encoding = options.encoding ? *options.encoding : guessEncoding(csv);
        auto source = std::make_unique<CsvSourceFile>(csv, dialect_.encoding);
        dialect_.delimiter =
            options.delimiter ? *options.delimiter : guessDelimiter(source->head());
        reader_ = std::make_unique<CsvReader>(std::move(source), dialect_.delimiter, mostColumns);
        if (!reader_->next(record_)) {
            throw CsvError(1, "the file is empty, without the header " + headerLine());
        }
        columns_ = std::make_unique<CsvColumns>(record_, options.ignoreExtra);
    } catch (const CsvError& error) {
        throw inFile(csv, error);
    }
    std::size_t kept = 0;
    for (const std::optional<std::size_t>& source : columns_->sources()) {
        kept = source ? std::max(kept, *source + 1) : kept;
    }
    reader_->keepFields(kept);
}

bool CsvIssueReader::next(CsvIssue& issue) {
    if (!reader_->next(record_)) {
        return false;
    }
    issue.count = record_.count;
    issue.line = record_.line;
    for (std::size_t field = 0; field < fieldCount; ++field) {
        const std::optional<std::size_t>& source = columns_->sources()[field];
        issue.fields[field] = source && *source < record_.count
                                  ? std::string_view(record_.fields[*source])
                                  : std::string_view();
    }
    return true;
}

std::string CsvIssueReader::problemOf(const CsvIssue& issue) const {
    const std::size_t expected = columns_->count();
    if (issue.count != expected) {
        return std::to_string(issue.count) + (issue.count == 1 ? " field" : " fields") + ", not " +
               std::to_string(expected);
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
