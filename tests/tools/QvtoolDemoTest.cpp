// qvtool demo: about fifty Czech issues that the engine reads back exactly as written, with the
// awkward cases a real catalogue has (empty fields and memos, both line-break styles, a title
// that fills its field).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "catalogues/DemoCatalogue.h"

namespace quorvel::testing {
namespace {

class QvtoolDemo : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory_ = std::make_unique<TemporaryDirectory>();
        run_ = std::make_unique<QvtoolRun>(runQvtool({"demo", directory_->path().string()}));
        if (run_->exitCode == 0) {
            issues_ = readCatalogue(directory_->path());
        }
    }
    static void TearDownTestSuite() { directory_.reset(); }

    void SetUp() override { ASSERT_EQ(run_->exitCode, 0) << run_->err; }

    template <typename Predicate>
    static std::size_t countIssues(Predicate predicate) {
        return static_cast<std::size_t>(std::count_if(issues_.begin(), issues_.end(), predicate));
    }

    static std::unique_ptr<TemporaryDirectory> directory_;
    static std::unique_ptr<QvtoolRun> run_;
    static std::vector<tools::CatalogueIssue> issues_;
};

std::unique_ptr<TemporaryDirectory> QvtoolDemo::directory_;
std::unique_ptr<QvtoolRun> QvtoolDemo::run_;
std::vector<tools::CatalogueIssue> QvtoolDemo::issues_;

TEST_F(QvtoolDemo, LeavesJustTheTwoFilesAndSaysWhatItDid) {
    EXPECT_EQ(directoryListing(directory_->path()), (std::vector<std::string>{"qv.db", "qv.mb"}));
    EXPECT_EQ(run_->err, "");
    EXPECT_NE(run_->out.find("demo catalogue"), std::string::npos) << run_->out;
}

TEST_F(QvtoolDemo, HoldsAboutFiftyIssuesOfManyPeriodicals) {
    EXPECT_GE(issues_.size(), 45u);
    EXPECT_LE(issues_.size(), 55u);
    std::set<std::string> titles;
    for (const tools::CatalogueIssue& issue : issues_) {
        titles.insert(issue.title);
    }
    EXPECT_GE(titles.size(), 20u);
    for (const char* title : {"Vesmír", "ABC", "Mladý svět", "Živa", "Computer", "Chip", "Reflex",
                              "Květy", "Sedmička", "Technický magazín"}) {
        EXPECT_EQ(titles.count(title), 1u) << title;
    }
}

TEST_F(QvtoolDemo, EngineReadsBackEveryIssueAsWrittenInStoredOrder) {
    EXPECT_EQ(issues_, tools::demoIssues());
}

TEST_F(QvtoolDemo, TextsAreCzechWithDiacritics) {
    EXPECT_GE(countIssues([](const auto& issue) { return hasNonAscii(issue.title); }), 10u);
    EXPECT_GE(countIssues([](const auto& issue) { return hasNonAscii(issue.parts); }), 20u);
    EXPECT_GE(countIssues([](const auto& issue) { return hasNonAscii(issue.contents); }), 30u);
    std::string all;
    for (const tools::CatalogueIssue& issue : issues_) {
        all += issue.title + issue.parts + issue.contents;
    }
    for (const char* letter : {"á", "č", "ď", "é", "ě", "í", "ň", "ó", "ř", "š", "ť", "ú", "ů", "ý",
                               "ž", "Č", "Ř", "Š", "Ž"}) {
        EXPECT_NE(all.find(letter), std::string::npos) << letter;
    }
}

TEST_F(QvtoolDemo, SomeIssuesLackAMemoANumberOrInterestingPartsButNoneATitle) {
    const std::size_t withoutMemo = countIssues([](const auto& i) { return i.contents.empty(); });
    EXPECT_GE(withoutMemo, 2u);
    EXPECT_LE(withoutMemo, issues_.size() / 5);
    EXPECT_GE(countIssues([](const auto& i) { return i.number.empty(); }), 1u);
    EXPECT_GE(countIssues([](const auto& i) { return i.parts.empty(); }), 1u);
    EXPECT_GE(countIssues([](const auto& i) {
                  return i.number.empty() && i.parts.empty() && i.contents.empty();
              }),
              1u);
    EXPECT_EQ(countIssues([](const auto& i) { return i.title.empty(); }), 0u);
}

TEST_F(QvtoolDemo, EmptyFieldsAreStoredWithoutAValue) {
    const std::filesystem::path& dir = directory_->path();
    EXPECT_EQ(sqliteInteger(dir,
                            "SELECT count(*) FROM qv WHERE vytisk = '' OR cislo = '' OR "
                            "nejzajimavejsi_casti = ''"),
              0);
    EXPECT_GE(sqliteInteger(dir, "SELECT count(*) FROM qv WHERE cislo IS NULL"), 1);
    const std::int64_t rows = sqliteInteger(dir, "SELECT count(*) FROM qv");
    const std::int64_t memos = sqliteInteger(dir, "SELECT count(*) FROM mb.memo");
    EXPECT_EQ(rows - memos, static_cast<std::int64_t>(
                                countIssues([](const auto& i) { return i.contents.empty(); })));
}

TEST_F(QvtoolDemo, OneTitleFillsTheTitleFieldAndEveryTextFitsItsField) {
    EXPECT_EQ(countIssues([](const auto& i) { return characters(i.title) == 50; }), 1u);
    EXPECT_EQ(countIssues([](const auto& i) { return characters(i.title) > 50; }), 0u);
    EXPECT_EQ(countIssues([](const auto& i) { return characters(i.number) > 15; }), 0u);
    EXPECT_EQ(countIssues([](const auto& i) { return characters(i.parts) > 150; }), 0u);
}

TEST_F(QvtoolDemo, MemosRunOverSeveralLinesWithCrLfOrWithLf) {
    const auto crLf = [](const auto& i) { return i.contents.find("\r\n") != std::string::npos; };
    const auto bareLf = [](const auto& i) {
        for (std::size_t at = i.contents.find('\n'); at != std::string::npos;
             at = i.contents.find('\n', at + 1)) {
            if (at == 0 || i.contents[at - 1] != '\r') {
                return true;
            }
        }
        return false;
    };
    EXPECT_GE(countIssues(crLf), 10u);
    EXPECT_GE(countIssues(bareLf), 5u);
    const std::size_t withMemo = countIssues([](const auto& i) { return !i.contents.empty(); });
    EXPECT_GE(countIssues([&](const auto& i) { return crLf(i) || bareLf(i); }), withMemo * 3 / 4);
}

// SQLite's own file layer stops at 512 bytes of path; a user's directories don't.
TEST(QvtoolDeepDirectory, WritesTheDemoInADirectoryOfAThousandBytePath) {
    const TemporaryDirectory base;
    std::filesystem::path directory = base.path();
    while (directory.string().size() + 201 < 1000) {
        directory /= std::string(200, 'd');
    }
    directory /= std::string(1000 - directory.string().size() - 1, 'e');
    std::filesystem::create_directories(directory);
    ASSERT_EQ(directory.string().size(), 1000u);

    const QvtoolRun run = runQvtool({"demo", directory.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(directoryListing(directory), (std::vector<std::string>{"qv.db", "qv.mb"}));
    EXPECT_EQ(readCatalogue(directory).size(), tools::demoIssues().size());
}

}  // namespace
}  // namespace quorvel::testing
