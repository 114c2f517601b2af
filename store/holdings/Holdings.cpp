#include "holdings/Holdings.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <iterator>
#include <limits>
#include <tuple>
#include <unordered_map>

#include "engine/Database.h"
#include "holdings/IssueNumber.h"
#include "sqlite/SqliteStatement.h"
#include "text/CzechCollator.h"
#include "text/LooseForm.h"
#include "text/Utf8.h"

namespace quorvel {

namespace {

// Rows between two reports of progress.
constexpr std::uint64_t progressEvery = 65536;

template <typename Keep>
std::vector<int> numbersWhere(const TitleHoldings& title, int year, Keep keep) {
    std::vector<int> numbers;
    for (int number = 1; number <= title.highestNumber; ++number) {
        if (keep(title.count(year, number))) {
            numbers.push_back(number);
        }
    }
    return numbers;
}

}  // namespace

std::vector<int> TitleHoldings::held(int year) const {
    return numbersWhere(*this, year, [](std::uint32_t count) { return count > 0; });
}

std::vector<int> TitleHoldings::missing(int year) const {
    return numbersWhere(*this, year, [](std::uint32_t count) { return count == 0; });
}

std::vector<int> TitleHoldings::heldTwiceOrMore(int year) const {
    return numbersWhere(*this, year, [](std::uint32_t count) { return count > 1; });
}

std::string shownTitle(const TitleHoldings& title) {
    return title.title.empty() ? "(bez názvu)" : title.title;
}

std::string shownUnread(const TitleHoldings& title) {
    std::string text;
    for (const std::string& unread : title.unread) {
        text += text.empty() ? "" : ", ";
        text += unread.empty() ? "(bez čísla)" : "\u201e" + unread + "\u201c";
    }
    return text;
}

std::string numberRanges(const std::vector<int>& numbers) {
    std::string text;
    for (std::size_t i = 0; i < numbers.size();) {
        std::size_t end = i;
        while (end + 1 < numbers.size() && numbers[end + 1] == numbers[end] + 1) {
            ++end;
        }
        if (!text.empty()) {
            text += ", ";
        }
        text += std::to_string(numbers[i]);
        if (end - i >= 2) {
            text += "\u2013" + std::to_string(numbers[end]);
        } else if (end - i == 1) {
            text += ", " + std::to_string(numbers[end]);
        }
        i = end + 1;
    }
    return text;
}

std::vector<std::pair<int, std::string>> wantedByYear(const TitleHoldings& title) {
    std::vector<std::pair<int, std::string>> wanted;
    for (int year = title.firstYear; year <= title.lastYear(); ++year) {
        const std::vector<int> missing = title.missing(year);
        if (!missing.empty()) {
            wanted.emplace_back(year, numberRanges(missing));
        }
    }
    return wanted;
}

namespace {

// Rows gathered at a time. The rows of a batch go through each step together, and each step
// asks memory for what the next one needs: a large catalogue's titles and counts are far
// apart and seldom in the processor's cache, and waiting for them row by row would take most
// of the time.
constexpr std::size_t batchSize = 128;

// A hash of a title's bytes, eight at a time; titles are compared in full on a match, so a
// plain multiply-and-fold spread is enough.
std::uint32_t hashOf(std::string_view text) {
    constexpr std::uint64_t multiplier = 0x9e3779b97f4a7c15ULL;
    const auto mix = [](std::uint64_t hash, std::uint64_t word) {
        hash = (hash ^ word) * multiplier;
        return hash ^ (hash >> 29);
    };
    std::uint64_t hash = text.size() * multiplier;
    const char* at = text.data();
    std::size_t left = text.size();
    for (; left > 8; left -= 8, at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, 8);
        hash = mix(hash, word);
    }
    // The last one to eight bytes; the length is in the hash already.
    std::uint64_t word = 0;
    if (text.size() >= 8) {
        std::memcpy(&word, text.data() + text.size() - 8, 8);
    } else {
        for (std::size_t i = 0; i < left; ++i) {
            word = word << 8 | static_cast<unsigned char>(at[i]);
        }
    }
    hash = mix(hash, word);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

// A title's first issues are listed as they come (most titles of a large catalogue have a
// few dozen records over decades); with more, its counts are laid out with the years and
// numbers the list shows and room to spare, so that a title is laid out anew only a few
// times, whatever the order of its rows. finish() lays them out as TitleHoldings keeps them.
constexpr std::uint32_t listedMost = 32;
constexpr int fewYears = 4;
constexpr int dozen = 12;

// An issue as listed: years (1800-2100) and numbers (1-999) as IssueNumber reads them fit.
struct Listed {
    std::int16_t year = 0;
    std::int16_t first = 0;
    std::int16_t last = 0;
};
static_assert(listedMost < TitleHoldings::manyTimes - 1, "a listed title has no count beyond");

// A cache line each, so that one fetch brings all a row needs.
struct alignas(64) Tally {
    std::vector<std::uint8_t> cells;  // stride a year, from baseYear; a byte as in counts
    int baseYear = 0;
    int yearRoom = 0;  // none while the issues are listed
    int stride = 0;
    // What was read: the years and the highest number as TitleHoldings will have them.
    int firstYear = 0;
    int lastYear = 0;
    int highestNumber = 0;
    std::uint32_t listed = 0;
    bool read = false;
    std::uint64_t records = 0;

