// Damaged catalogues: thousands of copies of the demo catalogue, each damaged in one way, opened
// by the engine through the record set and read to the end, searched in every field and sorted
// both ways. Each must give a clean engine error or a table that reads whole: never a crash, a
// hang or a foreign exception, and an open that fails changes nothing on disk.

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "CatalogueDamage.h"
#include "Exceptions.h"
#include "TempCatalogue.h"
#include "catalogues/DemoCatalogue.h"
#include "engine/Engine.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"
#include "recordset/StatementComposer.h"

namespace quorvel::testing {
namespace {

// The case under way, for the message of the watchdog, which may only write.
char caseUnderWay[256] = "";

// A case running longer than this hangs: the harness stops with its description.
constexpr unsigned caseSeconds = 60;

void onHang(int) {
    static const char prefix[] = "damaged catalogue: a case hangs: ";
    (void)!::write(STDERR_FILENO, prefix, sizeof prefix - 1);
    (void)!::write(STDERR_FILENO, caseUnderWay, std::strlen(caseUnderWay));
    (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(3);
}

struct Outcome {
    int refusedAtOpen = 0;
    int readWhole = 0;
    int rowsMissing = 0;    // of those read whole, tables with fewer rows than the demo's
    int sortedDiffers = 0;  // ... and those whose sorted results hold other rows than the table
    int refusedLater = 0;   // opened, then a later read, search or sort refused
};

// Every field of every row, memos too; gives the number of rows.
std::size_t readToTheEnd(RecordSet& recordSet) {
    if (recordSet.IsEmpty()) {
        return 0;
    }
    std::size_t rows = 0;
    recordSet.First();
    do {
        ++rows;
        for (int index = 0; index < recordSet.FieldCount(); ++index) {
            (void)recordSet.Fields(index).AsString();
        }
    } while (recordSet.MoveBy(1) == 1);
    return rows;
}

// Whole table, then a search in each field, then both sort orders; throws the first engine error.
// Gives the table's rows; sorted counts whether a sorted result held as many.
std::size_t readSearchAndSort(RecordSet& recordSet, bool& sortedAlike) {
    const std::size_t rows = readToTheEnd(recordSet);
    for (SearchField field : {SearchField::Title, SearchField::IssueNumber,
                              SearchField::InterestingParts, SearchField::Contents}) {
        StatementClauses clauses;
        clauses.FilterClause = searchClause(field, "a");
        RunQuery(recordSet, clauses);
        readToTheEnd(recordSet);
    }
    for (SortOrder order : {SortOrder::ByTitle, SortOrder::ByIssueNumber}) {
        StatementClauses clauses;
        clauses.OrderClause = orderClause(order);
        RunQuery(recordSet, clauses);
        sortedAlike = sortedAlike && readToTheEnd(recordSet) == rows;
    }
    return rows;
}

class DamagedCatalogue : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        pristine_ = new TempDir;
        tools::writeDemoCatalogue(pristine_->path());
        rows_ = new std::string(readFile(pristine_->path() / "qv.db"));
        memos_ = new std::string(readFile(pristine_->path() / "qv.mb"));
    }
    static void TearDownTestSuite() {
        delete rows_;
        delete memos_;
        delete pristine_;
    }

    // Lays the demo catalogue anew in dir, damages it and runs it through the record set.
    void runCase(const std::filesystem::path& dir, DamageKind kind, std::uint64_t seed,
                 Outcome& outcome) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        writeFile(dir / "qv.db", *rows_);
        writeFile(dir / "qv.mb", *memos_);
        const std::string damage = CatalogueDamage(kind, seed).apply(dir);
        const std::string description =
            std::string(nameOf(kind)) + " (seed " + std::to_string(seed) + "): " + damage;
        std::snprintf(caseUnderWay, sizeof caseUnderWay, "%s", description.c_str());
        const DirSnapshot before = snapshot(dir);

