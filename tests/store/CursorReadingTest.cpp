// Reading a result through the cursor on a table of a few thousand rows: in stored order,
// sorted by an indexed field (with long runs of equal values across page boundaries), and
// numbered (filtered, or sorted by a field without an index). Every way of reading is checked
// against an independent sort of the inserted data.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <random>

#include "TempCatalogue.h"
#include "text/CzechCollator.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::PlainConnection;
using testing::TempCatalogue;

constexpr int rowTotal = 3000;

// An empty text is stored as no value; both read back as no value.
std::optional<std::string> storedValue(const std::optional<std::string>& value) {
    return value && !value->empty() ? value : std::nullopt;
}

std::vector<Entry> generateRows(int count, unsigned seed) {
    static const std::vector<std::string> titles = {"Abc",    "abc",        "A", "AA", "Zpravodaj",
                                                    "Čtenář", "Český svět", "Ž", "Z",  "Ab c",
                                                    "Abc ",   "Zahrádkář"};
    static const std::vector<std::string> numbers = {"1/2001", "1/2002", "10/1999", "2/2001", "12"};
    std::mt19937 random(seed);
    const auto pick = [&random](int n) {
        return static_cast<std::size_t>(std::uniform_int_distribution<int>(0, n - 1)(random));
    };
    std::vector<Entry> rows;
    for (int i = 0; i < count; ++i) {
        Entry entry;
        const std::size_t t = pick(14);
        if (t < titles.size()) {
            entry.vytisk = titles[t];
        } else if (t == titles.size()) {
            entry.vytisk = "";
        }
        const std::size_t n = pick(7);
        if (n < numbers.size()) {
            entry.cislo = numbers[n];
        } else if (n == numbers.size()) {
            entry.cislo = "";
        }
        const std::size_t c = pick(40);
        if (c < 35) {
            entry.casti = "část " + std::to_string(c % 17) + (c % 3 == 0 ? " Č" : "");
        }
        if (pick(5) == 0) {
            entry.memo = "Obsah řádku " + std::to_string(i) + "\r\ndruhý řádek";
        }
        rows.push_back(entry);
    }
    return rows;
}

// The sort value of a row: its field's text, or the empty text for no value.
std::string sortValue(const Entry& entry, int column) {
    const std::optional<std::string>& value = column == 0   ? entry.vytisk
                                              : column == 1 ? entry.cislo
                                                            : entry.casti;
    return value.value_or("");
}

// Positions of the rows (0-based, insertion order) sorted ascending by column, ties in
// insertion order: Czech order, by ICU's comparison of the texts themselves (the store sorts
// on sort keys it wrote).
std::vector<std::size_t> sortedPositions(const std::vector<Entry>& rows, int column) {
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    const CzechCollator czech;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return czech.compare(sortValue(rows[a], column), sortValue(rows[b], column)) < 0;
    });
    return order;
}

