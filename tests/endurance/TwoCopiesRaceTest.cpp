// Two running copies of the program editing one catalogue through Query1 at the same time,
// most often the same few rows, a user's pause between starting a change and saving it. No
// change is lost without a word: each copy writes down what it was told it committed, and
// afterwards every such commit is in the table or was overwritten (or deleted) by a later
// commit that a copy was told of; every refusal reaches the copy as an engine error; and a copy
// killed at any moment leaves no row locked.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "EDBEngineError.h"
#include "Engine.h"
#include "EngineCodes.h"
#include "ForkedProcess.h"
#include "RecordSet.h"
#include "TaggedRows.h"

namespace quorvel::testing {
namespace {

constexpr int rowsAtStart = 30;

// One copy's session: attempts changes, each on one of the first three rows half of the time,
// and writes down its outcome: "C <id> <version> <tag>" for a post it was told succeeded,
// "D <id>" for a deletion, "X <code>" for an engine error, "F <text>" for any other failure.
void editConcurrently(const std::filesystem::path& dir, const std::filesystem::path& journalPath,
                      char copy, int attempts, bool forever) {
    Engine engine(dir);
    RecordSet set(engine);
    set.SetBufferCount(6);
    set.AddSQL("select * from qv");
    set.Open();
    JournalFile journal(journalPath);
    std::mt19937 random(static_cast<unsigned>(copy) * 104729u + static_cast<unsigned>(::getpid()));
    for (int i = 0; forever || i < attempts; ++i) {
        const std::string tag = std::string(1, copy) + std::to_string(i);
        try {
            const unsigned choice = random() % 10;
            if (choice == 0) {
                set.Append();
            } else {
                set.First();
                set.MoveBy(static_cast<int>(random() % (random() % 2 == 0 ? 3 : rowsAtStart)));
            }
            if (choice == 1) {
                const std::int64_t id = set.HeldRow(set.ActiveRecord()).id;
                set.Delete();
                journal.line("D " + std::to_string(id));
                continue;
            }
            if (choice != 0) {
                set.Edit();
            }
            writeTagged(set, tag);
            // The user takes a moment before pressing Save.
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
            set.Post();
            const RowData& row = set.HeldRow(set.ActiveRecord());
            if (set.FieldByName("Vytisk").AsString() != titlePrefix + tag) {
                journal.line("F the posted row is not current");
            }
            journal.line("C " + std::to_string(row.id) + " " + std::to_string(row.version) + " " +
                         tag);
        } catch (const EDBEngineError& error) {
            journal.line("X " + std::to_string(error.errorCode()));
            set.Cancel();
        } catch (const std::exception& error) {
            journal.line(std::string("F ") + error.what());
            set.Cancel();
        }
    }
}

struct Commit {
    std::int64_t version;
    std::string tag;
};

struct Outcomes {
    std::map<std::int64_t, std::vector<Commit>> commits;  // by row id
    std::set<std::int64_t> deleted;
    std::map<int, int> conflicts;  // by engine code
    std::vector<std::string> failures;
    int attempts = 0;
};

void addJournal(Outcomes& outcomes, const std::filesystem::path& path) {
    for (const std::string& line : journalLines(path)) {
        ++outcomes.attempts;
        std::istringstream in(line);
        char kind = '\0';
        in >> kind;
        if (kind == 'C') {
            std::int64_t id = 0;
            Commit commit{};
            in >> id >> commit.version >> commit.tag;
            outcomes.commits[id].push_back(commit);
        } else if (kind == 'D') {
            std::int64_t id = 0;
            in >> id;
            outcomes.deleted.insert(id);
        } else if (kind == 'X') {
            int code = 0;
            in >> code;
            ++outcomes.conflicts[code];
        } else {
            outcomes.failures.push_back(line);
        }
    }
}

// Query1 of a third copy takes every row into edit and lets it go again: no row is locked.
void expectNoRowLocked(const std::filesystem::path& dir) {
    Engine engine(dir);
    RecordSet set(engine);
    set.AddSQL("select * from qv");
    set.Open();
    int rows = 0;
    for (set.First(); !set.IsEmpty(); ++rows) {
        try {
            set.Edit();
        } catch (const EDBEngineError& error) {
            ADD_FAILURE() << "row " << set.HeldRow(set.ActiveRecord()).id
                          << " is still locked: " << error.message();
        }
        set.Cancel();
        if (set.MoveBy(1) == 0) {
            break;
        }
    }
    EXPECT_GT(rows, 0);
}

class TwoCopiesRacing : public ::testing::Test {
  protected:
    TwoCopiesRacing() {
        std::vector<Entry> entries;
        for (int i = 0; i < rowsAtStart; ++i) {
            const std::string tag = "S" + std::to_string(i);
            entries.push_back({titlePrefix + tag, tag, partsPrefix + tag, memoOf(tag)});
        }
        for (std::int64_t id : catalogue_.fill(entries)) {
            initial_.insert(id);
        }
    }