    void note(const IssueNumber& issue) {
        firstYear = read ? std::min(firstYear, issue.year) : issue.year;
        lastYear = read ? std::max(lastYear, issue.year) : issue.year;
        highestNumber = std::max(highestNumber, issue.last);
        read = true;
    }

    bool fits(const IssueNumber& issue) const {
        return issue.year >= baseYear && issue.year - baseYear < yearRoom && issue.last <= stride;
    }
    std::size_t placeOf(int year, int number) const {
        return static_cast<std::size_t>(year - baseYear) * static_cast<std::size_t>(stride) +
               static_cast<std::size_t>(number - 1);
    }
};

// Makes room in tally, laid out, for issue: on the side that grew, half as much again as there
// was (at least a few years, a dozen numbers), so that the layouts of a title are few.
void makeRoom(Tally& tally, const IssueNumber& issue) {
    int baseYear = tally.baseYear;
    int yearRoom = tally.yearRoom;
    int stride = tally.stride;
    if (issue.year < baseYear) {
        const int more = std::max(baseYear - issue.year, std::max(fewYears, yearRoom / 2));
        baseYear -= more;
        yearRoom += more;
    } else if (issue.year - baseYear >= yearRoom) {
        yearRoom +=
            std::max(issue.year - baseYear - yearRoom + 1, std::max(fewYears, yearRoom / 2));
    }
    if (issue.last > stride) {
        stride = std::max(issue.last, std::max(dozen, stride + stride / 2));
    }
    std::vector<std::uint8_t> cells(static_cast<std::size_t>(yearRoom) *
                                    static_cast<std::size_t>(stride));
    const auto width = static_cast<std::size_t>(tally.stride);
    const auto newWidth = static_cast<std::size_t>(stride);
    const auto yearsBefore = static_cast<std::size_t>(tally.baseYear - baseYear);
    for (std::size_t row = 0; row < static_cast<std::size_t>(tally.yearRoom); ++row) {
        std::copy_n(tally.cells.begin() + static_cast<std::ptrdiff_t>(row * width), width,
                    cells.begin() + static_cast<std::ptrdiff_t>((row + yearsBefore) * newWidth));
    }
    tally.cells = std::move(cells);
    tally.baseYear = baseYear;
    tally.yearRoom = yearRoom;
    tally.stride = stride;
}

// What tells the spellings of one periodical apart from another's: the text without the spaces
// around it, in lower case.
std::string spellingForm(std::string_view title) {
    return utf8::toLower(utf8::trim(title));
}

// The spelling most records have, without the spaces around it; between equals, one that had
// no spaces around it, then the first in Czech order.
std::string commonestSpelling(const std::vector<TitleHoldings>& titles, const TitleHoldings& first,
                              const std::vector<std::uint32_t>& spellings) {
    if (spellings.size() == 1) {
        return utf8::trim(first.title);
    }
    CzechCollator collator;
    const auto preferred = [&collator](const TitleHoldings& one, const TitleHoldings& other) {
        if (one.records != other.records) {
            return one.records > other.records;
        }
        const bool oneBare = utf8::trim(one.title) == one.title;
        if (oneBare != (utf8::trim(other.title) == other.title)) {
            return oneBare;
        }
        return std::string(collator.key(one.title)) < std::string(collator.key(other.title));
    };
    const TitleHoldings* best = &first;
    for (std::size_t s = 1; s < spellings.size(); ++s) {
        if (preferred(titles[spellings[s]], *best)) {
            best = &titles[spellings[s]];
        }
    }
    return utf8::trim(best->title);
}

// The year ending in digits nearest to the years first..last (inside them when one is); the
// fixed pivot's reading between two as near.
int yearNearest(int digits, int first, int last) {
    const auto distance = [first, last](int year) {
        return year < first ? first - year : year > last ? year - last : 0;
    };
    int best = pivotYear(digits);
    for (int century = earliestIssueYear / 100 * 100; century + digits <= latestIssueYear;
         century += 100) {
        const int year = century + digits;
        if (year >= earliestIssueYear && distance(year) < distance(best)) {
            best = year;
        }
    }
    return best;
}

struct HeldCell {
    int year = 0;
    int number = 0;
    std::uint32_t count = 0;
};

void appendCells(std::vector<HeldCell>& cells, const TitleHoldings& title) {
    for (int year = title.firstYear; year <= title.lastYear(); ++year) {
        for (int number = 1; number <= title.highestNumber; ++number) {
            if (const std::uint32_t count = title.count(year, number); count > 0) {
                cells.push_back({year, number, count});
            }
        }
    }
}

// Adds cells to title's counts, its years and numbers widened to hold them.
void addCells(TitleHoldings& title, const std::vector<HeldCell>& cells) {
    if (cells.empty()) {
        return;
    }
    int firstYear = title.yearCount > 0 ? title.firstYear : cells.front().year;
    int lastYear = title.yearCount > 0 ? title.lastYear() : cells.front().year;
    int highest = title.highestNumber;
    for (const HeldCell& cell : cells) {
        firstYear = std::min(firstYear, cell.year);
        lastYear = std::max(lastYear, cell.year);
        highest = std::max(highest, cell.number);
    }
    TitleHoldings wider;
    wider.firstYear = firstYear;
    wider.yearCount = lastYear - firstYear + 1;
    wider.highestNumber = highest;
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(wider.yearCount) *
                                      static_cast<std::size_t>(highest));
    for (int year = title.firstYear; year <= title.lastYear(); ++year) {
        for (int number = 1; number <= title.highestNumber; ++number) {
            counts[wider.placeOf(year, number)] = title.count(year, number);
        }
    }
    for (const HeldCell& cell : cells) {
        counts[wider.placeOf(cell.year, cell.number)] += cell.count;
    }
    title.firstYear = wider.firstYear;
    title.yearCount = wider.yearCount;
    title.highestNumber = wider.highestNumber;
    title.counts.assign(counts.size(), 0);
    title.beyond.clear();
    for (std::size_t place = 0; place < counts.size(); ++place) {
        if (counts[place] < TitleHoldings::manyTimes) {
            title.counts[place] = static_cast<std::uint8_t>(counts[place]);
        } else {
            title.counts[place] = TitleHoldings::manyTimes;
            title.beyond.emplace(place, counts[place]);
        }
    }
}

}  // namespace