class CursorReading : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        catalogue_ = new TempCatalogue;
        rows_ = new std::vector<Entry>(generateRows(rowTotal, 20240607));
        ids_ = new std::vector<std::int64_t>(catalogue_->fill(*rows_));
    }
    static void TearDownTestSuite() {
        delete ids_;
        delete rows_;
        delete catalogue_;
    }

    std::unique_ptr<Cursor> open(const std::string& filter, const std::string& order) {
        return Cursor::open(engine_.database(), testing::statementOf(filter, order), true);
    }
    // A search of a table this large is counted in the background; its numbering is taken
    // once the count is done.
    std::unique_ptr<Cursor> openCounted(const std::string& filter, const std::string& order) {
        std::unique_ptr<Cursor> cursor = open(filter, order);
        EXPECT_TRUE(cursor->waitForCount(std::chrono::seconds(60)));
        cursor->takeCount();
        return cursor;
    }

    std::vector<std::int64_t> idsAt(const std::vector<std::size_t>& positions) const {
        std::vector<std::int64_t> ids;
        for (std::size_t p : positions) {
            ids.push_back((*ids_)[p]);
        }
        return ids;
    }
    std::vector<std::int64_t> expectedSorted(int column) const {
        return idsAt(sortedPositions(*rows_, column));
    }
    // Rows whose title contains a small letter a, in insertion order.
    std::vector<std::int64_t> expectedWithSmallA() const {
        std::vector<std::int64_t> ids;
        for (std::size_t p = 0; p < rows_->size(); ++p) {
            if ((*rows_)[p].vytisk && (*rows_)[p].vytisk->find('a') != std::string::npos) {
                ids.push_back((*ids_)[p]);
            }
        }
        return ids;
    }

    // readAfter and readBefore with counts and skips at random places, and at both ends,
    // against the expected order.
    void probeSkips(Cursor& cursor, const std::vector<std::int64_t>& expected) {
        const std::vector<RowData> all = testing::walkForward(cursor, 97);
        ASSERT_EQ(testing::idsOf(all), expected);
        std::mt19937 random(7);
        const auto slice = [&expected](std::ptrdiff_t from, std::ptrdiff_t to) {
            const auto size = static_cast<std::ptrdiff_t>(expected.size());
            from = std::clamp<std::ptrdiff_t>(from, 0, size);
            to = std::clamp<std::ptrdiff_t>(to, from, size);
            return std::vector<std::int64_t>(expected.begin() + from, expected.begin() + to);
        };
        const auto size = static_cast<int>(all.size());
        std::vector<int> places = {0, 1, size - 2, size - 1};
        for (int i = 0; i < 60; ++i) {
            places.push_back(std::uniform_int_distribution<int>(0, size - 1)(random));
        }
        for (int place : places) {
            const auto count =
                static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 40)(random));
            const auto skip =
                static_cast<std::size_t>(std::uniform_int_distribution<int>(0, 300)(random));
            const std::ptrdiff_t p = place;
            const auto c = static_cast<std::ptrdiff_t>(count);
            const auto s = static_cast<std::ptrdiff_t>(skip);
            const RowData& row = all[static_cast<std::size_t>(place)];
            EXPECT_EQ(testing::idsOf(cursor.readAfter(row, count, skip)),
                      slice(p + 1 + s, p + 1 + s + c))
                << "after row " << place << ", count " << count << ", skip " << skip;
            EXPECT_EQ(testing::idsOf(cursor.readBefore(row, count, skip)), slice(p - s - c, p - s))
                << "before row " << place << ", count " << count << ", skip " << skip;
            EXPECT_EQ(testing::idsOf(cursor.readAfter(row, count)), slice(p + 1, p + 1 + c));
            EXPECT_EQ(testing::idsOf(cursor.readBefore(row, count)), slice(p - c, p));
        }
    }

    static TempCatalogue* catalogue_;
    static std::vector<Entry>* rows_;
    static std::vector<std::int64_t>* ids_;
    Engine engine_{catalogue_->dir()};
};

TempCatalogue* CursorReading::catalogue_ = nullptr;
std::vector<Entry>* CursorReading::rows_ = nullptr;
std::vector<std::int64_t>* CursorReading::ids_ = nullptr;

TEST_F(CursorReading, StoredOrderWalksForwardAndBackwardOverEveryRowWithItsValues) {
    std::unique_ptr<Cursor> cursor = open({}, {});
    EXPECT_FALSE(cursor->numbersRows());
    const std::vector<RowData> forward = testing::walkForward(*cursor, 7);
    ASSERT_EQ(testing::idsOf(forward), *ids_);
    for (std::size_t i = 0; i < forward.size(); ++i) {
        const Entry& entry = (*rows_)[i];
        EXPECT_EQ(forward[i].strings[0], storedValue(entry.vytisk)) << i;
        EXPECT_EQ(forward[i].strings[1], storedValue(entry.cislo)) << i;
        EXPECT_EQ(forward[i].strings[2], storedValue(entry.casti)) << i;
        EXPECT_EQ(forward[i].memoHasValue(), storedValue(entry.memo).has_value()) << i;
        EXPECT_EQ(forward[i].recNo, 0) << "a result that doesn't number its rows numbered one";
    }
    EXPECT_EQ(testing::idsOf(testing::walkBackward(*cursor, 13)), *ids_);
    EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, 1)), *ids_);
}

