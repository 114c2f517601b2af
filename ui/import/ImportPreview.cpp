#include "import/ImportPreview.h"

#include <exception>
#include <string>
#include <unordered_map>

#include "import/ImportReasons.h"

namespace quorvel::ui {

namespace {

// A field as the preview's table shows it: on one line, its line breaks marked.
QString shown(std::string_view text) {
    QString field = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    field.replace(QStringLiteral("\r\n"), QStringLiteral("↵"));
    field.replace(QLatin1Char('\n'), QStringLiteral("↵"));
    field.replace(QLatin1Char('\r'), QStringLiteral("↵"));
    return field;
}

}  // namespace

ImportPreview::ImportPreview(const std::filesystem::path& file,
                             const tools::CsvReadOptions& options) {
    try {
        read(file, options);
    } catch (const std::exception& error) {
        failure_ = fileReason(error.what(), file);
    }
}

void ImportPreview::read(const std::filesystem::path& file, const tools::CsvReadOptions& options) {
    tools::CsvIssueReader issues(file, options);
    dialect_ = issues.dialect();
    if (issues.sheetName()) {
        sheet_ = QString::fromStdString(*issues.sheetName());
    }
    const tools::CsvColumns& columns = issues.columns();
    for (std::size_t field = 0; field < sources_.size(); ++field) {
        if (const auto& source = columns.sources()[field]) {
            sources_[field] = columnText(*source, columns.name(*source));
        }
    }
    for (const std::size_t column : columns.leftOut()) {
        leftOut_ << columnText(column, columns.name(column));
    }
    std::unordered_map<std::string, QString> reasons;
    tools::CsvIssue issue;
    try {
        while (issues.next(issue)) {
            ++rows_;
            if (const std::string problem = issues.problemOf(issue); !problem.empty()) {
                auto [reason, added] = reasons.try_emplace(problem);
                if (added) {
                    reason->second = rowReason(problem);
                }
                refusals_.push_back({issue.line, reason->second});
            } else if (firstRows_.size() < shownRows) {
                PreviewRow row{place(issue.line), {}};
                for (std::size_t field = 0; field < row.fields.size(); ++field) {
                    row.fields[field] = shown(issue.fields[field]);
                }
                firstRows_.push_back(std::move(row));
            }
        }
    } catch (const tools::CsvError& error) {
        // The rest of the file can't be read as records.
        ++rows_;
        refusals_.push_back({error.line(), QString::fromStdString(error.reason()) +
                                               QStringLiteral("; zbytek souboru nelze přečíst")});
    }
    emptyRows_ = issues.emptyRecords();
}

QString ImportPreview::place(std::uint64_t line) const {
    return sheet_ ? QStringLiteral("list „%1“, řádek %2").arg(*sheet_).arg(line)
                  : QStringLiteral("řádek %1").arg(line);
}

}  // namespace quorvel::ui