struct HoldingsGatherer::Gathered {
    // The titles by the hash of their text, open addressing: title 0 is a free slot, else the
    // title's index + 1. The text is in names, at offset.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t title = 0;
        std::uint32_t offset = 0;
        std::uint32_t size = 0;
    };
    // A row of the batch. Its title, and its number when that doesn't read, are copied into
    // batchText: the caller's texts last only for the call.
    struct Row {
        std::uint32_t titleAt = 0;
        std::uint32_t titleSize = 0;
        std::uint32_t hash = 0;
        std::uint32_t title = 0;
        std::optional<IssueNumber> issue;
        bool listed = false;  // counted in its title's list, or kept aside

        std::uint32_t unreadAt = 0;  // the number's text, kept only when it doesn't read
        std::uint32_t unreadSize = 0;
    };
    std::vector<Slot> slots = std::vector<Slot>(1024);
    std::string names;                  // every title's text, one after another
    std::vector<TitleHoldings> titles;  // the text and the texts that don't read
    std::vector<Tally> tallies;         // apart from titles: these are touched at every row
    std::vector<Listed> lists;          // listedMost a title
    // Counts from manyTimes on, by title, year and number.
    std::map<std::tuple<std::uint32_t, int, int>, std::uint32_t> beyond;
    // Issues whose year was written with two digits, by title, those digits and number: their
    // century is told when all of the title's four-digit years are known.
    std::map<std::tuple<std::uint32_t, int, int>, std::uint32_t> twoDigit;
    std::vector<Row> batch;
    std::string batchText;  // the batch's titles, and its numbers that don't read

    std::string_view text(std::uint32_t at, std::uint32_t size) const {
        return {batchText.data() + at, size};
    }

    std::uint32_t keep(std::string_view text) {
        const auto at = static_cast<std::uint32_t>(batchText.size());
        batchText.append(text);
        return at;
    }

    // The number read and the title hashed now, while the texts last; the title's slot asked
    // for.
    void add(std::string_view title, std::string_view number) {
        Row& row = batch.emplace_back();
        row.issue = readIssueNumber(number);
        if (!row.issue) {
            row.unreadAt = keep(number);
            row.unreadSize = static_cast<std::uint32_t>(number.size());
        }
        row.hash = hashOf(title);
        __builtin_prefetch(&slots[row.hash & (slots.size() - 1)]);
        row.titleAt = keep(title);
        row.titleSize = static_cast<std::uint32_t>(title.size());
        if (batch.size() == batchSize) {
            gatherBatch();
        }
    }

    void gatherBatch() {
        // The text of the title in each slot asked for.
        for (const Row& row : batch) {
            const Slot& slot = slots[row.hash & (slots.size() - 1)];
            if (slot.title != 0) {
                __builtin_prefetch(names.data() + slot.offset);
            }
        }
        // The titles found (or added); their tallies asked for.
        for (Row& row : batch) {
            row.title = titleOf(text(row.titleAt, row.titleSize), row.hash);
            __builtin_prefetch(&tallies[row.title], 1);
        }
        // The rows counted and the room made; the cells asked for.
        for (Row& row : batch) {
            Tally& tally = tallies[row.title];
            ++tally.records;
            if (!row.issue) {
                titles[row.title].unread.emplace_back(text(row.unreadAt, row.unreadSize));
                continue;
            }
            const IssueNumber& issue = *row.issue;
            if (issue.twoDigitYear) {
                for (int number = issue.first; number <= issue.last; ++number) {
                    ++twoDigit[{row.title, issue.year % 100, number}];
                }
                row.listed = true;
                continue;
            }
            tally.note(issue);
            if (tally.yearRoom == 0) {
                if (tally.listed < listedMost) {
                    lists[std::size_t{row.title} * listedMost + tally.listed++] = {
                        static_cast<std::int16_t>(issue.year),
                        static_cast<std::int16_t>(issue.first),
                        static_cast<std::int16_t>(issue.last)};
                    row.listed = true;
                    continue;
                }
                layOut(row.title);
            }
            if (!tally.fits(issue)) {
                makeRoom(tally, issue);
            }
            __builtin_prefetch(&tally.cells[tally.placeOf(issue.year, issue.first)], 1);
        }
        for (const Row& row : batch) {
            if (row.issue && !row.listed) {
                count(row.title, *row.issue);
            }
        }
        batch.clear();
        batchText.clear();
    }

    std::uint32_t titleOf(std::string_view name, std::uint32_t hash) {
        const std::size_t mask = slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots[at];
            if (slot.title == 0) {
                return addTitle(slot, hash, name);
            }
            if (slot.hash == hash && slot.size == name.size() &&
                std::memcmp(names.data() + slot.offset, name.data(), name.size()) == 0) {
                return slot.title - 1;
            }
        }
    }

    std::uint32_t addTitle(Slot& slot, std::uint32_t hash, std::string_view name) {
        assert(names.size() + name.size() <= std::numeric_limits<std::uint32_t>::max());
        const auto title = static_cast<std::uint32_t>(titles.size());
        slot = {hash, title + 1, static_cast<std::uint32_t>(names.size()),
                static_cast<std::uint32_t>(name.size())};
        names.append(name);
        titles.emplace_back().title = name;
        tallies.emplace_back();
        lists.resize(lists.size() + listedMost);
        if (titles.size() * 2 > slots.size()) {
            grow();
        }
        return title;
    }

    void grow() {
        std::vector<Slot> larger(slots.size() * 2);
        const std::size_t mask = larger.size() - 1;
        for (const Slot& slot : slots) {
            if (slot.title != 0) {
                std::size_t at = slot.hash & mask;
                while (larger[at].title != 0) {
                    at = (at + 1) & mask;
                }
                larger[at] = slot;
            }
        }
        slots = std::move(larger);
    }

    // Lays out the counts of a title whose list is full: the years and numbers read so far,
    // with room to spare on both sides.
    void layOut(std::uint32_t title) {
        Tally& tally = tallies[title];
        const int span = tally.lastYear - tally.firstYear + 1;
        const int spare = std::max(fewYears, span / 4);
        tally.baseYear = tally.firstYear - spare;
        tally.yearRoom = span + 2 * spare;
        tally.stride = std::max(tally.highestNumber, dozen);
        tally.cells.assign(
            static_cast<std::size_t>(tally.yearRoom) * static_cast<std::size_t>(tally.stride), 0);
        for (std::uint32_t i = 0; i < tally.listed; ++i) {
            const Listed& listed = lists[std::size_t{title} * listedMost + i];
            count(title, {listed.year, listed.first, listed.last});
        }
    }

    void count(std::uint32_t title, const IssueNumber& issue) {
        Tally& tally = tallies[title];
        std::uint8_t* cell = &tally.cells[tally.placeOf(issue.year, issue.first)];
        for (int number = issue.first; number <= issue.last; ++number, ++cell) {
            if (*cell < TitleHoldings::manyTimes - 1) {
                ++*cell;
            } else if (*cell == TitleHoldings::manyTimes - 1) {
                *cell = TitleHoldings::manyTimes;
                beyond[{title, issue.year, number}] = TitleHoldings::manyTimes;
            } else {
                ++beyond[{title, issue.year, number}];
            }
        }
    }
    // The counts of title i as TitleHoldings keeps them.
    void lay(std::uint32_t i) {
        TitleHoldings& title = titles[i];
        Tally& tally = tallies[i];
        title.records = tally.records;
        if (!tally.read) {
            return;
        }
        title.firstYear = tally.firstYear;
        title.yearCount = tally.lastYear - tally.firstYear + 1;
        title.highestNumber = tally.highestNumber;
        const auto width = static_cast<std::size_t>(title.highestNumber);
        title.counts.resize(static_cast<std::size_t>(title.yearCount) * width);
        if (tally.yearRoom == 0) {
            for (std::uint32_t l = 0; l < tally.listed; ++l) {
                const Listed& listed = lists[std::size_t{i} * listedMost + l];
                for (int number = listed.first; number <= listed.last; ++number) {
                    ++title.counts[title.placeOf(listed.year, number)];
                }
            }
            tally = Tally();
            return;
        }
        for (int year = title.firstYear; year <= tally.lastYear; ++year) {
            std::copy_n(tally.cells.begin() + static_cast<std::ptrdiff_t>(tally.placeOf(year, 1)),
                        width,
                        title.counts.begin() + static_cast<std::ptrdiff_t>(title.placeOf(year, 1)));
        }
        tally = Tally();
        auto from = beyond.lower_bound({i, std::numeric_limits<int>::min(), 0});
        for (; from != beyond.end() && std::get<0>(from->first) == i; ++from) {
            const auto& [index, year, number] = from->first;
            title.beyond.emplace(title.placeOf(year, number), from->second);
        }
    }
};