TEST_F(CursorReading, FirstAndLastGiveTheEndsOfTheResult) {
    std::unique_ptr<Cursor> cursor = open({}, {});
    EXPECT_TRUE(cursor->readFirst(0).empty());
    EXPECT_TRUE(cursor->readLast(0).empty());
    const std::vector<std::int64_t> first = testing::idsOf(cursor->readFirst(5));
    EXPECT_EQ(first, std::vector<std::int64_t>(ids_->begin(), ids_->begin() + 5));
    const std::vector<std::int64_t> last = testing::idsOf(cursor->readLast(5));
    EXPECT_EQ(last, std::vector<std::int64_t>(ids_->end() - 5, ids_->end()));
    EXPECT_EQ(testing::idsOf(cursor->readFirst(rowTotal + 50)), *ids_);
    EXPECT_EQ(testing::idsOf(cursor->readLast(rowTotal + 50)), *ids_);
}

TEST_F(CursorReading, StoredOrderReadsWithSkipsFromAnyRow) {
    std::unique_ptr<Cursor> cursor = open({}, {});
    probeSkips(*cursor, *ids_);
}

TEST_F(CursorReading, SortedByVytiskWalksInSortedOrderAcrossRunsOfEqualValues) {
    std::unique_ptr<Cursor> cursor = open({}, "order by vytisk");
    const std::vector<std::int64_t> expected = expectedSorted(0);
    for (std::size_t page : {1u, 7u, 64u, 500u}) {
        EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, page)), expected) << page;
        EXPECT_EQ(testing::idsOf(testing::walkBackward(*cursor, page)), expected) << page;
    }
}

TEST_F(CursorReading, SortedByCisloWalksInSortedOrderAcrossRunsOfEqualValues) {
    std::unique_ptr<Cursor> cursor = open({}, "order by Cislo");
    const std::vector<std::int64_t> expected = expectedSorted(1);
    for (std::size_t page : {1u, 7u, 64u, 500u}) {
        EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, page)), expected) << page;
        EXPECT_EQ(testing::idsOf(testing::walkBackward(*cursor, page)), expected) << page;
    }
}

TEST_F(CursorReading, SortedResultsReadWithSkipsFromAnyRow) {
    {
        std::unique_ptr<Cursor> cursor = open({}, "order by vytisk");
        probeSkips(*cursor, expectedSorted(0));
    }
    {
        std::unique_ptr<Cursor> cursor = open({}, "order by Cislo");
        probeSkips(*cursor, expectedSorted(1));
    }
}

TEST_F(CursorReading, FilteredResultNumbersItsRows) {
    std::unique_ptr<Cursor> cursor = openCounted("where (vytisk like \"%a%\")", {});
    const std::vector<std::int64_t> expected = expectedWithSmallA();
    ASSERT_TRUE(cursor->numbersRows());
    ASSERT_EQ(cursor->rowCount(), static_cast<std::int64_t>(expected.size()));
    const std::vector<RowData> forward = testing::walkForward(*cursor, 11);
    ASSERT_EQ(testing::idsOf(forward), expected);
    for (std::size_t i = 0; i < forward.size(); ++i) {
        EXPECT_EQ(forward[i].recNo, static_cast<std::int64_t>(i) + 1);
    }
    EXPECT_EQ(testing::idsOf(testing::walkBackward(*cursor, 11)), expected);
    for (std::int64_t recNo :
         {std::int64_t{1}, std::int64_t{2}, cursor->rowCount() / 2, cursor->rowCount()}) {
        const std::optional<RowData> row = cursor->readNumber(recNo);
        ASSERT_TRUE(row.has_value()) << recNo;
        EXPECT_EQ(row->id, expected[static_cast<std::size_t>(recNo - 1)]);
        EXPECT_EQ(row->recNo, recNo);
    }
    EXPECT_FALSE(cursor->readNumber(0).has_value());
    EXPECT_FALSE(cursor->readNumber(cursor->rowCount() + 1).has_value());
    probeSkips(*cursor, expected);
}

