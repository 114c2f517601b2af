// A search over a large table opens with its first rows while the background counts them. The
// engine's seam holds the count between its ranges, so each phase is met for certain.
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
        for (int left = ranges.load(); left != 0;) {
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
            const std::string title = (i % 3 == 0 ? "Hledaný " : "Titul ") + std::to_string(i);
            entries.push_back({title, std::to_string(i % 12 + 1) + "/1999", {}, {}});
            if (i % 3 == 0) {
                matches.push_back(title);
            }
        }
        Engine filler(dir.path());
        insertAll(filler.database(), entries);
        std::shared_ptr<CountGate> held = gate;
        engine.database().setBeforeCountRange([held] { return held->pass(); });
        set.SetBufferCount(5);
    }

    void search() { open({"select * from qv", "where (vytisk like \"%Hledaný%\")"}); }

    void waitForAsked(int times) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (gate->asked.load() < times && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_GE(gate->asked.load(), times);
    }

    void countFreely() {
        gate->ranges = -1;
        ASSERT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    }

    void post(const char* field, const std::string& value) {
        set.Edit();
        set.FieldByName(field).SetAsString(value);
        set.Post();
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

    std::int64_t size(const std::vector<std::string>& rows) {
        return static_cast<std::int64_t>(rows.size());
    }

    std::shared_ptr<CountGate> gate = std::make_shared<CountGate>();
    std::vector<std::string> matches;
};

TEST_F(RecordSetCount, TheFirstRowsComeBeforeTheCountAndBothCopiesChangesStandWhenItArrives) {
    gate->ranges = 1;  // ids 1 to 256 counted, then held
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
    EXPECT_EQ(set.MoveBy(-2), -2);
    set.MoveToRecNo(1);  // no numbers yet: nothing happens
    EXPECT_EQ(title(), matches[matches.size() - 3]);

    waitForAsked(2);
    // Another copy's commit goes through at once, with no busy timeout at all.
    PlainConnection plain(dir.path());
    EXPECT_EQ(plain.exec("BEGIN IMMEDIATE; UPDATE main.qv_pair SET token = token; "
                         "UPDATE mb.qv_pair SET token = token; COMMIT"),
              SQLITE_OK)
        << plain.lastError();
    {
        // It deletes a counted and a not yet counted row; its new matching row doesn't join.
        Engine other(dir.path());
        std::unique_ptr<Cursor> cursor = Cursor::open(other.database(), "select * from qv", true);
        RowData row;
        for (std::int64_t id : {102, 1500}) {
            row.id = id;
            cursor->deleteRow(row);
        }
        cursor->insertRow(rowOf({"Hledaný jinde", "1/2000", std::nullopt, std::nullopt}));
    }
    // This copy deletes its first row, makes one no longer match and adds one.
    set.First();
    set.Delete();
    EXPECT_EQ(title(), matches[1]);
    set.MoveBy(2);
    post("Vytisk", "Změněný");
    set.Append();
    post("Vytisk", "Hledaný nový");
    EXPECT_TRUE(set.IsLast());
    EXPECT_FALSE(set.NumbersRows());
    std::vector<std::string> expected(matches.begin() + 1, matches.end());
    expected[2] = "Změněný";
    std::erase(expected, "Hledaný 102");
    std::erase(expected, "Hledaný 1500");
    expected.push_back("Hledaný nový");
    EXPECT_EQ(titles(), expected);

    set.Last();
    recorder.take();
    countFreely();
    EXPECT_EQ(recorder.take(), std::vector<std::string>{"numbering"});
    EXPECT_FALSE(set.CountRunning());
    EXPECT_EQ(set.RecordCount(), size(expected));
    EXPECT_EQ(title(), "Hledaný nový");
    EXPECT_EQ(set.RecNo(), size(expected));
    EXPECT_EQ(titles(), expected);
    set.MoveToRecNo(3);
    EXPECT_EQ(title(), "Změněný");
    EXPECT_EQ(set.RecNo(), 3);
}

TEST_F(RecordSetCount, ACountStoppedOrFailedLeavesTheSearchWorking) {
    // The count is held for good: a search or a close that waited for it to end would never
    // return, and the test would end at its time limit.
    search();
    waitForAsked(1);
    search();
    ASSERT_TRUE(set.CountRunning());
    set.Close();
    EXPECT_FALSE(set.CountRunning());
    gate->ranges = -1;
    search();
    for (int i = 0; i < 5; ++i) {  // Posts and a count running freely take turns
        post("Cislo", std::to_string(i) + "/2001");
    }
    EXPECT_TRUE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_EQ(set.RecordCount(), size(matches));
    EXPECT_EQ(set.RecNo(), 1);

    gate->fail = true;
    search();
    EXPECT_FALSE(set.WaitForCount(std::chrono::seconds(30)));
    EXPECT_FALSE(set.CountRunning());
    EXPECT_FALSE(set.NumbersRows());
    EXPECT_EQ(set.RecordCount(), 0);
    set.Last();
    EXPECT_EQ(title(), matches.back());
    EXPECT_EQ(set.MoveBy(-1), -1);
    post("Vytisk", "Hledaný poslední");
    EXPECT_EQ(title(), "Hledaný poslední");
    EXPECT_EQ(size(titles()), size(matches));
}

}  // namespace
}  // namespace quorvel::testing
