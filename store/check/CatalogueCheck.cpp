#include "check/CatalogueCheck.h"

#include <functional>
#include <string>

#include "EDBEngineError.h"
#include "check/IntegrityCheck.h"
#include "check/KeyCheck.h"
#include "check/MemoCheck.h"
#include "engine/CatalogueSchema.h"

namespace quorvel::check {

namespace {

// A step that SQLite can't take to its end (its pages too damaged to read, say) is itself a
// finding; the other steps still run.
void runStep(std::vector<CheckFinding>& findings, const char* file,
             const std::function<std::vector<CheckFinding>()>& step) {
    try {
        for (CheckFinding& finding : step()) {
            findings.push_back(std::move(finding));
        }
    } catch (const EDBEngineError& failure) {
        findings.push_back({file, 1,
                            std::string(file) + ": the check couldn't read it to the end: " +
                                failure.entries().front().text + "."});
    }
}

}  // namespace

CatalogueCheck::CatalogueCheck(const std::filesystem::path& directory) : connection_(directory) {
    if (connection_.rowsReadable()) {
        rowsEstimate_ = estimateIntegrity(connection_.handle(), "main");
    }
    if (connection_.memoReadable()) {
        memoEstimate_ = estimateIntegrity(connection_.handle(), "mb");
    }
}

std::uint64_t CatalogueCheck::work() const {
    return rowsEstimate_.rows + memoEstimate_.rows +
           (connection_.isKeyed() ? rowsEstimate_.rows : 0);
}

std::vector<CheckFinding> CatalogueCheck::run(const CheckProgress& progress) {
    sqlite3* db = connection_.handle();
    std::vector<CheckFinding> findings = connection_.findings();
    const std::uint64_t rowsUnits = rowsEstimate_.rows;
    const std::uint64_t memoUnits = memoEstimate_.rows;
    if (connection_.rowsReadable()) {
        runStep(findings, schema::rowsFileName, [&] {
            return checkIntegrity(db, "main", schema::rowsFileName, rowsEstimate_, 0, progress);
        });
    }
    if (connection_.memoReadable()) {
        runStep(findings, schema::memoFileName, [&] {
            return checkIntegrity(db, "mb", schema::memoFileName, memoEstimate_, rowsUnits,
                                  progress);
        });
    }
    if (connection_.isCatalogue()) {
        runStep(findings, schema::memoFileName, [&] { return checkMemoRows(db); });
    }
    if (connection_.isKeyed()) {
        runStep(findings, schema::rowsFileName,
                [&] { return checkSortKeys(db, rowsUnits, rowsUnits + memoUnits, progress); });
    }
    if (progress) {
        progress(work());
    }
    return findings;
}

}  // namespace quorvel::check
