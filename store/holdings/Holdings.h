// Which issues of each periodical the catalogue holds: for each title (Vytisk), in Czech order,
// and each year from its first to its last, the numbers held, missing and held more than once,
// and the records whose Cislo doesn't read as numbers and a year (IssueNumber), as written.
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
#include <vector>

namespace quorvel {

class Database;

struct TitleHoldings {
    std::string title;  // as stored; an empty title stands for records without one
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
// (without regard to case), read in one read transaction. progress gets the rows read so far
// now and then. Throws EDBEngineError.
std::vector<TitleHoldings> readHoldings(Database& database,
                                        const std::optional<std::string>& onlyTitle = std::nullopt,
                                        const std::function<void(std::uint64_t)>& progress = {});

}  // namespace quorvel