        ::alarm(caseSeconds);
        bool opened = false;
        try {
            Engine engine(dir);
            RecordSet recordSet(engine);
            recordSet.SetBufferCount(12);
            try {
                RunQuery(recordSet, {});
                opened = true;
            } catch (const EDatabaseError& error) {
                EXPECT_STRNE(error.what(), "") << description;
            }
            if (opened) {
                bool sortedAlike = true;
                const std::size_t rows = readSearchAndSort(recordSet, sortedAlike);
                outcome.sortedDiffers += sortedAlike ? 0 : 1;
                ++outcome.readWhole;
                outcome.rowsMissing += rows < tools::demoIssues().size() ? 1 : 0;
            }
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(opened) << description;  // a refused open was caught above
            EXPECT_STRNE(error.what(), "") << description;
            ++outcome.refusedLater;
        } catch (const std::exception& error) {
            ADD_FAILURE() << "not an engine error: " << error.what() << "\n" << description;
        }
        ::alarm(0);
        if (!opened) {
            ++outcome.refusedAtOpen;
            const DirSnapshot after = snapshot(dir);
            EXPECT_TRUE(after == before)
                << "a failed open changed the files " << ::testing::PrintToString(fileNames(after))
                << ": " << description;
        }
    }

    static TempDir* pristine_;
    static std::string* rows_;
    static std::string* memos_;
};

TempDir* DamagedCatalogue::pristine_ = nullptr;
std::string* DamagedCatalogue::rows_ = nullptr;
std::string* DamagedCatalogue::memos_ = nullptr;

TEST_F(DamagedCatalogue, EveryDamageGivesAnEngineErrorOrATableThatReadsWhole) {
    const int cases = shortRuns() ? 350 : 10000;
    ::signal(SIGALRM, onHang);
    TempDir work;
    std::array<Outcome, fileDamageKindCount> outcomes{};
    int index = 0;
    for (; index < cases && !HasFailure(); ++index) {
        const auto kind = static_cast<DamageKind>(index % fileDamageKindCount);
        runCase(work.path() / "case", kind, static_cast<std::uint64_t>(index),
                outcomes.at(static_cast<std::size_t>(kind)));
    }
    ::signal(SIGALRM, SIG_DFL);
    std::cout << index << " damaged catalogues:\n";
    for (int kind = 0; kind < fileDamageKindCount; ++kind) {
        const Outcome& outcome = outcomes.at(static_cast<std::size_t>(kind));
        std::cout << "  " << nameOf(static_cast<DamageKind>(kind)) << ": " << outcome.refusedAtOpen
                  << " refused at open, " << outcome.refusedLater << " refused later, "
                  << outcome.readWhole << " read whole (" << outcome.rowsMissing
                  << " of them with rows missing, " << outcome.sortedDiffers
                  << " sorted into another number of rows)\n";
    }
}

// A flipped byte gave row 19 the id 6 inside the table's b-tree, which SQLite reads without a
// word: the rows after row 18 began again at 7, and reading the table to its end never ended.
TEST_F(DamagedCatalogue, RowsOutOfOrderEndTheWalkWithAnEngineError) {
    ::signal(SIGALRM, onHang);
    TempDir work;
    Outcome outcome;
    runCase(work.path() / "case", DamageKind::BytesFlipped, 1604, outcome);
    ::signal(SIGALRM, SIG_DFL);
    EXPECT_EQ(outcome.refusedLater, 1);
}

// qv.db flagged for WAL mode beside a qv.mb that is no memo file: an open that put qv.db back
// into rollback-journal mode before it looked at qv.mb would fail with qv.db rewritten.
TEST_F(DamagedCatalogue, AFailedOpenLeavesAFileInWalModeAsItWas) {
    TempDir work;
    std::string rows = *rows_;
    rows[18] = rows[19] = 2;  // the header's write and read versions of a file in WAL mode
    writeFile(work.path() / "qv.db", rows);
    writeFile(work.path() / "qv.mb", "Vytisk;Cislo\r\nRespekt;12\r\n");
    const DirSnapshot before = snapshot(work.path());
    Engine engine(work.path());
    RecordSet recordSet(engine);
    try {
        RunQuery(recordSet, {});
        ADD_FAILURE() << "a text file opened as the memo file";
    } catch (const EDatabaseError& error) {
        EXPECT_NE(std::string(error.what()).find("qv.mb"), std::string::npos) << error.what();
    }
    EXPECT_TRUE(snapshot(work.path()) == before);
}

}  // namespace
}  // namespace quorvel::testing