HoldingsGatherer::HoldingsGatherer() : gathered_(std::make_unique<Gathered>()) {
    gathered_->batch.reserve(batchSize);
}

HoldingsGatherer::~HoldingsGatherer() = default;

void HoldingsGatherer::add(std::optional<std::string_view> title,
                           std::optional<std::string_view> number) {
    // A field without a value is gathered as an empty one: both give the same holdings.
    gathered_->add(title.value_or(std::string_view()), number.value_or(std::string_view()));
}

std::vector<TitleHoldings> HoldingsGatherer::finish() {
    Gathered& g = *gathered_;
    g.gatherBatch();
    // The spellings of each periodical, in the order first read.
    std::vector<std::vector<std::uint32_t>> periodicals;
    {
        std::unordered_map<std::string, std::size_t> byForm;
        for (std::uint32_t i = 0; i < g.titles.size(); ++i) {
            g.lay(i);
            const auto [at, added] =
                byForm.try_emplace(spellingForm(g.titles[i].title), periodicals.size());
            if (added) {
                periodicals.emplace_back();
            }
            periodicals[at->second].push_back(i);
        }
    }
    std::vector<TitleHoldings> merged;
    merged.reserve(periodicals.size());
    for (const std::vector<std::uint32_t>& spellings : periodicals) {
        TitleHoldings& title = merged.emplace_back(std::move(g.titles[spellings.front()]));
        const std::string shown = commonestSpelling(g.titles, title, spellings);
        std::vector<HeldCell> cells;
        for (std::size_t s = 1; s < spellings.size(); ++s) {
            TitleHoldings& other = g.titles[spellings[s]];
            appendCells(cells, other);
            title.records += other.records;
            std::move(other.unread.begin(), other.unread.end(), std::back_inserter(title.unread));
            other = TitleHoldings();
        }
        addCells(title, cells);
        // The four-digit years are all in; the two-digit ones are placed by them.
        cells.clear();
        const int firstFourDigit = title.firstYear;
        const int lastFourDigit = title.lastYear();
        for (const std::uint32_t spelling : spellings) {
            auto from = g.twoDigit.lower_bound({spelling, 0, 0});
            for (; from != g.twoDigit.end() && std::get<0>(from->first) == spelling; ++from) {
                const auto& [index, digits, number] = from->first;
                const int year = title.yearCount > 0
                                     ? yearNearest(digits, firstFourDigit, lastFourDigit)
                                     : pivotYear(digits);
                cells.push_back({year, number, from->second});
            }
        }
        addCells(title, cells);
        title.title = shown;
    }
    // Sorted by their collation keys, each made once.
    CzechCollator collator;
    std::vector<std::pair<std::string, std::size_t>> order;
    order.reserve(merged.size());
    for (std::size_t i = 0; i < merged.size(); ++i) {
        order.emplace_back(std::string(collator.key(merged[i].title)), i);
    }
    std::sort(order.begin(), order.end());
    std::vector<TitleHoldings> result;
    result.reserve(merged.size());
    for (const auto& [key, i] : order) {
        result.push_back(std::move(merged[i]));
    }
    g = Gathered();
    return result;
}

