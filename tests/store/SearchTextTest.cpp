// Search texts as the search box holds them: the whole text is the pattern, a NUL byte is a
// character like any other and no length is too long; "%" and "_" act as in SQLite's LIKE.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <random>
#include <tuple>

#include "TempCatalogue.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"
#include "text/LikePattern.h"

namespace quorvel {
namespace {

using namespace std::string_literals;
using Titles = std::vector<std::string>;

TEST(SearchText, TheWholeTextIsThePatternWhateverItHoldsAndHoweverLong) {
    const std::string memo = std::string(30'000, 'x') + "Ondřejov" + std::string(30'000, 'y');
    testing::TempCatalogue catalogue;
    catalogue.fill({{"ab", {}, {}, {}},
                    {"abcd", {}, {}, "krátký"},
                    {"ab\0cd"s, {}, {}, memo},
                    {"xyz", {}, {}, {}}});
    Engine engine(catalogue.dir());
    const Titles all = {"ab", "abcd", "ab\0cd"s, "xyz"};
    const std::vector<std::tuple<SearchField, std::string, Titles>> cases = {
        {SearchField::Title, "ab\0cd"s, {"ab\0cd"s}},
        {SearchField::Title, "\0"s, {"ab\0cd"s}},
        {SearchField::Title, "\0\0"s, {}},
        {SearchField::Title, "b_c", {"ab\0cd"s}},  // "_" is one character, a NUL byte too
        {SearchField::Title, "ab", {"ab", "abcd", "ab\0cd"s}},
        {SearchField::Title, "", all},
        {SearchField::Title, "AB", {}},
        {SearchField::Title, std::string(100'000, 'a'), {}},
        {SearchField::Title, std::string(100'000, '%'), all},
        {SearchField::Contents, memo, {"ab\0cd"s}},
        {SearchField::Contents, memo.substr(1, 50'000), {"ab\0cd"s}},
        {SearchField::Contents, memo + "z", {}},
        {SearchField::Contents, std::string(29'999, 'x') + "_Ondřejov%y", {"ab\0cd"s}},
    };
    for (const auto& [field, text, titles] : cases) {
        const std::string statement =
            scanParameters(joinStatementLines(
                               statementLines({"select * from qv", searchClause(field, text), ""})))
                .text;
        std::unique_ptr<Cursor> cursor = Cursor::open(engine.database(), statement, true);
        Titles found;
        for (const RowData& row : testing::walkForward(*cursor, 3)) {
            found.push_back(*row.strings[0]);
        }
        EXPECT_EQ(found, titles) << "a search text of " << text.size() << " bytes";
    }
}

TEST(LikePatternTest, MatchesAsSqlitesOwnLikeOnTextsWithoutNulBytes) {
    sqlite3* opened = nullptr;
    sqlite3_open(":memory:", &opened);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(opened, sqlite3_close);
    sqlite3_exec(db.get(), "PRAGMA case_sensitive_like=ON", nullptr, nullptr, nullptr);
    sqlite3_stmt* prepared = nullptr;
    sqlite3_prepare_v2(db.get(), "SELECT ?1 LIKE ?2", -1, &prepared, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> like(prepared,
                                                                          sqlite3_finalize);
    std::mt19937 random(20261207);
    auto make = [&random](const std::vector<std::string>& pieces, unsigned most) {
        std::string made;
        for (unsigned n = random() % (most + 1); n > 0; --n) {
            made += pieces[random() % pieces.size()];
        }
        return made;
    };
    int matched = 0;
    for (int round = 0; round < 20'000; ++round) {
        const std::string text = make({"a", "b", "Č", "ab", "ř"}, 7);
        const std::string pattern = make({"a", "b", "Č", "%", "_", "ab"}, 5);
        sqlite3_bind_text(like.get(), 1, text.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(like.get(), 2, pattern.c_str(), -1, SQLITE_STATIC);
        ASSERT_EQ(sqlite3_step(like.get()), SQLITE_ROW);
        const bool expected = sqlite3_column_int(like.get(), 0) != 0;
        sqlite3_reset(like.get());
        ASSERT_EQ(LikePattern(pattern).matches(text), expected)
            << "\"" << text << "\" like \"" << pattern << "\"";
        matched += expected ? 1 : 0;
    }
    EXPECT_GT(matched, 2'000);  // both answers were put to the test
    EXPECT_LT(matched, 18'000);
}

}  // namespace
}  // namespace quorvel
