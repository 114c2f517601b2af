#include "lists/CsvImport.h"

#include <stdexcept>
#include <string>

#include "engine/Database.h"
#include "engine/RowInsert.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::tools {

namespace {

// Rows between two calls of progress.
constexpr std::uint64_t progressEvery = 4096;

}  // namespace

CsvImport::CsvImport(const std::filesystem::path& csv, const std::filesystem::path& directory,
                     const CsvReadOptions& options)
    : csv_(csv), engine_(directory) {
    engine_.database().requireWritable();
    issues_ = std::make_unique<CsvIssueReader>(csv, options);
}

std::uint64_t CsvImport::run(const std::function<void(std::uint64_t)>& progress) {
    Database& database = engine_.database();
    std::uint64_t rows = 0;
    try {
        sqlite::Transaction transaction(database.handle(), sqlite::Transaction::Kind::Write);
        RowInsert& insert = database.rowInsert();
        progress(issues_->bytesTaken());
        CsvIssue issue;
        while (issues_->next(issue)) {
            if (std::string problem = issues_->problemOf(issue); !problem.empty()) {
                throw CsvError(issue.line, problem);
            }
            insert.insert({issue.fields[0], issue.fields[1], issue.fields[2]}, issue.fields[3]);
            if (++rows % progressEvery == 0) {
                progress(issues_->bytesTaken());
            }
        }
        transaction.commit();
    } catch (const CsvError& error) {
        throw issues_->failure(error);
    }
    progress(issues_->bytesTaken());
    return rows;
}

}  // namespace quorvel::tools
