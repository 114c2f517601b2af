// Query1 while another running copy of the program changes the rows of its numbered result:
// the current row's number is always its place among the rows still there, never above the
// number of rows.
#include <random>

#include "RecordSetFixture.h"

namespace quorvel::testing {
namespace {

const std::vector<std::string> searchForA = {"select * from qv", "where (vytisk like \"%a%\")", ""};

class TwoCopies : public RecordSetTest {
  protected:
    void SetUp() override {
        RecordSetTest::SetUp();
        // 25 titles with an "a" among 5 without.
        std::vector<Issue> issues;
        for (int i = 1; i <= 30; ++i) {
            const bool found = i % 6 != 0;
            issues.push_back(
                {found ? "a " + std::to_string(i) : "B " + std::to_string(i), "", "", ""});
        }
        addRows(dir.path(), issues);
        set.SetBufferCount(3);
        open(searchForA);
        other.SetBufferCount(3);
        for (const std::string& line : searchForA) {
            other.AddSQL(line);
        }
        other.Open();
        PlainConnection plain(dir.path());
        for (const auto& row :
             plain.rows("SELECT id FROM qv WHERE vytisk LIKE '%a%' ORDER BY id")) {
            resultIds.push_back(std::stoll(row.front()));
        }
    }

    // The other copy deletes the row numbered recNo of its own result.
    void deleteElsewhere(std::int64_t recNo) {
        other.MoveToRecNo(recNo);
        other.Delete();
    }

    // Where Query1's current row stands among the rows of its result still in the table.
    std::int64_t truePlace() {
        PlainConnection plain(dir.path());
        const std::int64_t current = set.HeldRow(set.ActiveRecord()).id;
        std::int64_t place = 0;
        for (std::int64_t id : resultIds) {
            if (plain.integer("SELECT count(*) FROM qv WHERE id = " + std::to_string(id)) == 1) {
                ++place;
                if (id == current) {
                    return place;
                }
            }
        }
        return 0;
    }

    std::int64_t rowsLeft() {
        std::int64_t left = 0;
        PlainConnection plain(dir.path());
        for (std::int64_t id : resultIds) {
            left += plain.integer("SELECT count(*) FROM qv WHERE id = " + std::to_string(id));
        }
        return left;
    }

    Engine otherEngine{dir.path()};
    RecordSet other{otherEngine, "Query1"};
    std::vector<std::int64_t> resultIds;  // Query1's result as it was opened
};

TEST_F(TwoCopies, RowsDeletedElsewhereLeaveTheNumbering) {
    ASSERT_EQ(set.RecordCount(), 25);
    set.MoveBy(2);
    deleteElsewhere(4);
    deleteElsewhere(4);  // what was row 5
    set.MoveToRecNo(7);
    EXPECT_EQ(set.RecordCount(), 23);
    EXPECT_EQ(set.RecNo(), 7);
    EXPECT_EQ(title(), "a 10");  // a 4 and a 5 are gone, B 6 never matched
    EXPECT_EQ(window(), (std::vector<std::string>{"a 8", "a 9", ">a 10"}));
    set.MoveBy(-2);
    EXPECT_EQ(set.RecNo(), 5);
    set.MoveToRecNo(100);
    EXPECT_EQ(set.RecNo(), 23);
    EXPECT_TRUE(set.IsLast());
}

TEST_F(TwoCopies, NumbersStayTruePlacesWhileAnotherCopyDeletesAndAdds) {
    std::mt19937 random(7);
    for (int round = 0; round < 40 && other.RecordCount() > 1; ++round) {
        if (random() % 3 == 0) {
            other.Append();
            other.FieldByName("Vytisk").SetAsString("a nový " + std::to_string(round));
            other.Post();
        } else {
            deleteElsewhere(1 + static_cast<std::int64_t>(random() % other.RecordCount()));
        }
        switch (random() % 4) {
            case 0:
                set.First();
                break;
            case 1:
                set.Last();
                break;
            default:
                set.MoveToRecNo(1 + static_cast<std::int64_t>(random() % 30));
        }
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_FALSE(set.IsEmpty());
        EXPECT_EQ(set.RecordCount(), rowsLeft());
        EXPECT_GE(set.RecNo(), 1);
        EXPECT_LE(set.RecNo(), set.RecordCount());
        EXPECT_EQ(set.RecNo(), truePlace());
    }
}

}  // namespace
}  // namespace quorvel::testing
