#include "lists/CsvImport.h"

#include <stdexcept>
#include <string>

#include "engine/Database.h"
#include "rows/CatalogueRowWriter.h"

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
    std::uint64_t rows = 0;
    try {
        CatalogueRowWriter writer(engine_.database());
        progress(issues_->bytesTaken());
        CsvIssue issue;
        while (issues_->next(issue)) {
            if (std::string problem = issues_->problemOf(issue); !problem.empty()) {
                throw CsvError(issue.line, problem);
            }
            writer.add(issue.fields);
            if (++rows % progressEvery == 0) {
                progress(issues_->bytesTaken());
            }
        }
        writer.commit();
    } catch (const CsvError& error) {
        throw issues_->failure(error);
    }
    progress(issues_->bytesTaken());
    return rows;
}

}  // namespace quorvel::tools