TEST_F(CursorReading, SortedByAFieldWithoutAnIndexNumbersItsRowsInSortedOrder) {
    std::unique_ptr<Cursor> cursor = open({}, "order by nejzajimavejsi_casti");
    const std::vector<std::int64_t> expected = expectedSorted(2);
    ASSERT_TRUE(cursor->numbersRows());
    ASSERT_EQ(cursor->rowCount(), rowTotal);
    EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, 29)), expected);
    EXPECT_EQ(testing::idsOf(testing::walkBackward(*cursor, 29)), expected);
    for (std::int64_t recNo : {std::int64_t{1}, std::int64_t{1234}, std::int64_t{rowTotal}}) {
        const std::optional<RowData> row = cursor->readNumber(recNo);
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(row->id, expected[static_cast<std::size_t>(recNo - 1)]);
    }
    probeSkips(*cursor, expected);
}

TEST_F(CursorReading, FilteredAndSortedResultIsTheSortedSubset) {
    std::unique_ptr<Cursor> cursor = openCounted("where (vytisk like \"%a%\")", "order by Cislo");
    std::vector<std::int64_t> expected;
    for (std::size_t p : sortedPositions(*rows_, 1)) {
        const Entry& entry = (*rows_)[p];
        if (entry.vytisk && entry.vytisk->find('a') != std::string::npos) {
            expected.push_back((*ids_)[p]);
        }
    }
    ASSERT_TRUE(cursor->numbersRows());
    EXPECT_EQ(cursor->rowCount(), static_cast<std::int64_t>(expected.size()));
    probeSkips(*cursor, expected);
}

// A row handed in without its number in this result (read through another result) is found
// by its id wherever the result holds it.
TEST_F(CursorReading, NumberedResultsFindARowHandedInWithoutItsNumber) {
    struct Case {
        const char* filter;
        const char* order;
        std::vector<std::int64_t> expected;
    };
    std::vector<std::int64_t> filteredSorted;
    for (std::size_t p : sortedPositions(*rows_, 2)) {
        const Entry& entry = (*rows_)[p];
        if (entry.vytisk && entry.vytisk->find('a') != std::string::npos) {
            filteredSorted.push_back((*ids_)[p]);
        }
    }
    const std::vector<Case> cases = {
        {"where (vytisk like \"%a%\")", "", expectedWithSmallA()},
        {"", "order by nejzajimavejsi_casti", expectedSorted(2)},
        {"where (vytisk like \"%a%\")", "order by nejzajimavejsi_casti", filteredSorted},
    };
    std::unique_ptr<Cursor> stored = open({}, {});
    for (const Case& c : cases) {
        std::unique_ptr<Cursor> cursor = open(c.filter, c.order);
        cursor->waitForCount(std::chrono::seconds(60));  // a search counted in the background
        cursor->takeCount();
        ASSERT_TRUE(cursor->numbersRows());
        const auto size = static_cast<std::ptrdiff_t>(c.expected.size());
        for (std::ptrdiff_t place = 5; place < size - 5; place += size / 9) {
            RowData probe;
            probe.id = c.expected[static_cast<std::size_t>(place)];
            const std::optional<RowData> row = stored->readRow(probe);
            ASSERT_TRUE(row.has_value());
            ASSERT_EQ(row->recNo, 0);
            const std::optional<RowData> found = cursor->readRow(*row);
            EXPECT_TRUE(found.has_value()) << c.filter << " " << c.order << ", row " << place;
            if (found) {
                EXPECT_EQ(found->recNo, place + 1) << c.filter << " " << c.order;
            }
            EXPECT_EQ(testing::idsOf(cursor->readAfter(*row, 3)),
                      std::vector<std::int64_t>(c.expected.begin() + place + 1,
                                                c.expected.begin() + place + 4))
                << c.filter << " " << c.order << ", after row " << place;
            EXPECT_EQ(testing::idsOf(cursor->readBefore(*row, 3)),
                      std::vector<std::int64_t>(c.expected.begin() + place - 3,
                                                c.expected.begin() + place))
                << c.filter << " " << c.order << ", before row " << place;
        }
    }
}

