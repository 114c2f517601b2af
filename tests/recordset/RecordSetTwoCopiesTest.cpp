// Query1 while another running copy deletes and adds rows of its numbered result: the current
// row's number is its place among the rows still there, never above the number of rows.
#include <algorithm>
#include <random>

#include "RecordSetFixture.h"

namespace quorvel::testing {
namespace {

class TwoCopies : public RecordSetTest {
  protected:
    void SetUp() override {
        RecordSetTest::SetUp();
        std::vector<Issue> issues;  // 25 titles with an "a"; every sixth has none
        for (int i = 1; i <= 30; ++i) {
            issues.push_back({(i % 6 != 0 ? "a " : "B ") + std::to_string(i), "", "", ""});
        }
        addRows(dir.path(), issues);
        for (RecordSet* query : {&set, &other}) {
            query->SetBufferCount(3);
            for (const char* line : {"select * from qv", "where (vytisk like \"%a%\")", ""}) {
                query->AddSQL(line);
            }
            query->Open();
        }
        for (const auto& row : PlainConnection(dir.path())
                                   .rows("SELECT id FROM qv WHERE vytisk LIKE '%a%' ORDER BY id")) {
            opened.push_back(std::stoll(row.front()));
        }
    }

    void deleteElsewhere(std::int64_t recNo) {
        other.MoveToRecNo(recNo);
        other.Delete();
    }

    // Where Query1's current row stands among the rows of its result still in the table, and
    // how many those are.
    std::pair<std::int64_t, std::int64_t> placeAndCount() {
        std::vector<std::int64_t> ids;
        for (const auto& row : PlainConnection(dir.path()).rows("SELECT id FROM qv")) {
            ids.push_back(std::stoll(row.front()));
        }
        std::erase_if(opened, [&ids](std::int64_t id) {
            return std::find(ids.begin(), ids.end(), id) == ids.end();
        });
        const auto place =
            std::find(opened.begin(), opened.end(), set.HeldRow(set.ActiveRecord()).id);
        return {place == opened.end() ? 0 : place - opened.begin() + 1,
                static_cast<std::int64_t>(opened.size())};
    }

    Engine otherEngine{dir.path()};
    RecordSet other{otherEngine};
    std::vector<std::int64_t> opened;
};

TEST_F(TwoCopies, NumbersStayTruePlacesWhileAnotherCopyDeletesAndAdds) {
    set.MoveBy(2);
    deleteElsewhere(4);
    deleteElsewhere(4);  // what was row 5
    set.MoveToRecNo(7);
    EXPECT_EQ(set.RecordCount(), 23);
    EXPECT_EQ(set.RecNo(), 7);
    // a 4 and a 5 are gone, B 6 never matched.
    EXPECT_EQ(window(), (std::vector<std::string>{"a 8", "a 9", ">a 10"}));
    std::mt19937 random(7);
    for (int round = 0; round < 40 && other.RecordCount() > 1; ++round) {
        if (random() % 3 == 0) {
            other.Append();
            other.FieldByName("Vytisk").SetAsString("a nový");
            other.Post();
        } else {
            deleteElsewhere(1 + static_cast<std::int64_t>(random() % other.RecordCount()));
        }
        const unsigned move = random() % 4;
        if (move == 0) {
            set.First();
        } else if (move == 1) {
            set.Last();
        } else {
            set.MoveToRecNo(1 + static_cast<std::int64_t>(random() % 30));
        }
        const auto [place, count] = placeAndCount();
        EXPECT_EQ(set.RecordCount(), count) << "round " << round;
        EXPECT_EQ(set.RecNo(), place) << "round " << round;
        EXPECT_GE(place, 1) << "round " << round;
    }
}

}  // namespace
}  // namespace quorvel::testing
