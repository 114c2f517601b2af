// qvtool generate: N rows within the field sizes, the same rows for the same seed, other rows
// for another, and the search patterns it promises in about the promised share of the rows.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "catalogues/SearchPatterns.h"

namespace quorvel::testing {
namespace {

constexpr int rows = 2000;

struct Generated {
    TemporaryDirectory directory;
    QvtoolRun run;
    std::vector<tools::CatalogueIssue> issues;
};

std::unique_ptr<Generated> generate(const std::vector<std::string>& countAndSeed) {
    auto generated = std::make_unique<Generated>();
    std::vector<std::string> arguments{"generate", generated->directory.path().string()};
    arguments.insert(arguments.end(), countAndSeed.begin(), countAndSeed.end());
    generated->run = runQvtool(arguments);
    if (generated->run.exitCode == 0) {
        generated->issues = readCatalogue(generated->directory.path());
    }
    return generated;
}

class QvtoolGenerate : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { seven_ = generate({std::to_string(rows), "7"}); }
    static void TearDownTestSuite() { seven_.reset(); }
    void SetUp() override { ASSERT_EQ(seven_->run.exitCode, 0) << seven_->run.err; }

    static std::unique_ptr<Generated> seven_;
};

std::unique_ptr<Generated> QvtoolGenerate::seven_;

TEST_F(QvtoolGenerate, WritesNRowsEveryFieldFilledWithinItsSize) {
    const std::vector<tools::CatalogueIssue>& issues = seven_->issues;
    ASSERT_EQ(issues.size(), static_cast<std::size_t>(rows));
    const std::regex number("[0-9]{1,2}(–[0-9]{1,2})?/[0-9]{4}");
    for (const tools::CatalogueIssue& issue : issues) {
        EXPECT_GE(characters(issue.title), 3u);
        EXPECT_LE(characters(issue.title), 50u) << issue.title;
        EXPECT_TRUE(std::regex_match(issue.number, number)) << issue.number;
        EXPECT_GE(characters(issue.parts), 1u);
        EXPECT_LE(characters(issue.parts), 150u) << issue.parts;
        EXPECT_GE(characters(issue.contents), 200u);
        EXPECT_LE(characters(issue.contents), 2000u);
    }
}

TEST_F(QvtoolGenerate, TextsAreCzechAndMemosBreakLinesWithCrLfOrLf) {
    std::size_t accented = 0;
    std::size_t crLf = 0;
    std::size_t bareLf = 0;
    std::size_t varied = 0;
    for (const tools::CatalogueIssue& issue : seven_->issues) {
        accented +=
            hasNonAscii(issue.title) && hasNonAscii(issue.parts) && hasNonAscii(issue.contents);
        const bool hasCrLf = issue.contents.find("\r\n") != std::string::npos;
        crLf += hasCrLf;
        bareLf += !hasCrLf && issue.contents.find('\n') != std::string::npos;
        varied += characters(issue.contents) > 1000;
    }
    EXPECT_GT(accented, rows / 2u);
    EXPECT_GT(crLf, rows / 3u);
    EXPECT_GT(bareLf, rows / 10u);
    EXPECT_GT(varied, rows / 3u);
    EXPECT_LT(varied, rows * 2u / 3u);
}

TEST_F(QvtoolGenerate, TheSameSeedGivesTheSameRowsAndAnotherSeedOtherRows) {
    const std::unique_ptr<Generated> again = generate({std::to_string(rows), "7"});
    ASSERT_EQ(again->run.exitCode, 0) << again->run.err;
    EXPECT_EQ(again->issues, seven_->issues);

    const std::unique_ptr<Generated> eight = generate({std::to_string(rows), "8"});
    ASSERT_EQ(eight->run.exitCode, 0) << eight->run.err;
    ASSERT_EQ(eight->issues.size(), seven_->issues.size());
    std::size_t sameMemo = 0;
    for (std::size_t i = 0; i < seven_->issues.size(); ++i) {
        sameMemo += eight->issues[i].contents == seven_->issues[i].contents;
    }
    EXPECT_EQ(sameMemo, 0u);
}

TEST_F(QvtoolGenerate, WithoutASeedTheSeedIsOne) {
    const std::unique_ptr<Generated> unseeded = generate({"50"});
    const std::unique_ptr<Generated> one = generate({"50", "1"});
    ASSERT_EQ(unseeded->run.exitCode, 0) << unseeded->run.err;
    ASSERT_EQ(one->run.exitCode, 0) << one->run.err;
    EXPECT_EQ(unseeded->issues, one->issues);
    EXPECT_NE(unseeded->issues, std::vector<tools::CatalogueIssue>(seven_->issues.begin(),
                                                                   seven_->issues.begin() + 50));
}

// The engine's own search, as the main window composes it, finds each field's common pattern
// in about a quarter of the rows and its rare pattern in next to none.
TEST_F(QvtoolGenerate, SearchPatternsHoldTheirPromisedShareOfTheRows) {
    ASSERT_EQ(tools::commonOneIn, 4);
    for (const tools::FieldPatterns& patterns : tools::generatedPatterns) {
        const std::int64_t common =
            countSearch(seven_->directory.path(), patterns.column, patterns.common);
        EXPECT_GE(common, rows / 5) << patterns.common;
        EXPECT_LE(common, rows * 3 / 10) << patterns.common;
        const std::int64_t rare =
            countSearch(seven_->directory.path(), patterns.column, patterns.rare);
        EXPECT_LE(rare, 3) << patterns.rare;
    }
}

TEST_F(QvtoolGenerate, StoresTextAsTextInRollbackJournalFilesAndNothingElse) {
    const std::filesystem::path& dir = seven_->directory.path();
    EXPECT_EQ(directoryListing(dir), (std::vector<std::string>{"qv.db", "qv.mb"}));
    EXPECT_EQ(sqliteText(dir, "PRAGMA main.journal_mode"), "delete");
    EXPECT_EQ(sqliteText(dir, "PRAGMA mb.journal_mode"), "delete");
    EXPECT_EQ(sqliteInteger(dir,
                            "SELECT count(*) FROM qv WHERE typeof(vytisk) <> 'text' OR "
                            "typeof(cislo) <> 'text' OR "
                            "typeof(nejzajimavejsi_casti) <> 'text'"),
              0);
    EXPECT_EQ(sqliteInteger(dir, "SELECT count(*) FROM mb.memo WHERE typeof(obsah) <> 'text'"), 0);
    EXPECT_EQ(sqliteInteger(dir, "SELECT count(*) FROM mb.memo"), rows);
    EXPECT_EQ(
        sqliteInteger(dir, "SELECT count(*) FROM mb.memo WHERE id NOT IN (SELECT id FROM qv)"), 0);
}

TEST_F(QvtoolGenerate, ShowsProgressOnStderrUpTo100Percent) {
    const std::string& err = seven_->run.err;
    EXPECT_NE(err.find("\r"), std::string::npos);
    EXPECT_NE(err.find(" 0%"), std::string::npos);
    EXPECT_NE(err.find(" 100%\n"), std::string::npos);
    EXPECT_EQ(err.find(" 101%"), std::string::npos);
    EXPECT_NE(seven_->run.out.find("Generated 2000 issues (seed 7)"), std::string::npos)
        << seven_->run.out;
}

TEST(QvtoolGenerateNothing, ZeroRowsGiveAnEmptyCatalogue) {
    const std::unique_ptr<Generated> empty = generate({"0"});
    ASSERT_EQ(empty->run.exitCode, 0) << empty->run.err;
    EXPECT_TRUE(empty->issues.empty());
    EXPECT_EQ(directoryListing(empty->directory.path()),
              (std::vector<std::string>{"qv.db", "qv.mb"}));
}

}  // namespace
}  // namespace quorvel::testing