TEST_F(CursorReading, ReadRowAndReadMemoGiveTheStoredRow) {
    std::unique_ptr<Cursor> cursor = open({}, "order by vytisk");
    for (std::size_t p : {std::size_t{0}, std::size_t{17}, std::size_t{rowTotal - 1}}) {
        RowData probe;
        probe.id = (*ids_)[p];
        const std::optional<RowData> row = cursor->readRow(probe);
        ASSERT_TRUE(row.has_value());
        EXPECT_EQ(row->strings[0], storedValue((*rows_)[p].vytisk));
        EXPECT_EQ(cursor->readMemo(row->id), storedValue((*rows_)[p].memo));
    }
    RowData missing;
    missing.id = (*ids_).back() + 1000;
    EXPECT_FALSE(cursor->readRow(missing).has_value());
    EXPECT_FALSE(cursor->readRow(RowData{}).has_value());
}

// A table of its own for each of these: rows vanish from it.
class CursorAfterDeletion : public ::testing::Test {
  protected:
    CursorAfterDeletion() {
        rows_ = generateRows(300, 99);
        ids_ = catalogue_.fill(rows_);
    }

    std::vector<std::int64_t> idsAt(const std::vector<std::size_t>& positions) const {
        std::vector<std::int64_t> ids;
        for (std::size_t p : positions) {
            ids.push_back(ids_[p]);
        }
        return ids;
    }

    // The ids of expected without the one of removed.
    static std::vector<std::int64_t> without(std::vector<std::int64_t> expected,
                                             std::int64_t removed) {
        expected.erase(std::find(expected.begin(), expected.end(), removed));
        return expected;
    }

    // Deletes row id through another running copy of the engine.
    void deleteElsewhere(std::int64_t id) {
        Engine other(catalogue_.dir());
        std::unique_ptr<Cursor> cursor =
            Cursor::open(other.database(), testing::statementOf(), true);
        RowData row;
        row.id = id;
        cursor->deleteRow(row);
    }

    // Around a row that was in the result and is gone now, reading goes on from where it stood.
    static void expectReadingAroundTheGap(Cursor& cursor, const RowData& gone,
                                          const std::vector<std::int64_t>& before,
                                          const std::vector<std::int64_t>& after) {
        ASSERT_GE(before.size(), 3u);
        ASSERT_GE(after.size(), 3u);
        EXPECT_EQ(testing::idsOf(cursor.readAfter(gone, 3)),
                  std::vector<std::int64_t>(after.begin(), after.begin() + 3));
        EXPECT_EQ(testing::idsOf(cursor.readBefore(gone, 3)),
                  std::vector<std::int64_t>(before.end() - 3, before.end()));
        EXPECT_EQ(testing::idsOf(cursor.readAfter(gone, 1, 2)),
                  std::vector<std::int64_t>{after[2]});
        EXPECT_EQ(testing::idsOf(cursor.readBefore(gone, 1, 2)),
                  std::vector<std::int64_t>{before[before.size() - 3]});
        EXPECT_FALSE(cursor.readRow(gone).has_value());
    }

