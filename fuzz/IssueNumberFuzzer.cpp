// The reading of an issue's number and year (Cislo) fed arbitrary texts. What reads is within
// the promised bounds (numbers 1-999, a joint issue of at most 12, years 1800-2100, a two-digit
// year placed by the pivot), and written again in each of the forms read (number/year,
// year/number, with a prefix, with a two-digit year where one can say it) it reads to the same
// issue. Blanks around the text change nothing, which compares the commonest form's quick
// reading with the full one.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "holdings/IssueNumber.h"

namespace {

using quorvel::IssueNumber;
using quorvel::readIssueNumber;

[[noreturn]] void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "issue_number_fuzzer: %s: \"%.*s\"\n", what,
                 static_cast<int>(detail.size()), detail.data());
    std::abort();
}

bool same(const std::optional<IssueNumber>& a, const std::optional<IssueNumber>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->year == b->year && a->first == b->first && a->last == b->last &&
                   a->twoDigitYear == b->twoDigitYear));
}

void checkReadsAs(const std::string& text, const IssueNumber& expected, std::string_view from) {
    if (!same(readIssueNumber(text), expected)) {
        fail(("written again as \"" + text + "\", it reads otherwise").c_str(), from);
    }
}

void checkIssue(const IssueNumber& issue, std::string_view text) {
    if (issue.first < 1 || issue.last > 999 || issue.first > issue.last ||
        issue.last - issue.first >= 12) {
        fail("numbers out of bounds", text);
    }
    if (issue.year < quorvel::earliestIssueYear || issue.year > quorvel::latestIssueYear) {
        fail("a year out of bounds", text);
    }
    const int century = issue.year % 100;
    if (issue.twoDigitYear && quorvel::pivotYear(century) != issue.year) {
        fail("a two-digit year not placed by the pivot", text);
    }
    const std::string numbers = std::to_string(issue.first) +
                                (issue.first == issue.last ? "" : "-" + std::to_string(issue.last));
    const std::string year = std::to_string(issue.year);
    const IssueNumber fourDigits{issue.year, issue.first, issue.last, false};
    checkReadsAs(numbers + "/" + year, fourDigits, text);
    checkReadsAs(year + "/" + numbers, fourDigits, text);
    checkReadsAs("\xc4\x8d. " + numbers + " / " + year, fourDigits, text);
    if (quorvel::pivotYear(century) == issue.year) {
        const std::string twoDigits =
            std::string(century < 10 ? "0" : "") + std::to_string(century);
        checkReadsAs(numbers + "/" + twoDigits,
                     IssueNumber{issue.year, issue.first, issue.last, true}, text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<IssueNumber> issue = readIssueNumber(text);
    if (!same(readIssueNumber(" " + text), issue) || !same(readIssueNumber(text + "\t"), issue)) {
        fail("blanks around the text change its reading", text);
    }
    if (issue) {
        checkIssue(*issue, text);
    }
    return 0;
}
