// Which issues of each periodical the catalogue holds: for each title (Vytisk), in Czech order,
// and each year from its first to its last, the numbers held, missing and held more than once,
// and the records whose Cislo doesn't read as numbers and a year (IssueNumber), as written.
// Titles that differ only in case and in the spaces around them are one periodical, shown in
// the spelling most of its records have; any other difference keeps them apart.
//
// A year written with two digits is placed by the title's own four-digit years: of the years
// 1800-2100 ending in those digits, the one nearest to the span of them (inside it when one
// is), so that "5/28" beside "6/1928" is 1928. A title without four-digit years, and a tie,
// take the fixed reading: 00-29 the 2000s, 30-99 the 1900s.
//
// A year's expected run of numbers ends at the highest number held in any year of that title:
// a monthly whose catalogue reaches 12 somewhere misses the numbers up to 12 in every year.
// A year between the first and the last without any issue held misses them all. Memory grows
// with the titles and years, never with the rows (the texts that don't read aside).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

class Database;

struct TitleHoldings {
    std::string title;  // the commonest spelling, without the spaces around it; empty for none
    int highestNumber = 0;
    int firstYear = 0;
    int yearCount = 0;  // the years firstYear, firstYear + 1, ...; none when nothing reads
    // How many records hold each number of each year: year by year, highestNumber a year. A
    // byte a number keeps the counts of a large catalogue in the processor's cache; a number
    // held manyTimes or more has its count in beyond, by its place in counts.
    static constexpr std::uint8_t manyTimes = 255;
    std::vector<std::uint8_t> counts;
    std::map<std::size_t, std::uint32_t> beyond;
    std::vector<std::string> unread;  // Cislo texts that don't read, in stored order
    std::uint64_t records = 0;

    int lastYear() const { return firstYear + yearCount - 1; }
    std::size_t placeOf(int year, int number) const {
        return static_cast<std::size_t>(year - firstYear) *
                   static_cast<std::size_t>(highestNumber) +
               static_cast<std::size_t>(number - 1);
    }
    std::uint32_t count(int year, int number) const {
        const std::size_t place = placeOf(year, number);
        return counts[place] < manyTimes ? counts[place] : beyond.at(place);
    }
    std::vector<int> held(int year) const;
    std::vector<int> missing(int year) const;
    std::vector<int> heldTwiceOrMore(int year) const;
};

// For a reader: the title, or "(bez názvu)" for records without one.
std::string shownTitle(const TitleHoldings& title);
// For a reader: the texts that don't read, each in Czech quotes, separated by commas; an empty
// one as "(bez čísla)", since quotes round nothing would read as a stray mark.
std::string shownUnread(const TitleHoldings& title);

// Numbers in ascending order as ranges: "1–10, 12" (an en dash joins a run of three or more,
// a comma two apart).
std::string numberRanges(const std::vector<int>& numbers);

// The want list of a title: each year that misses a number, with its missing numbers as
// ranges ("1997", "2, 5–7, 11"), in year order.
std::vector<std::pair<int, std::string>> wantedByYear(const TitleHoldings& title);

// Gathers holdings row by row; used by readHoldings, and by anything that has the rows.
class HoldingsGatherer {
  public:
    HoldingsGatherer();
    ~HoldingsGatherer();
    HoldingsGatherer(const HoldingsGatherer&) = delete;
    HoldingsGatherer& operator=(const HoldingsGatherer&) = delete;

    // A record's Vytisk and Cislo; nullopt for a field without a value.
    void add(std::optional<std::string_view> title, std::optional<std::string_view> number);
    // The titles in Czech order.
    std::vector<TitleHoldings> finish();

  private:
    struct Gathered;
    std::unique_ptr<Gathered> gathered_;
};

// The holdings of every title of the catalogue, or only of the title equal to onlyTitle
// without regard to case, diacritics and the spaces around it, as the import's headers are
// matched; read in one read transaction. progress gets the rows read so far
// now and then. Throws EDBEngineError.
std::vector<TitleHoldings> readHoldings(Database& database,
                                        const std::optional<std::string>& onlyTitle = std::nullopt,
                                        const std::function<void(std::uint64_t)>& progress = {});

}  // namespace quorvel