    void checkGap(Cursor& cursor, const std::vector<std::int64_t>& expected, std::size_t place,
                  bool deleteThroughCursor) {
        const std::vector<RowData> all = testing::walkForward(cursor, 50);
        ASSERT_EQ(testing::idsOf(all), expected);
        const RowData gone = all[place];
        if (deleteThroughCursor) {
            cursor.deleteRow(gone);
        } else {
            deleteElsewhere(gone.id);
        }
        expectReadingAroundTheGap(
            cursor, gone, std::vector<std::int64_t>(expected.begin(), expected.begin() + place),
            std::vector<std::int64_t>(expected.begin() + place + 1, expected.end()));
        EXPECT_EQ(testing::idsOf(testing::walkForward(cursor, 50)), without(expected, gone.id));
        EXPECT_EQ(testing::idsOf(testing::walkBackward(cursor, 50)), without(expected, gone.id));
    }

    TempCatalogue catalogue_;
    std::vector<Entry> rows_;
    std::vector<std::int64_t> ids_;
};

TEST_F(CursorAfterDeletion, StoredOrderGoesOnFromWhereADeletedRowStood) {
    Engine engine(catalogue_.dir());
    std::unique_ptr<Cursor> cursor = Cursor::open(engine.database(), testing::statementOf(), true);
    checkGap(*cursor, ids_, 100, true);
    checkGap(*cursor, without(ids_, ids_[100]), 150, false);
}

TEST_F(CursorAfterDeletion, SortedOrderGoesOnFromWhereARowDeletedElsewhereStood) {
    std::vector<std::int64_t> deleted;
    for (int column : {0, 1}) {
        Engine engine(catalogue_.dir());
        std::unique_ptr<Cursor> cursor = Cursor::open(
            engine.database(),
            testing::statementOf({}, column == 0 ? "order by vytisk" : "order by Cislo"), true);
        std::vector<std::int64_t> expected;
        for (std::size_t p : sortedPositions(rows_, column)) {
            if (std::find(deleted.begin(), deleted.end(), ids_[p]) == deleted.end()) {
                expected.push_back(ids_[p]);
            }
        }
        checkGap(*cursor, expected, 120, false);
        deleted.push_back(expected[120]);
    }
}

TEST_F(CursorAfterDeletion, NumberedResultGoesOnFromWhereADeletedRowStood) {
    Engine engine(catalogue_.dir());
    std::unique_ptr<Cursor> filtered =
        Cursor::open(engine.database(), testing::statementOf("where (vytisk like \"%%\")"), true);
    std::vector<std::int64_t> expected;
    for (std::size_t p = 0; p < rows_.size(); ++p) {
        if (storedValue(rows_[p].vytisk)) {
            expected.push_back(ids_[p]);
        }
    }
    checkGap(*filtered, expected, 40, true);
    EXPECT_EQ(filtered->rowCount(), static_cast<std::int64_t>(expected.size()) - 1);

    const std::int64_t deleted = expected[40];
    std::unique_ptr<Cursor> sorted = Cursor::open(
        engine.database(), testing::statementOf({}, "order by nejzajimavejsi_casti"), true);
    std::vector<std::int64_t> sortedIds = idsAt(sortedPositions(rows_, 2));
    checkGap(*sorted, without(sortedIds, deleted), 77, false);
}

// A result asked for count rows gives count rows while there are that many, even when another
// copy deleted some of the rows the result was made of.
TEST_F(CursorAfterDeletion, NumberedResultStillGivesFullPagesWhenRowsWereDeletedElsewhere) {
    Engine engine(catalogue_.dir());
    std::unique_ptr<Cursor> cursor =
        Cursor::open(engine.database(), testing::statementOf("where (vytisk like \"%%\")"), true);
    const std::vector<RowData> all = testing::walkForward(*cursor, 50);
    ASSERT_GT(all.size(), 20u);
    deleteElsewhere(all[2].id);
    deleteElsewhere(all[12].id);
    std::vector<std::int64_t> remaining = testing::idsOf(all);
    remaining = without(without(remaining, all[2].id), all[12].id);
    EXPECT_EQ(testing::idsOf(cursor->readFirst(10)),
              std::vector<std::int64_t>(remaining.begin(), remaining.begin() + 10));
    EXPECT_EQ(testing::idsOf(cursor->readAfter(all[0], 12)),
              std::vector<std::int64_t>(remaining.begin() + 1, remaining.begin() + 13));
    EXPECT_EQ(testing::idsOf(cursor->readBefore(all[20], 10)),
              std::vector<std::int64_t>(remaining.begin() + 8, remaining.begin() + 18));
}

