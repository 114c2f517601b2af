// qvtool's command line: the help, and every wrong use exiting with 2 before touching anything.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "catalogues/SearchPatterns.h"

namespace quorvel::testing {
namespace {

TEST(QvtoolHelp, ExplainsEveryCommandTheExitStatusAndThePatternsOnStdout) {
    const QvtoolRun run = runQvtool({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.err, "");
    for (const char* part :
         {"qvtool create DIR", "qvtool demo DIR", "qvtool generate DIR N [SEED]",
          "qvtool import FILE DIR [--delimiter ,|;|tab] [--encoding NAME] [--sheet NAME]",
          "qvtool import FILE [DIR] --dry-run", "[--dry-run]", "windows-1250 (or cp1250)",
          "Tiskopis, Titul, Název", "qvtool export DIR CSV|XLSX [--order vytisk|cislo] [--excel]",
          "qvtool check DIR", "qvtool backup DIR NAME", "qvtool restore NAME DIR", "default 1",
          "never overwrites", "Exit status: 0 done, 1 failed", "2 wrong usage", "Vytisk",
          "Obsah_vytisku"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part;
    }
    for (const tools::FieldPatterns& patterns : tools::generatedPatterns) {
        EXPECT_NE(run.out.find(std::string("\"") + patterns.rare + "\""), std::string::npos);
        EXPECT_NE(run.out.find(std::string("\"") + patterns.common + "\""), std::string::npos);
    }
}

TEST(QvtoolHelp, WithoutArgumentsTheHelpGoesToStderrAsAUsageError) {
    const QvtoolRun run = runQvtool({});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, runQvtool({"--help"}).out);
}

// "DIR" in a case stands for an existing, empty directory.
class QvtoolWrongUsage : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(QvtoolWrongUsage, ExitsWith2AndCreatesNothing) {
    const TemporaryDirectory directory;
    std::vector<std::string> arguments = GetParam();
    for (std::string& argument : arguments) {
        if (argument == "DIR") {
            argument = directory.path().string();
        }
    }
    const QvtoolRun run = runQvtool(arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("Try 'qvtool --help'."), std::string::npos) << run.err;
    EXPECT_TRUE(directoryListing(directory.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, QvtoolWrongUsage,
    ::testing::Values(
        std::vector<std::string>{"frobnicate", "DIR"}, std::vector<std::string>{"CREATE", "DIR"},
        std::vector<std::string>{"create"}, std::vector<std::string>{"create", "DIR", "DIR"},
        std::vector<std::string>{"demo"}, std::vector<std::string>{"demo", "DIR", "50"},
        std::vector<std::string>{"--help", "DIR"}, std::vector<std::string>{"generate", "DIR"},
        std::vector<std::string>{"generate", "DIR", "ten"},
        std::vector<std::string>{"generate", "DIR", "-5"},
        std::vector<std::string>{"generate", "DIR", "+5"},
        std::vector<std::string>{"generate", "DIR", " 5"},
        std::vector<std::string>{"generate", "DIR", "5x"},
        std::vector<std::string>{"generate", "DIR", ""},
        std::vector<std::string>{"generate", "DIR", "1000000001"},
        std::vector<std::string>{"generate", "DIR", "5", "seed"},
        std::vector<std::string>{"generate", "DIR", "5", "18446744073709551616"},
        std::vector<std::string>{"generate", "DIR", "5", "1", "2"},
        std::vector<std::string>{"import", "DIR"}, std::vector<std::string>{"check"},
        std::vector<std::string>{"check", "DIR", "DIR"}, std::vector<std::string>{"backup", "DIR"},
        std::vector<std::string>{"backup", "DIR", "DIR/kopie", "DIR"},
        std::vector<std::string>{"restore", "DIR"},
        std::vector<std::string>{"restore", "DIR/kopie", "DIR", "DIR"},
        std::vector<std::string>{"import", "x.csv", "DIR", "DIR"},
        std::vector<std::string>{"export", "DIR"},
        std::vector<std::string>{"export", "DIR", "x.csv", "--order"},
        std::vector<std::string>{"export", "DIR", "x.csv", "--order", "tiskopis"},
        std::vector<std::string>{"export", "DIR", "x.csv", "--sort", "cislo"},
        std::vector<std::string>{"export", "DIR", "x.csv", "--excel", "--excel"},
        std::vector<std::string>{"import", "x.csv", "DIR", "--encoding", "cp852"},
        std::vector<std::string>{"import", "x.csv", "DIR", "--delimiter", "|"},
        std::vector<std::string>{"import", "x.csv", "DIR", "--delimiter"},
        std::vector<std::string>{"import", "x.csv", "DIR", "--ignore-extra", "--ignore-extra"},
        std::vector<std::string>{"import", "x.csv", "DIR", "--dry-run", "--dry-run"}));

}  // namespace
}  // namespace quorvel::testing
