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
#include "EngineCodes.h"
#include "ForkedProcess.h"
#include "TaggedRows.h"
#include "engine/Engine.h"
#include "recordset/RecordSet.h"

namespace quorvel::testing {
namespace {

constexpr int rowsAtStart = 30;

// One copy's session: attempts changes, half of them on the first two rows, and writes down
// each outcome: "C <id> <version> <tag>" for a post it was told succeeded ("G <tag>" for a new
// row gone again before it was read back), "D <id>" for a deletion, "X <code>" for an engine
// error, "F <text>" for anything else.
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
                set.MoveBy(static_cast<int>(random() % (random() % 2 == 0 ? 2 : rowsAtStart)));
            }
            if (choice == 1) {
                const std::int64_t id = set.HeldRow(set.ActiveRecord()).id;
                set.Delete();
                journal.line("D " + std::to_string(id));
                continue;
            }
            // An edited row is known before it is posted: its id, and the version the post
            // makes of the version locked. A new row is known once it is read back.
            std::int64_t id = 0;
            std::int64_t version = 1;
            if (choice != 0) {
                set.Edit();
                id = set.HeldRow(set.ActiveRecord()).id;
                version = set.HeldRow(set.ActiveRecord()).version + 1;
            }
            writeTagged(set, tag);
            // The user takes a moment before pressing Save.
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 5000));
            set.Post();
            // The written row is current unless the other copy deleted it in the meantime.
            const RowData& current = set.HeldRow(set.ActiveRecord());
            const bool ours = set.FieldByName("Vytisk").AsString() == titlePrefix + tag;
            if (ours && ((id != 0 && current.id != id) || current.version != version)) {
                journal.line("F the post wrote another version than the one locked");
            }
            if (id == 0 && ours) {
                id = current.id;
            }
            // "G": a new row the other copy deleted before it could be read back.
            journal.line(id == 0 ? "G " + tag
                                 : "C " + std::to_string(id) + " " + std::to_string(version) + " " +
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
    int vanished = 0;  // new rows deleted by the other copy before they were read back
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
        } else if (kind == 'G') {
            ++outcomes.vanished;
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
    const int attempts = shortRuns() ? 100 : 500;  // each
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
        "two copies: %d attempts in %.1f s, %d commits (%d new rows deleted by the other copy "
        "at once), %zu rows deleted, %d engine errors (",
        outcomes.attempts, seconds, committed + outcomes.vanished, outcomes.vanished,
        outcomes.deleted.size(), conflicts);
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
