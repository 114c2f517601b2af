// The window of rows: the set holds only as many rows as asked, and where the current row
// stands among them after each operation.
#include <limits>

#include "RecordSetFixture.h"

namespace quorvel::testing {
namespace {

std::vector<std::string> titles(std::initializer_list<int> numbers, int current) {
    std::vector<std::string> result;
    for (int n : numbers) {
        result.push_back((n == current ? ">" : std::string()) + "Titul " + std::to_string(n));
    }
    return result;
}

class WindowTest : public RecordSetTest {
  protected:
    void SetUp() override {
        RecordSetTest::SetUp();
        addRows(dir.path(), numberedIssues(20));
        set.SetBufferCount(5);
        open();
    }
};

TEST_F(WindowTest, OpeningHoldsTheFirstRows) {
    EXPECT_EQ(window(), titles({1, 2, 3, 4, 5}, 1));
    EXPECT_TRUE(set.IsFirst());
    EXPECT_FALSE(set.IsLast());
    EXPECT_FALSE(set.NumbersRows());
}

TEST_F(WindowTest, MoveWithinTheRowsHeldLeavesThemInPlace) {
    EXPECT_EQ(set.MoveBy(3), 3);
    EXPECT_EQ(window(), titles({1, 2, 3, 4, 5}, 4));
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"scroll 0"}));
}

TEST_F(WindowTest, MovePastTheLastBringsNeighboursInWithTheCurrentRowOnTheLastLine) {
    set.MoveBy(4);
    recorder.take();
    EXPECT_EQ(set.MoveBy(2), 2);
    EXPECT_EQ(window(), titles({3, 4, 5, 6, 7}, 7));
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"scroll 2"}));
    EXPECT_EQ(set.MoveBy(-6), -6);
    EXPECT_EQ(window(), titles({1, 2, 3, 4, 5}, 1));
    EXPECT_EQ(recorder.take(), (std::vector<std::string>{"scroll -2"}));
}

TEST_F(WindowTest, MoveStopsAtEitherEndAndReportsTheRowsMoved) {
    EXPECT_EQ(set.MoveBy(-3), 0);
    EXPECT_EQ(set.MoveBy(100), 19);
    EXPECT_TRUE(set.IsLast());
    EXPECT_EQ(window(), titles({16, 17, 18, 19, 20}, 20));
    EXPECT_EQ(set.MoveBy(1), 0);
    EXPECT_EQ(set.MoveBy(-100), -19);
    EXPECT_TRUE(set.IsFirst());
}

TEST_F(WindowTest, LastAndFirstReadTheEnds) {
    set.Last();
    EXPECT_EQ(window(), titles({16, 17, 18, 19, 20}, 20));
    EXPECT_TRUE(set.IsLast());
    set.First();
    EXPECT_EQ(window(), titles({1, 2, 3, 4, 5}, 1));
}

TEST_F(WindowTest, AppendShowsTheEndWithTheNewRowLast) {
    set.MoveBy(2);
    set.Append();
    EXPECT_EQ(window(),
              (std::vector<std::string>{"Titul 17", "Titul 18", "Titul 19", "Titul 20", ">"}));
    EXPECT_TRUE(set.IsLast());
    set.FieldByName("Vytisk").SetAsString("Titul 21");
    set.Post();
    EXPECT_EQ(window(), titles({17, 18, 19, 20, 21}, 21));
    set.Append();
    set.Cancel();
    EXPECT_EQ(window(), titles({17, 18, 19, 20, 21}, 21));
}

TEST_F(WindowTest, PostKeepsTheCurrentRowOnItsLine) {
    set.MoveBy(7);  // 8 on the last line
    set.MoveBy(-2);
    EXPECT_EQ(window(), titles({4, 5, 6, 7, 8}, 6));
    set.Edit();
    set.FieldByName("Cislo").SetAsString("x");
    set.Post();
    EXPECT_EQ(window(), titles({4, 5, 6, 7, 8}, 6));
    set.Edit();
    set.Cancel();
    EXPECT_EQ(window(), titles({4, 5, 6, 7, 8}, 6));
}

TEST_F(WindowTest, DeleteMakesTheNextRowCurrentOnTheSameLine) {
    set.MoveBy(7);
    set.MoveBy(-2);
    set.Delete();
    EXPECT_EQ(window(), titles({4, 5, 7, 8, 9}, 7));
    set.Last();
    set.Delete();
    EXPECT_EQ(window(), titles({15, 16, 17, 18, 19}, 19));
}

