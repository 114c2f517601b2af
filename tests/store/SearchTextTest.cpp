// Search texts as the search box may hold them: the whole text is the pattern, a NUL byte is a
// character like any other, and no length is too long. What "%" and "_" do is SQLite's own
// LIKE, checked case by case against it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <random>

#include "LikePattern.h"
#include "StatementComposer.h"
#include "StatementText.h"
#include "TempCatalogue.h"

namespace quorvel {
namespace {

using namespace std::string_literals;
using testing::TempCatalogue;

const std::string longMemo = std::string(30'000, 'x') + "Ondřejov" + std::string(30'000, 'y');

class SearchText : public ::testing::Test {
  protected:
    SearchText() {
        catalogue_.fill({{"ab", "1", std::nullopt, std::nullopt},
                         {"abcd", "2", std::nullopt, "krátký obsah"},
                         {"ab\0cd"s, "3", std::nullopt, longMemo},
                         {"xyz", "4", std::nullopt, std::nullopt}});
    }

    // The titles that a search in field finds, in the order the result gives them.
    std::vector<std::string> found(SearchField field, const std::string& text) {
        const std::string statement =
            scanParameters(joinStatementLines(
                               statementLines({"select * from qv", searchClause(field, text), ""})))
                .text;
        std::unique_ptr<Cursor> cursor = engine_.database().openCursor(statement, true);
        std::vector<std::string> titles;
        for (const RowData& row : testing::walkForward(*cursor, 3)) {
            titles.push_back(row.strings[0].value_or("<null>"));
        }
        return titles;
    }

    TempCatalogue catalogue_;
    Engine engine_{catalogue_.dir()};
};

using Titles = std::vector<std::string>;

TEST_F(SearchText, ANulByteIsPartOfThePattern) {
    const std::vector<std::pair<std::string, Titles>> cases = {
        {"ab\0cd"s, {"ab\0cd"s}},
        {"\0"s, {"ab\0cd"s}},
        {"\0\0"s, {}},
        {"b\0"s, {"ab\0cd"s}},
        {"b_c", {"ab\0cd"s}},  // "_" is one character, the NUL byte too
        {"ab", {"ab", "abcd", "ab\0cd"s}},
        {"", {"ab", "abcd", "ab\0cd"s, "xyz"}},
        {"AB", {}},
    };
    for (const auto& [text, titles] : cases) {
        EXPECT_EQ(found(SearchField::Title, text), titles)
            << "search text of " << text.size() << " bytes";
    }
}

TEST_F(SearchText, TextsOfFiftyThousandBytesAndMoreAreSearchedWhole) {
    EXPECT_EQ(found(SearchField::Contents, longMemo), (Titles{"ab\0cd"s}));
    EXPECT_EQ(found(SearchField::Contents, longMemo.substr(1, 50'000)), (Titles{"ab\0cd"s}));
    EXPECT_EQ(found(SearchField::Contents, longMemo + "z"), Titles{});
    EXPECT_EQ(found(SearchField::Contents, std::string(29'999, 'x') + "_Ondřejov%y"),
              (Titles{"ab\0cd"s}));
    EXPECT_EQ(found(SearchField::Title, std::string(100'000, 'a')), Titles{});
    EXPECT_EQ(found(SearchField::Title, std::string(100'000, '%')),
              (Titles{"ab", "abcd", "ab\0cd"s, "xyz"}));
}

// SQLite's own LIKE, made case-sensitive, on texts without NUL bytes.
class SqliteLike {
  public:
    SqliteLike() {
        sqlite3_open(":memory:", &db_);
        sqlite3_exec(db_, "PRAGMA case_sensitive_like=ON", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(db_, "SELECT ?1 LIKE ?2", -1, &stmt_, nullptr);
    }
    ~SqliteLike() {
        sqlite3_finalize(stmt_);
        sqlite3_close(db_);
    }
    SqliteLike(const SqliteLike&) = delete;
    SqliteLike& operator=(const SqliteLike&) = delete;

    bool matches(const std::string& text, const std::string& pattern) {
        sqlite3_bind_text(stmt_, 1, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt_, 2, pattern.data(), static_cast<int>(pattern.size()),
                          SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(stmt_), SQLITE_ROW);
        const bool result = sqlite3_column_int(stmt_, 0) != 0;
        sqlite3_reset(stmt_);
        return result;
    }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

TEST(LikePatternTest, MatchesAsSqlitesOwnLikeOnTextsWithoutNulBytes) {
    SqliteLike reference;
    std::mt19937 random(20261207);
    const std::vector<std::string> textPieces = {"a", "b", "Č", "ab", "ř"};
    const std::vector<std::string> patternPieces = {"a", "b", "Č", "%", "_", "ab"};
    auto make = [&random](const std::vector<std::string>& pieces, int most) {
        std::string made;
        const int count = static_cast<int>(random() % static_cast<unsigned>(most + 1));
        for (int i = 0; i < count; ++i) {
            made += pieces[random() % pieces.size()];
        }
        return made;
    };
    int matched = 0;
    for (int round = 0; round < 20'000; ++round) {
        const std::string text = make(textPieces, 7);
        const std::string pattern = make(patternPieces, 5);
        const bool expected = reference.matches(text, pattern);
        ASSERT_EQ(LikePattern(pattern).matches(text), expected)
            << "\"" << text << "\" like \"" << pattern << "\"";
        matched += expected ? 1 : 0;
    }
    EXPECT_GT(matched, 2'000);  // both answers were put to the test
    EXPECT_LT(matched, 18'000);
}

}  // namespace
}  // namespace quorvel
