// How a collector writes an issue's number and year in Cislo, read as numbers and a year.
// Read are, with spaces allowed around each part:
//   "3/1998", "3/98"            number/year; a two-digit year is read as 1930-2029 (00-29
//                               the 2000s) and marked, for the reader to place by the years
//                               around it
//   "3-4/1998", "3–4/1998", "3+4/1998"
//                               a double (or larger) issue, which covers every number in it
//   "1998/3", "1998/3-4"        year/number, when the first part is a four-digit year
//   "č. 3/1998", "č.3/98", "čís. 3/1998", "No. 3/1998"
// Numbers run from 1 to 999 and a joint issue spans at most 12 numbers; years from 1800 to
// 2100. Anything else ("Speciál", "jaro 1998", "3/1998a") doesn't read.
#pragma once

#include <optional>
#include <string_view>

namespace quorvel {

struct IssueNumber {
    int year = 0;
    int first = 0;  // the numbers first..last; equal for a single issue
    int last = 0;
    bool twoDigitYear = false;  // year was written with two digits
};

std::optional<IssueNumber> readIssueNumber(std::string_view text);

// The years read.
inline constexpr int earliestIssueYear = 1800;
inline constexpr int latestIssueYear = 2100;

// A two-digit year without other evidence: 00-29 are the 2000s, 30-99 the 1900s.
int pivotYear(int digits);

}  // namespace quorvel