TEST_F(WindowTest, NeverHoldsMoreRowsThanAsked) {
    for (int step : {3, 7, -2, 15, -30, 12, 1, 1, -4}) {
        set.MoveBy(step);
        EXPECT_LE(set.HeldRowCount(), 5);
    }
    set.SetBufferCount(2);
    EXPECT_EQ(set.HeldRowCount(), 2);
    set.SetBufferCount(1);
    set.Last();
    EXPECT_EQ(window(), titles({20}, 20));
    set.SetBufferCount(0);  // at least one
    EXPECT_EQ(set.BufferCount(), 1);
}

TEST_F(WindowTest, GrowingTheWindowKeepsTheCurrentRowAndReadsNeighbours) {
    set.MoveBy(9);  // 10 on the last line
    set.SetBufferCount(8);
    EXPECT_EQ(set.HeldRowCount(), 8);
    EXPECT_EQ(set.FieldByName("Vytisk").AsString(), "Titul 10");
    EXPECT_EQ(set.ActiveRecord(), 4);
}

TEST_F(WindowTest, TheLongestMovesEitherWayStopAtTheEnds) {
    constexpr int most = std::numeric_limits<int>::max();
    EXPECT_EQ(set.MoveBy(-most - 1), 0);
    EXPECT_EQ(set.MoveBy(most), 19);
    EXPECT_EQ(window(), titles({16, 17, 18, 19, 20}, 20));
    EXPECT_EQ(set.MoveBy(most), 0);
    EXPECT_EQ(set.MoveBy(-most - 1), -19);
    EXPECT_EQ(window(), titles({1, 2, 3, 4, 5}, 1));
}

TEST_F(RecordSetTest, FilteredResultNumbersItsRowsAndMovesToANumber) {
    std::vector<Issue> issues = numberedIssues(30);
    for (int i = 0; i < 30; i += 3) {
        issues[static_cast<std::size_t>(i)].parts = "hledané " + std::to_string(i + 1);
    }
    addRows(dir.path(), issues);
    set.SetBufferCount(4);
    open({"select * from qv", "where (nejzajimavejsi_casti like \"%hledané%\")", ""});
    ASSERT_TRUE(set.NumbersRows());
    EXPECT_EQ(set.RecordCount(), 10);
    EXPECT_EQ(set.RecNo(), 1);
    set.MoveToRecNo(7);
    EXPECT_EQ(set.RecNo(), 7);
    EXPECT_EQ(title(), "Titul 19");
    EXPECT_EQ(set.HeldRowCount(), 4);
    set.MoveBy(2);
    EXPECT_EQ(set.RecNo(), 9);
    set.Delete();
    EXPECT_EQ(set.RecordCount(), 9);
    EXPECT_EQ(title(), "Titul 28");
    EXPECT_EQ(set.RecNo(), 9);
    EXPECT_TRUE(set.IsLast());
    set.Append();
    set.FieldByName("Vytisk").SetAsString("Nový");
    set.Post();
    EXPECT_EQ(set.RecordCount(), 10);
    EXPECT_EQ(set.RecNo(), 10);
    EXPECT_EQ(title(), "Nový");  // stays in sight though it doesn't match
}

TEST_F(RecordSetTest, SortedResultWalksInOrderBothWays) {
    std::vector<Issue> issues;
    for (const char* name : {"Vesmír", "ABC", "Živa", "Chip", "ABC", "Reflex", "", "Computer"}) {
        issues.push_back({name, "", "", ""});
    }
    addRows(dir.path(), issues);
    set.SetBufferCount(3);
    open({"select * from qv", "", "order by vytisk"});
    std::vector<std::string> forward{title()};
    while (set.MoveBy(1) == 1) {
        forward.push_back(title());
    }
    // Czech order: ch comes after h.
    EXPECT_EQ(forward, (std::vector<std::string>{"", "ABC", "ABC", "Computer", "Chip", "Reflex",
                                                 "Vesmír", "Živa"}));
    std::vector<std::string> backward{title()};
    while (set.MoveBy(-1) == -1) {
        backward.push_back(title());
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
}

}  // namespace
}  // namespace quorvel::testing
