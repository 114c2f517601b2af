#include "check/IntegrityCheck.h"

#include <algorithm>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "EDBEngineError.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::check {

namespace {

// SQLite stops its check after this many faults; a file with more is told as "at least".
constexpr std::uint64_t mostFaults = 100000;

// Steps between two reports of progress.
constexpr int stepsPerReport = 1000;

// Tells progress as the share of the estimated steps taken so far, in the estimate's rows.
struct StepCounter {
    IntegrityEstimate estimate;
    std::uint64_t base;
    const CheckProgress* progress;
    std::uint64_t steps = 0;

    static int tell(void* context) {
        auto* counter = static_cast<StepCounter*>(context);
        counter->steps += stepsPerReport;
        const IntegrityEstimate& estimate = counter->estimate;
        if (estimate.steps > 0) {
            const double share = std::min(
                1.0, static_cast<double>(counter->steps) / static_cast<double>(estimate.steps));
            (*counter->progress)(counter->base + static_cast<std::uint64_t>(
                                                     share * static_cast<double>(estimate.rows)));
        }
        return 0;
    }
};

std::string_view after(std::string_view line, std::string_view marker) {
    const std::size_t at = line.find(marker);
    return at == std::string_view::npos ? std::string_view() : line.substr(at + marker.size());
}

std::string atLeast(std::uint64_t count, std::uint64_t total) {
    return (total >= mostFaults ? "at least " : "") + std::to_string(count);
}

}  // namespace

std::vector<CheckFinding> checkIntegrity(sqlite3* db, const char* schemaName, const char* file,
                                         const IntegrityEstimate& estimate, std::uint64_t base,
                                         const CheckProgress& progress) {
    std::map<std::string, std::uint64_t> missingFrom;  // index name: rows missing from it
    std::vector<std::string> wrongCount;               // indexes with a wrong number of entries
    std::uint64_t others = 0;
    std::string firstOther;
    std::uint64_t total = 0;
    std::optional<std::string> stopped;  // why SQLite's check ended early, if it did

    StepCounter counter{estimate, base, &progress};
    if (progress) {
        sqlite3_progress_handler(db, stepsPerReport, &StepCounter::tell, &counter);
    }
    try {
        sqlite::Statement check(db, std::string("PRAGMA ") + schemaName + ".integrity_check(" +
                                        std::to_string(mostFaults) + ")");
        while (check.step()) {
            // A row may hold several faults, a line each; "ok" alone means none.
            std::istringstream lines(check.text(0).value_or(""));
            for (std::string line; std::getline(lines, line);) {
                if (line == "ok" || line.empty() || line.starts_with("*** in database")) {
                    continue;
                }
                ++total;
                if (const std::string_view index = after(line, " missing from index ");
                    !index.empty()) {
                    ++missingFrom[std::string(index)];
                } else if (const std::string_view counted =
                               after(line, "wrong # of entries in index ");
                           !counted.empty()) {
                    wrongCount.emplace_back(counted);
                } else if (others++ == 0) {
                    firstOther = line;
                }
            }
        }
    } catch (const EDBEngineError& failure) {
        // SQLite's check itself stops at some damage (an index page it can't look a row up
        // in); what it found before that is still told.
        stopped = failure.entries().front().text;
    } catch (...) {
        sqlite3_progress_handler(db, 0, nullptr, nullptr);
        throw;
    }
    sqlite3_progress_handler(db, 0, nullptr, nullptr);

    std::vector<CheckFinding> findings;
    const std::string name(file);
    for (const auto& [index, rows] : missingFrom) {
        findings.push_back({name, rows,
                            name + ": " + atLeast(rows, total) +
                                (rows == 1 ? " row is" : " rows are") + " missing from the index " +
                                index + "; a sorted list would leave " +
                                (rows == 1 ? "it" : "them") + " out."});
    }
    for (const std::string& index : wrongCount) {
        findings.push_back({name, 1,
                            name + ": 1 index, " + index +
                                ", holds a different number of entries than the table has "
                                "rows."});
    }
    if (others > 0) {
        findings.push_back({name, others,
                            name + ": " + atLeast(others, total) + " damaged " +
                                (others == 1 ? "place" : "places") +
                                " in the file's pages or records; SQLite's integrity check "
                                "says first: " +
                                firstOther + "."});
    }
    if (stopped) {
        findings.push_back({name, 1,
                            name +
                                ": SQLite's integrity check stopped early, at a damaged "
                                "place it can't read past: " +
                                *stopped + "."});
    }
    return findings;
}

}  // namespace quorvel::check