// The sorted results walk an index: SQLite must never have to sort (a temporary b-tree) to
// give the next few rows, or reading the last rows of a large table becomes a full sort.
class SortedQueryPlans : public ::testing::Test {
  protected:
    static int traceStatement(unsigned, void* context, void* statement, void*) {
        auto* captured = static_cast<std::vector<std::string>*>(context);
        const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
        if (sql != nullptr && std::string_view(sql).substr(0, 6) == "SELECT") {
            captured->push_back(sql);
        }
        return 0;
    }

    // The plan's lines for sql, planned by a connection of its own on the same files.
    std::vector<std::string> planOf(const std::string& sql) {
        PlainConnection plain(catalogue_.dir());
        std::vector<std::string> lines;
        for (const auto& row : plain.rows("EXPLAIN QUERY PLAN " + sql)) {
            lines.push_back(row.back());
        }
        return lines;
    }
    static bool sorts(const std::vector<std::string>& plan) {
        return std::any_of(plan.begin(), plan.end(), [](const std::string& line) {
            return line.find("TEMP B-TREE") != std::string::npos;
        });
    }

    TempCatalogue catalogue_;
};

TEST_F(SortedQueryPlans, OrderingBySortExpressionAndIdWalksTheIndexWithoutSorting) {
    for (const char* column : {"vytisk", "cislo"}) {
        const int c = column == std::string_view("vytisk") ? 0 : 1;
        const std::vector<std::string> plan =
            planOf(std::string("SELECT qv.id FROM main.qv ORDER BY ") + schema::sortExpression(c) +
                   ", qv.id");
        EXPECT_FALSE(sorts(plan)) << column;
        EXPECT_TRUE(std::any_of(plan.begin(), plan.end(), [&](const std::string& line) {
            return line.find(std::string("qv_by_") + column) != std::string::npos;
        })) << column;
        // The check itself can see a sort: the bare column has no index.
        EXPECT_TRUE(sorts(
            planOf(std::string("SELECT qv.id FROM main.qv ORDER BY qv.") + column + ", qv.id")));
    }
}

TEST_F(SortedQueryPlans, EveryReadOfASortedResultWalksAnIndex) {
    std::vector<Entry> rows = generateRows(200, 5);
    catalogue_.fill(rows);
    for (const char* order : {"order by vytisk", "order by Cislo"}) {
        Engine engine(catalogue_.dir());
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf({}, order), true);
        std::vector<std::string> captured;
        sqlite3_trace_v2(engine.database().handle(), SQLITE_TRACE_STMT, traceStatement, &captured);
        const std::vector<RowData> first = cursor->readFirst(20);
        const std::vector<RowData> last = cursor->readLast(20);
        cursor->readAfter(first.back(), 20, 5);
        cursor->readAfter(first.back(), 20, 150);
        cursor->readBefore(last.front(), 20, 7);
        cursor->readBefore(last.front(), 20, 150);
        cursor->readRow(first[3]);
        sqlite3_trace_v2(engine.database().handle(), 0, nullptr, nullptr);
        ASSERT_FALSE(captured.empty());
        bool sawOrderBy = false;
        for (const std::string& sql : captured) {
            sawOrderBy = sawOrderBy || sql.find("ORDER BY") != std::string::npos;
            const std::vector<std::string> plan = planOf(sql);
            std::string planText;
            for (const std::string& line : plan) {
                planText += line + "\n";
            }
            EXPECT_FALSE(sorts(plan)) << order << ": " << sql << "\n" << planText;
        }
        EXPECT_TRUE(sawOrderBy);
    }
}

}  // namespace
}  // namespace quorvel
