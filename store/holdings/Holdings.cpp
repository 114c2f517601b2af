#include "holdings/Holdings.h"

#include <algorithm>
#include <deque>

#include "engine/Database.h"
#include "holdings/IssueNumber.h"
#include "sqlite/SqliteStatement.h"
#include "text/CzechCollator.h"
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

namespace {

// An issue read, waiting in a batch to be counted.
struct PendingIssue {
    std::size_t title = 0;
    IssueNumber issue;
};

// Issues counted at a time: the cells of a whole batch are fetched from memory together, as a
// large catalogue's counts are far apart and seldom in the processor's cache.
constexpr std::size_t batchSize = 64;

// Makes room in title's counts for number in year, laying them out anew when the years or the
// numbers grow: a few times a title, whatever its rows.
void makeRoom(TitleHoldings& title, int year, int number) {
    const int firstYear = title.yearCount == 0 ? year : std::min(title.firstYear, year);
    const int lastYear = title.yearCount == 0 ? year : std::max(title.lastYear(), year);
    const int highest = std::max(title.highestNumber, number);
    const int yearCount = lastYear - firstYear + 1;
    if (firstYear == title.firstYear && yearCount == title.yearCount &&
        highest == title.highestNumber) {
        return;
    }
    const auto width = static_cast<std::size_t>(title.highestNumber);
    const auto newWidth = static_cast<std::size_t>(highest);
    const auto yearsBefore = static_cast<std::size_t>(title.firstYear - firstYear);
    std::vector<std::uint8_t> counts(static_cast<std::size_t>(yearCount) * newWidth);
    for (std::size_t row = 0; row < static_cast<std::size_t>(title.yearCount); ++row) {
        std::copy_n(title.counts.begin() + static_cast<std::ptrdiff_t>(row * width), width,
                    counts.begin() + static_cast<std::ptrdiff_t>((row + yearsBefore) * newWidth));
    }
    std::map<std::size_t, std::uint32_t> beyond;
    for (const auto& [place, count] : title.beyond) {
        beyond.emplace((place / width + yearsBefore) * newWidth + place % width, count);
    }
    title.counts = std::move(counts);
    title.beyond = std::move(beyond);
    title.firstYear = firstYear;
    title.yearCount = yearCount;
    title.highestNumber = highest;
}

void count(TitleHoldings& title, std::size_t place) {
    std::uint8_t& count = title.counts[place];
    if (count < TitleHoldings::manyTimes - 1) {
        ++count;
    } else if (count == TitleHoldings::manyTimes - 1) {
        count = TitleHoldings::manyTimes;
        title.beyond[place] = TitleHoldings::manyTimes;
    } else {
        ++title.beyond[place];
    }
}

}  // namespace

struct HoldingsGatherer::Gathered {
    // The titles by the hash of their text, open addressing: 0 is a free slot, else the
    // title's index + 1.
    struct Slot {
        std::size_t hash = 0;
        std::size_t title = 0;
        std::string_view name;  // in names, so that a lookup needn't touch the title itself
    };
    std::vector<Slot> slots = std::vector<Slot>(1024);
    std::deque<std::string> names;  // where each title's text stays put
    std::vector<TitleHoldings> titles;
    std::vector<std::uint64_t> records;  // the titles', apart: counted at every row
    std::size_t lastTitle = 0;  // the previous row's, tried first: rows often come by title
    std::vector<PendingIssue> batch;

    std::size_t titleOf(std::string_view name) {
        if (!titles.empty() && names[lastTitle] == name) {
            return lastTitle;
        }
        const std::size_t hash = std::hash<std::string_view>()(name);
        const std::size_t mask = slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot& slot = slots[at];
            if (slot.title == 0) {
                slot = {hash, titles.size() + 1, names.emplace_back(name)};
                titles.emplace_back().title = name;
                records.push_back(0);
                lastTitle = titles.size() - 1;
                if (titles.size() * 2 > slots.size()) {
                    grow();
                }
                return lastTitle;
            }
            if (slot.hash == hash && slot.name == name) {
                lastTitle = slot.title - 1;
                return lastTitle;
            }
        }
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

    void countBatch() {
        // First the room and the cells' places, each cell asked of memory; then the counts.
        for (const PendingIssue& pending : batch) {
            TitleHoldings& title = titles[pending.title];
            const IssueNumber& issue = pending.issue;
            if (title.yearCount == 0 || issue.year < title.firstYear ||
                issue.year > title.lastYear() || issue.last > title.highestNumber) {
                makeRoom(title, issue.year, issue.last);
            }
            __builtin_prefetch(&title.counts[title.placeOf(issue.year, issue.first)], 1);
        }
        for (const PendingIssue& pending : batch) {
            TitleHoldings& title = titles[pending.title];
            const std::size_t at = title.placeOf(pending.issue.year, pending.issue.first);
            const auto span = static_cast<std::size_t>(pending.issue.last - pending.issue.first);
            for (std::size_t place = at; place <= at + span; ++place) {
                count(title, place);
            }
        }
        batch.clear();
    }
};

HoldingsGatherer::HoldingsGatherer() : gathered_(std::make_unique<Gathered>()) {
    gathered_->batch.reserve(batchSize);
}

HoldingsGatherer::~HoldingsGatherer() = default;

void HoldingsGatherer::add(std::optional<std::string_view> title,
                           std::optional<std::string_view> number) {
    Gathered& g = *gathered_;
    const std::size_t index = g.titleOf(title.value_or(std::string_view()));
    ++g.records[index];
    // Wanted when the batch is counted.
    __builtin_prefetch(&g.titles[index]);
    const std::optional<IssueNumber> issue =
        number ? readIssueNumber(*number) : std::optional<IssueNumber>();
    if (!issue) {
        g.titles[index].unread.emplace_back(number.value_or(std::string_view()));
        return;
    }
    g.batch.push_back({index, *issue});
    if (g.batch.size() == batchSize) {
        g.countBatch();
    }
}

std::vector<TitleHoldings> HoldingsGatherer::finish() {
    Gathered& g = *gathered_;
    g.countBatch();
    for (std::size_t i = 0; i < g.titles.size(); ++i) {
        g.titles[i].records = g.records[i];
    }
    // Sorted by their collation keys, each made once.
    CzechCollator collator;
    std::vector<std::pair<std::string, std::size_t>> order;
    order.reserve(g.titles.size());
    for (std::size_t i = 0; i < g.titles.size(); ++i) {
        order.emplace_back(std::string(collator.key(g.titles[i].title)), i);
    }
    std::sort(order.begin(), order.end());
    std::vector<TitleHoldings> result;
    result.reserve(g.titles.size());
    for (const auto& [key, i] : order) {
        result.push_back(std::move(g.titles[i]));
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
    std::uint64_t read = 0;
    while (rows.step()) {
        const std::optional<std::string_view> title = rows.textView(0);
        if (!onlyTitle ||
            utf8::equalsIgnoringCase(title.value_or(std::string_view()), *onlyTitle)) {
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