    std::filesystem::path journalOf(char copy) const {
        return logs_.path() / (std::string(1, copy) + ".log");
    }

    TempCatalogue catalogue_;
    TempDir logs_;
    std::set<std::int64_t> initial_;
};

TEST_F(TwoCopiesRacing, NoCommitIsLostAndEveryConflictIsAnEngineError) {
    const int attempts = shortRuns() ? 60 : 500;  // each
    const std::filesystem::path dir = catalogue_.dir();
    const auto started = std::chrono::steady_clock::now();
    {
        ForkedProcess a([&] { editConcurrently(dir, journalOf('A'), 'A', attempts, false); });
        ForkedProcess b([&] { editConcurrently(dir, journalOf('B'), 'B', attempts, false); });
        a.start();
        b.start();
        ASSERT_EQ(a.wait(), 0);
        ASSERT_EQ(b.wait(), 0);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    Outcomes outcomes;
    addJournal(outcomes, journalOf('A'));
    addJournal(outcomes, journalOf('B'));
    EXPECT_EQ(outcomes.attempts, 2 * attempts);
    EXPECT_TRUE(outcomes.failures.empty()) << outcomes.failures.front();
    const std::set<int> expectedConflicts = {engine_code::recordLocked, engine_code::recordChanged,
                                             engine_code::recordNotFound, engine_code::tableBusy};
    int conflicts = 0;
    for (const auto& [code, count] : outcomes.conflicts) {
        EXPECT_TRUE(expectedConflicts.count(code) == 1) << "engine code " << code;
        conflicts += count;
    }
    EXPECT_GT(conflicts, 0) << "the copies never met on a row";

    const std::map<std::int64_t, StoredRow> table = readTaggedTable(dir);
    int committed = 0;
    for (auto& [id, commits] : outcomes.commits) {
        committed += static_cast<int>(commits.size());
        std::set<std::int64_t> versions;
        for (const Commit& commit : commits) {
            EXPECT_TRUE(versions.insert(commit.version).second)
                << "two copies were told they wrote version " << commit.version << " of row " << id
                << ": one of the two changes is lost";
        }
        const auto stored = table.find(id);
        if (outcomes.deleted.count(id) != 0) {
            EXPECT_TRUE(stored == table.end()) << "deleted row " << id << " is still there";
            continue;
        }
        ASSERT_TRUE(stored != table.end()) << "row " << id << " vanished without a deletion";
        const Commit& latest = *std::max_element(
            commits.begin(), commits.end(),
            [](const Commit& x, const Commit& y) { return x.version < y.version; });
        EXPECT_EQ(stored->second.version, latest.version) << "row " << id;
        EXPECT_EQ(stored->second.tag, latest.tag) << "row " << id;
    }
    for (const auto& [id, row] : table) {
        if (outcomes.commits.count(id) == 0) {
            EXPECT_EQ(initial_.count(id), 1u) << "row " << id << " came from nowhere";
            EXPECT_EQ(row.version, 1) << "row " << id << " changed without anyone being told";
        }
        EXPECT_EQ(outcomes.deleted.count(id), 0u) << "row " << id << " was reported deleted";
    }
    expectNoRowLocked(dir);
    std::printf(
        "two copies: %d attempts in %.1f s, %d commits, %zu rows deleted, %d engine "
        "errors (",
        outcomes.attempts, seconds, committed, outcomes.deleted.size(), conflicts);
    for (const auto& [code, count] : outcomes.conflicts) {
        std::printf(" $%.4x: %d", code, count);
    }
    std::printf(" )\n");
}

TEST_F(TwoCopiesRacing, ACopyKilledAtAnyMomentLeavesNoRowLocked) {
    const int kills = shortRuns() ? 5 : 50;
    const std::filesystem::path dir = catalogue_.dir();
    std::mt19937 random(std::random_device{}());
    for (int kill = 0; kill < kills; ++kill) {
        std::filesystem::remove(journalOf('K'));
        {
            ForkedProcess copy([&] { editConcurrently(dir, journalOf('K'), 'K', 0, true); });
            copy.start();
            while (copy.running() && journalLines(journalOf('K')).empty()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 30000));
            ASSERT_TRUE(copy.kill()) << "the copy ended by itself";
        }
        expectNoRowLocked(dir);
        readTaggedTable(dir);
        if (HasFailure()) {
            FAIL() << "after kill " << kill;
        }
    }
}

}  // namespace
}  // namespace quorvel::testing