std::vector<TitleHoldings> readHoldings(Database& database,
                                        const std::optional<std::string>& onlyTitle,
                                        const std::function<void(std::uint64_t)>& progress) {
    HoldingsGatherer gatherer;
    sqlite::Transaction transaction(database.handle(), sqlite::Transaction::Kind::Read);
    // Prepared for this reading only: it is not one of the connection's everyday statements.
    sqlite::Statement rows(database.handle(), "SELECT vytisk, cislo FROM main.qv");
    const std::u16string wanted = onlyTitle ? looseForm(*onlyTitle) : std::u16string();
    // Whether each title read is the one asked for: a catalogue has far fewer titles than rows.
    std::unordered_map<std::string, bool> asked;
    std::uint64_t read = 0;
    while (rows.step()) {
        const std::optional<std::string_view> title = rows.textView(0);
        bool taken = !onlyTitle;
        if (onlyTitle) {
            const std::string_view text = title.value_or(std::string_view());
            auto found = asked.find(std::string(text));
            if (found == asked.end()) {
                found = asked.emplace(text, looseForm(text) == wanted).first;
            }
            taken = found->second;
        }
        if (taken) {
            gatherer.add(title, rows.textView(1));
        }
        if (++read % progressEvery == 0 && progress) {
            progress(read);
        }
    }
    rows.reset();
    transaction.commit();
    if (progress) {
        progress(read);
    }
    return gatherer.finish();
}

}  // namespace quorvel
