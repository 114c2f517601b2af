// A search over a large table opens with its first rows while its rows are counted in the
// background, and numbers them once the count arrives. The count is held between its ranges by
// the engine's seam, so each phase is met for certain: before the count, during it (another
// running copy and this one changing rows), after it, and a count stopped or failed.
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "RecordSetFixture.h"

namespace quorvel::testing {
namespace {

constexpr int tableRows = 2000;  // ids spanning more than a search counts in its opening

// What the count may do next: read this many more ranges (-1: any), or fail.
struct CountGate {
    std::atomic<int> ranges{0};
    std::atomic<int> asked{0};
    std::atomic<bool> fail{false};

    bool pass() {
        ++asked;
        if (fail.load()) {
            throw std::runtime_error("the count's read failed");
        }
        int left = ranges.load();
        while (left != 0) {
            if (left < 0 || ranges.compare_exchange_weak(left, left - 1)) {
                return true;
            }
        }
        return false;
    }
};

class RecordSetCount : public RecordSetTest {
  protected:
    void SetUp() override {
        RecordSetTest::SetUp();
        std::vector<Entry> entries;
        for (int i = 1; i <= tableRows; ++i) {
            const bool match = i % 3 == 0;
            entries.push_back({(match ? "Hledaný " : "Titul ") + std::to_string(i),
                               std::to_string(i % 12 + 1) + "/1999", std::nullopt, std::nullopt});
            if (match) {
                matches.push_back(entries.back().vytisk.value());
            }
        }
        Engine filler(dir.path());
        insertAll(filler.database(), entries);
        std::shared_ptr<CountGate> held = gate;
        engine.database().setBeforeCountRange([held] { return held->pass(); });
        set.SetBufferCount(5);
    }

    void search() { open({"select * from qv", "where (vytisk like \"%Hledaný%\")"}); }

    // Waits until the count has asked to go on at least times times.
    void waitForAsked(int times) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (gate->asked.load() < times && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GE(gate->asked.load(), times);
    }

    // Every title of the result from its first row on, by moves of the set.
    std::vector<std::string> titles() {
        std::vector<std::string> all;
        set.First();
        do {
            all.push_back(title());
        } while (set.MoveBy(1) == 1);
        return all;
    }

