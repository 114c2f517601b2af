// qvtool holdings: the forms of Cislo read and not read, and the holdings of an imported list as
// CSV and text, one periodical at a time, and refused as the other commands refuse.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "holdings/Holdings.h"
#include "holdings/IssueNumber.h"
#include "report/HoldingsPage.h"
#include "text/CzechPlural.h"

namespace quorvel::testing {
namespace {

TEST(Holdings, CisloFormsReadAsNumbersAndAYear) {
    using Read = std::optional<std::tuple<int, int, int>>;  // year, first, last
    const std::vector<std::pair<std::string, Read>> cases{
        {"3/1998", {{1998, 3, 3}}},       {" 12 / 1985 ", {{1985, 12, 12}}},
        {"3/98", {{1998, 3, 3}}},         {"3/05", {{2005, 3, 3}}},
        {"3/29", {{2029, 3, 3}}},         {"3/30", {{1930, 3, 3}}},
        {"3-4/1998", {{1998, 3, 4}}},     {"7\u20138/2010", {{2010, 7, 8}}},
        {"1+2/2001", {{2001, 1, 2}}},     {"1998/3", {{1998, 3, 3}}},
        {"1998/11-12", {{1998, 11, 12}}}, {"\u010d. 3/1998", {{1998, 3, 3}}},
        {"\u010c.3/98", {{1998, 3, 3}}},  {"\u010d\u00eds. 45/2001", {{2001, 45, 45}}},
        {"No. 5/1991", {{1991, 5, 5}}},   {"999/2100", {{2100, 999, 999}}},
        {"Speciál", std::nullopt},        {"", std::nullopt},
        {"3/1998a", std::nullopt},        {"0/1998", std::nullopt},
        {"1000/1998", std::nullopt},      {"3/198", std::nullopt},
        {"3/1799", std::nullopt},         {"4-3/1998", std::nullopt},
        {"3-3/1998", std::nullopt},       {"1-13/1998", std::nullopt},
        {"3/1998/2", std::nullopt},       {"1998", std::nullopt},
        {"jaro 1998", std::nullopt},      {"3//1998", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const std::optional<IssueNumber> read = readIssueNumber(text);
        const Read got = read ? Read{{read->year, read->first, read->last}} : std::nullopt;
        EXPECT_EQ(got, expected) << text;
    }
}

TEST(Holdings, ManyIssuesOverGrowingYearsAndNumbersAllCounted) {
    // Sixty issues from the last year back with ever higher numbers, so that the title's
    // years and numbers keep growing; one issue held more times than a byte counts.
    HoldingsGatherer gatherer;
    std::map<std::pair<int, int>, std::uint32_t> expected;  // year, number
    for (int i = 0; i < 60; ++i) {
        gatherer.add("Vesmír", std::to_string(1 + i % 40) + "/" + std::to_string(2000 - i));
        ++expected[{2000 - i, 1 + i % 40}];
    }
    for (int i = 0; i < 300; ++i) {
        gatherer.add("Vesmír", "5/1990");
        ++expected[{1990, 5}];
    }
    gatherer.add("Vesmír", "Speciál");
    gatherer.add("Vesmír", std::nullopt);
    gatherer.add("Vesmír", "7-8/2001");
    ++expected[{2001, 7}];
    ++expected[{2001, 8}];

    const std::vector<TitleHoldings> titles = gatherer.finish();
    ASSERT_EQ(titles.size(), 1u);
    const TitleHoldings& title = titles[0];
    EXPECT_EQ(title.records, 363u);
    EXPECT_EQ(title.firstYear, 1941);
    EXPECT_EQ(title.lastYear(), 2001);
    EXPECT_EQ(title.highestNumber, 40);
    EXPECT_EQ(title.unread, (std::vector<std::string>{"Speciál", ""}));
    for (int year = title.firstYear; year <= title.lastYear(); ++year) {
        for (int number = 1; number <= title.highestNumber; ++number) {
            const auto held = expected.find({year, number});
            EXPECT_EQ(title.count(year, number), held == expected.end() ? 0u : held->second)
                << number << "/" << year;
        }
    }
}

TEST(Holdings, CountsTakeTheCzechPluralForm) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases{
        {0, "0 záznamů"}, {1, "1 záznam"},    {2, "2 záznamy"},   {4, "4 záznamy"},
        {5, "5 záznamů"}, {11, "11 záznamů"}, {21, "21 záznamů"}, {22, "22 záznamů"}};
    for (const auto& [count, text] : cases) {
        EXPECT_EQ(czechCount(count, "záznam", "záznamy", "záznamů"), text);
    }
}

// Each case: the rows of one catalogue, and the titles with their years held as "title:
// year/number ..." in Czech order.
TEST(Holdings, SpellingsAndTwoDigitYearsAsACollectorMeansThem) {
    using Rows = std::vector<std::string>;  // "title|number"
    const std::vector<std::pair<Rows, std::string>> cases{
        // One periodical in four spellings, shown as most records spell it; "Vesmir" and a
        // space inside are other texts.
        {{" Vesmír|1/1998", "Vesmír |2/1998", "VESMÍR|3/1998", "Vesmír|4/1998", "Vesmír|4/1998",
          "Vesmir|1/1998", "Ves mír|1/1998"},
         "Ves mír: 1998/1 | Vesmir: 1998/1 | Vesmír: 1998/1 1998/2 1998/3 1998/4x2"},
        // Equally many: the spelling without spaces around it.
        {{"  abc|1/2000", "ABC|2/2000"}, "ABC: 2000/1 2000/2"},
        // Two-digit years by the title's four-digit ones, else by the pivot.
        {{"A|5/28", "A|6/1928", "B|5/28"}, "A: 1928/5 1928/6 | B: 2028/5"},
        {{"A|5/05", "A|1/1998"}, "A: 1998/1 2005/5"},
        {{"A|3/98", "A|1/2010"}, "A: 1998/3 2010/1"},
        {{"A|3/99", "A|1/1850"}, "A: 1850/1 1899/3"},
        // The four-digit years of every spelling count; a double issue in two digits too.
        {{"a|1-2/30", "A |1/2031"}, "a: 2030/1 2030/2 2031/1"},
    };
    for (const auto& [rows, expected] : cases) {
        HoldingsGatherer gatherer;
        for (const std::string& row : rows) {
            gatherer.add(row.substr(0, row.find('|')), row.substr(row.find('|') + 1));
        }
        std::string got;
        for (const TitleHoldings& title : gatherer.finish()) {
            got += (got.empty() ? "" : " | ") + title.title + ":";
            for (int year = title.firstYear; year <= title.lastYear(); ++year) {
                for (int number = 1; number <= title.highestNumber; ++number) {
                    if (const std::uint32_t count = title.count(year, number); count > 0) {
                        got += " " + std::to_string(year) + "/" + std::to_string(number) +
                               (count > 1 ? "x" + std::to_string(count) : "");
                    }
                }
            }
        }
        EXPECT_EQ(got, expected) << rows.front();
    }
}

class QvtoolHoldings : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::filesystem::path csv = work_.path() / "list.csv";
        std::ofstream(csv, std::ios::binary)
            << "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\n"
               "Vesmír,1/1998,,\nVesmír,3/98,,\nVesmír,č. 3/1998,,\nVesmír,2-3/2000,,\n"
               "Vesmír,Speciál,,\nVesmír,\"jaro, léto\",,\nČtyřlístek,1/2001,,\n"
               "abc,12/1985,,\nabc,1/1985,,\n";
        ASSERT_EQ(runQvtool({"create", work_.path().string()}).exitCode, 0);
        ASSERT_EQ(runQvtool({"import", csv.string(), work_.path().string()}).exitCode, 0);
    }

