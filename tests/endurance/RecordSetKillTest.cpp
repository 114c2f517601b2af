// A copy of the program killed at random moments while it adds, changes and deletes rows
// through Query1, memos of up to 100 KB included. After every kill the table opens through the
// record set, both files pass SQLite's integrity check, every row is wholly one version (all
// its fields and its memo carry one tag), no memo is left without its row, and the table is
// what the writer was told it committed, but for the one change it was making when it died.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <sstream>
#include <thread>

#include "ForkedProcess.h"
#include "TaggedRows.h"
#include "engine/Engine.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel::testing {
namespace {

// Writes until it is killed: a new row while there are few, a deleted one while there are
// many, else any of the three, each through Query1 as the buttons do it. Each change it was
// told is committed goes to the journal: "C <id> <seq>" for a posted row, "D <id> <seq>".
void writeUntilKilled(const std::filesystem::path& dir, const std::filesystem::path& journalPath,
                      int round, std::size_t rowsAtStart) {
    Engine engine(dir);
    RecordSet set(engine);
    set.SetBufferCount(8);
    set.AddSQL("select * from qv");
    set.Open();
    JournalFile journal(journalPath);
    std::mt19937 random(static_cast<unsigned>(round) * 7919u + 17u);
    std::size_t rows = rowsAtStart;
    for (int seq = 0;; ++seq) {
        const std::string tag = std::to_string(round) + "-" + std::to_string(seq);
        const unsigned choice = rows < 6 ? 0 : rows > 20 ? 2 : random() % 3;
        if (choice == 0) {
            set.Append();
        } else {
            set.First();
            set.MoveBy(static_cast<int>(random() % rows));
        }
        const std::int64_t id = set.HeldRow(set.ActiveRecord()).id;
        if (choice == 2) {
            set.Delete();
            --rows;
            journal.line("D " + std::to_string(id) + " " + std::to_string(seq));
            continue;
        }
        if (choice == 1) {
            set.Edit();
        }
        writeTagged(set, tag);
        set.Post();
        rows += choice == 0 ? 1 : 0;
        journal.line("C " + std::to_string(set.HeldRow(set.ActiveRecord()).id) + " " +
                     std::to_string(seq));
    }
}

// The tags of the table as the journal of one round says they are, starting from before.
// lastSeq: the last change the writer was told is committed.
std::map<std::int64_t, std::string> replay(std::map<std::int64_t, std::string> before,
                                           const std::vector<std::string>& journal, int round,
                                           int& lastSeq) {
    lastSeq = -1;
    for (const std::string& line : journal) {
        std::istringstream in(line);
        char kind = '\0';
        std::int64_t id = 0;
        in >> kind >> id >> lastSeq;
        if (kind == 'D') {
            before.erase(id);
        } else {
            before[id] = std::to_string(round) + "-" + std::to_string(lastSeq);
        }
    }
    return before;
}

// Every row read through a record set of the program's own, as the grid would walk it.
std::map<std::int64_t, std::string> readThroughQuery1(const std::filesystem::path& dir) {
    Engine engine(dir);
    RecordSet set(engine);
    set.SetBufferCount(8);
    set.AddSQL("select * from qv");
    set.Open();
    std::map<std::int64_t, std::string> titles;
    for (set.First(); !set.IsEmpty();) {
        titles[set.HeldRow(set.ActiveRecord()).id] = set.FieldByName("Vytisk").AsString();
        if (set.MoveBy(1) == 0) {
            break;
        }
    }
    return titles;
}

// What a kill left beside the two files for the next opening to roll back: 0 nothing, 1 a
// rollback journal, 2 a super-journal as well (the kill fell inside a commit of both files).
int journalsBeside(const std::filesystem::path& dir) {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find("-mj") != std::string::npos) {
            found = 2;
        } else if (name.find("-journal") != std::string::npos) {
            found = std::max(found, 1);
        }
    }
    return found;
}

TEST(RecordSetKill, EveryKillLeavesOneCommittedVersionOfEachRowAndEveryToldCommit) {
    const int kills = shortRuns() ? 25 : 1000;
    TempCatalogue catalogue;
    const std::filesystem::path dir = catalogue.dir();
    std::map<std::int64_t, std::string> expected;  // id -> tag
    std::mt19937 random(std::random_device{}());
    int hot = 0;       // kills that left a rollback journal beside the files
    int super = 0;     // ... and a super-journal: inside a commit of both files
    int unlogged = 0;  // kills between a commit and its journal line
    long changes = 0;  // changes the writers were told are committed
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < kills; ++round) {
        const std::filesystem::path journalPath = dir / "writer.log";
        std::filesystem::remove(journalPath);
        {
            ForkedProcess writer(
                [&] { writeUntilKilled(dir, journalPath, round, expected.size()); });
            writer.start();
            // Until its first commit is logged, however long a busy machine takes to get there.
            while (writer.running() && (!std::filesystem::exists(journalPath) ||
                                        std::filesystem::file_size(journalPath) == 0)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
            ASSERT_TRUE(writer.kill()) << "round " << round << ": the writer ended by itself";
        }
        const int left = journalsBeside(dir);
        hot += left > 0 ? 1 : 0;
        super += left == 2 ? 1 : 0;
        const std::vector<std::string> journal = journalLines(journalPath);
        ASSERT_FALSE(journal.empty()) << "round " << round << ": the writer committed nothing";
        changes += static_cast<long>(journal.size());

        // The program opens the table (rolling back what the kill left unfinished) ...
        const std::map<std::int64_t, std::string> titles = readThroughQuery1(dir);
        // Opening rolled back what was hot and cleared away the orphaned super-journals of
        // commits of both files, which would otherwise pile up beside the table. (A journal
        // that isn't hot may stay until the next commit of its file.)
        EXPECT_LT(journalsBeside(dir), 2) << "round " << round;
        // ... and each row is one whole version.
        const std::map<std::int64_t, StoredRow> table = readTaggedTable(dir);
        ASSERT_EQ(titles.size(), table.size()) << "round " << round;

        int lastSeq = -1;
        const std::map<std::int64_t, std::string> told = replay(expected, journal, round, lastSeq);
        // Only the change in progress at the kill may differ from what the writer was told:
        // committed, it carries the next tag (or is a deletion); else it left no trace.
        const std::string inFlight = std::to_string(round) + "-" + std::to_string(lastSeq + 1);
        int differences = 0;
        for (const auto& [id, row] : table) {
            EXPECT_EQ(titles.at(id), titlePrefix + row.tag);
            const auto known = told.find(id);
            if (known == told.end() || known->second != row.tag) {
                ++differences;
                EXPECT_EQ(row.tag, inFlight) << "round " << round << ", row " << id;
            }
        }
        for (const auto& [id, tag] : told) {
            if (table.count(id) == 0) {
                ++differences;  // an unlogged deletion
            }
        }
        EXPECT_LE(differences, 1) << "round " << round;
        unlogged += differences;
        if (::testing::Test::HasFailure()) {
            break;
        }
        expected.clear();
        for (const auto& [id, row] : table) {
            expected[id] = row.tag;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "kill test: %d kills survived in %.0f s; %ld changes committed, %d kills left a "
        "journal to roll back (%d inside a commit of both files), %d fell between a commit and "
        "its report\n",
        kills, seconds, changes, hot, super, unlogged);
}

}  // namespace
}  // namespace quorvel::testing