    std::shared_ptr<CountGate> gate = std::make_shared<CountGate>();
    std::vector<std::string> matches;
};

TEST_F(RecordSetCount, TheFirstRowsComeBeforeTheCountAndTheNumbersWithIt) {
    search();
    ASSERT_TRUE(set.CountRunning());
    EXPECT_FALSE(set.NumbersRows());
    EXPECT_EQ(window(), std::vector<std::string>(
                            {">" + matches[0], matches[1], matches[2], matches[3], matches[4]}));
    EXPECT_TRUE(set.IsFirst());
    EXPECT_EQ(set.RecNo(), 0);
    EXPECT_EQ(set.RecordCount(), 0);
    EXPECT_EQ(titles(), matches);  // the whole result walked by its condition
    EXPECT_TRUE(set.IsLast());
    set.Last();
    EXPECT_EQ(title(), matches.back());
    EXPECT_TRUE(set.IsLast());
    EXPECT_EQ(set.MoveBy(-2), -2);
    set.MoveToRecNo(1);  // no numbers yet: nothing happens
    EXPECT_EQ(title(), matches[matches.size() - 3]);
    recorder.take();

    gate->ranges = -1;
    ASSERT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_EQ(recorder.take(), std::vector<std::string>{"numbering"});
    EXPECT_FALSE(set.CountRunning());
    EXPECT_EQ(set.RecordCount(), static_cast<std::int64_t>(matches.size()));
    EXPECT_EQ(set.RecNo(), static_cast<std::int64_t>(matches.size()) - 2);
    EXPECT_EQ(title(), matches[matches.size() - 3]);
    set.MoveToRecNo(10);
    EXPECT_EQ(title(), matches[9]);
    EXPECT_EQ(set.RecNo(), 10);
    EXPECT_EQ(titles(), matches);
}

TEST_F(RecordSetCount, ChangesOfBothCopiesWhileCountingStandAsInANumberedResult) {
    gate->ranges = 1;  // the first range of rows (ids 1 to 256) counted, then held
    search();
    waitForAsked(2);
    {
        // Another copy deletes a counted and a not yet counted row, and adds a matching row,
        // which doesn't join.
        Engine other(dir.path());
        std::unique_ptr<Cursor> cursor = other.database().openCursor("select * from qv", true);
        for (std::int64_t id : {102, 1500}) {
            RowData row;
            row.id = id;
            cursor->deleteRow(row);
        }
        cursor->insertRow(rowOf({"Hledaný jinde", "1/2000", std::nullopt, std::nullopt}));
    }
    // This copy deletes its first row, changes one so it no longer matches and adds one.
    set.First();
    set.Delete();
    EXPECT_EQ(title(), matches[1]);
    set.MoveBy(2);
    set.Edit();
    set.FieldByName("Vytisk").SetAsString("Změněný");
    set.Post();
    set.Append();
    set.FieldByName("Vytisk").SetAsString("Hledaný nový");
    set.Post();
    EXPECT_EQ(title(), "Hledaný nový");
    EXPECT_TRUE(set.IsLast());
    EXPECT_FALSE(set.NumbersRows());

    std::vector<std::string> expected;
    for (const std::string& match : matches) {
        if (match != "Hledaný 102" && match != "Hledaný 1500" && match != matches[0]) {
            expected.push_back(match == matches[3] ? "Změněný" : match);
        }
    }
    expected.push_back("Hledaný nový");
    EXPECT_EQ(titles(), expected);

    gate->ranges = -1;
    ASSERT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_EQ(set.RecordCount(), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(titles(), expected);
    set.Last();
    EXPECT_EQ(title(), "Hledaný nový");
    EXPECT_EQ(set.RecNo(), set.RecordCount());
    set.MoveToRecNo(3);
    EXPECT_EQ(title(), "Změněný");
}

TEST_F(RecordSetCount, ANewSearchStopsTheCountOfTheOldOne) {
    search();  // the count is held for good
    waitForAsked(1);
    const auto start = std::chrono::steady_clock::now();
    search();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    ASSERT_TRUE(set.CountRunning());
    const auto closing = std::chrono::steady_clock::now();
    set.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::seconds(5));
    EXPECT_FALSE(set.CountRunning());
    gate->ranges = -1;
    search();
    EXPECT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_EQ(set.RecordCount(), static_cast<std::int64_t>(matches.size()));
}

TEST_F(RecordSetCount, APostDoesNotWaitForARunningCount) {
    gate->ranges = 1;
    search();
    waitForAsked(2);  // between two ranges of the count
    // Another copy's commit goes through at once, with no busy timeout at all.
    PlainConnection plain(dir.path());
    EXPECT_EQ(plain.exec("BEGIN IMMEDIATE; UPDATE main.qv_pair SET token = token; "
                         "UPDATE mb.qv_pair SET token = token; COMMIT"),
              SQLITE_OK)
        << plain.lastError();
    set.Edit();
    set.FieldByName("Vytisk").SetAsString("Hledaný opravený");
    set.Post();
    EXPECT_EQ(title(), "Hledaný opravený");
    // Counting freely, ranges and Posts take turns.
    gate->ranges = -1;
    for (int i = 0; i < 5; ++i) {
        set.Edit();
        set.FieldByName("Cislo").SetAsString(std::to_string(i) + "/2001");
        set.Post();
    }
    ASSERT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_EQ(set.RecNo(), 1);
    EXPECT_EQ(set.RecordCount(), static_cast<std::int64_t>(matches.size()));
}

TEST_F(RecordSetCount, ACountThatFailsLeavesTheSearchUnnumberedAndWorking) {
    gate->fail = true;
    search();
    EXPECT_FALSE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_FALSE(set.CountRunning());
    EXPECT_FALSE(set.NumbersRows());
    EXPECT_EQ(set.RecordCount(), 0);
    set.Last();
    EXPECT_EQ(title(), matches.back());
    EXPECT_EQ(set.MoveBy(-1), -1);
    set.Edit();
    set.FieldByName("Vytisk").SetAsString("Hledaný poslední");
    set.Post();
    EXPECT_EQ(title(), "Hledaný poslední");
    EXPECT_EQ(titles().size(), matches.size());
}

}  // namespace
}  // namespace quorvel::testing