    TemporaryDirectory work_;
};

TEST_F(QvtoolHoldings, CsvGivesEachTitleAndYearInCzechOrder) {
    const std::filesystem::path out = work_.path() / "holdings.csv";
    const QvtoolRun run = runQvtool({"holdings", work_.path().string(), "--csv", out.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(fileBytes(out),
              "Vytisk,Rok,Mame,Chybi,Vicekrat,Jine\r\n"
              "abc,1985,\"1, 12\",2\u201311,,\r\n"
              "Čtyřlístek,2001,1,,,\r\n"
              "Vesmír,1998,\"1, 3\",2,3,\r\n"
              "Vesmír,1999,,1\u20133,,\r\n"
              "Vesmír,2000,\"2, 3\",1,,\r\n"
              "Vesmír,,,,,\"Speciál; jaro, léto\"\r\n");
    // Never over an existing file.
    EXPECT_EQ(runQvtool({"holdings", work_.path().string(), "--csv", out.string()}).exitCode, 1);
}

TEST_F(QvtoolHoldings, TextForOneTitleHasAlignedColumns) {
    const QvtoolRun run = runQvtool({"holdings", work_.path().string(), "--title", " VESMIR"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Vesmír (6 záznamů)\n"
                           "  Rok   Máme  Chybí  Vícekrát\n"
                           "  1998  1, 3  2      3\n"
                           "  1999  \u2013     1\u20133\n"
                           "  2000  2, 3  1\n"
                           "  Jiné: „Speciál“, „jaro, léto“\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("abc"), std::string::npos);

    const QvtoolRun none = runQvtool({"holdings", work_.path().string(), "--title", "Reflex"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no periodical titled 'Reflex'"), std::string::npos) << none.err;
    EXPECT_EQ(runQvtool({"holdings", work_.path().string(), "--html"}).exitCode, 2);
    EXPECT_EQ(
        runQvtool({"holdings", work_.path().string(), "--title", "a", "--title", "b"}).exitCode, 2);
    EXPECT_EQ(runQvtool({"holdings", work_.path().string(), "--missing", "--csv", "x"}).exitCode,
              2);
}

// Three titles of 101 years by 999 numbers, 300,000 cells: an index and parts of at most
// cellsPerPage cells, every link of the index leading to its chart; all written, or none.
TEST_F(QvtoolHoldings, LargePagesAreAnIndexAndBoundedPartsWrittenAllOrNone) {
    const std::filesystem::path csv = work_.path() / "large.csv";
    std::ofstream(csv, std::ios::binary) << "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\n"
                                            "Bohemia,1/1900,,\nBohemia,999/2000,,\n"
                                            "Čas,1/1900,,\nČas,999/2000,,\n"
                                            "Zlatá Praha,1/1900,,\nZlatá Praha,999/2000,,\n";
    ASSERT_EQ(runQvtool({"import", csv.string(), work_.path().string()}).exitCode, 0);
    const std::filesystem::path pages = work_.path() / "pages";
    std::filesystem::create_directory(pages);
    // A part's name taken: nothing is written, and that file stays as it was.
    std::ofstream(pages / "p-3.html") << "mine";
    const std::string target = (pages / "p.html").string();
    EXPECT_EQ(runQvtool({"holdings", work_.path().string(), "--html", target}).exitCode, 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(pages), {}), 1);
    EXPECT_EQ(fileBytes(pages / "p-3.html"), "mine");

    std::filesystem::remove(pages / "p-3.html");
    const QvtoolRun run = runQvtool({"holdings", work_.path().string(), "--html", target});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("pages beside it (p-2.html and on)"), std::string::npos) << run.out;
    const std::string index = fileBytes(pages / "p.html");
    const std::regex link("href=\"(p-\\d+\\.html)#(t\\d+)\"");
    std::size_t links = 0;
    for (auto at = std::sregex_iterator(index.begin(), index.end(), link);
         at != std::sregex_iterator(); ++at, ++links) {
        const std::string part = fileBytes(pages / (*at)[1].str());
        EXPECT_NE(part.find("id=\"" + (*at)[2].str() + "\""), std::string::npos) << (*at)[0];
        std::size_t cells = 0;
        for (auto td = part.find("<td"); td != std::string::npos; td = part.find("<td", td + 1))
            ++cells;
        EXPECT_LE(cells, cellsPerPage) << (*at)[1];
    }
    EXPECT_EQ(links, 6u);  // the three large titles and the three of SetUp
}

TEST_F(QvtoolHoldings, MissingGivesTheWantListInCzechOrder) {
    const QvtoolRun all = runQvtool({"holdings", work_.path().string(), "--missing"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out,
              "abc 1985: 2\u201311\n"
              "Vesmír 1998: 2\n"
              "Vesmír 1999: 1\u20133\n"
              "Vesmír 2000: 1\n");
    const QvtoolRun one =
        runQvtool({"holdings", work_.path().string(), "--missing", "--title", "čtyřlístek"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.out, "");
    const QvtoolRun text = runQvtool({"holdings", work_.path().string()});
    EXPECT_NE(text.out.find(": 3 tiskopisy, 9 záznamů\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Čtyřlístek (1 záznam)\n"), std::string::npos) << text.out;
}

}  // namespace
}  // namespace quorvel::testing
