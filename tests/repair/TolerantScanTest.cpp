// The scan that reads a damaged table past its damage: on a real SQLite file whose leaf pages
// are zeroed where the test chose, it reads every row of the sound pages, in ascending id order,
// and leaps over exactly the ids of the damaged ones: the leap doubles past the damage and halves
// back to the first id the b-tree can be entered at again, so no sound row is skipped.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "TempCatalogue.h"
#include "repair/TolerantScan.h"
#include "sqlite/SqliteConnection.h"

namespace quorvel::testing {
namespace {

constexpr int rowCount = 2000;
constexpr std::int64_t noId = std::numeric_limits<std::int64_t>::min();

struct Leaf {
    int page = 0;
    std::vector<std::int64_t> ids;
};

// A table t of rowCount rows, ids spacing apart, and its leaf pages in id order.
std::vector<Leaf> makeTable(const std::filesystem::path& file, std::int64_t spacing) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    const std::string fill =
        "PRAGMA page_size=4096; CREATE TABLE t(id INTEGER PRIMARY KEY, body TEXT);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(rowCount) + ") INSERT INTO t SELECT i * " + std::to_string(spacing) +
        ", printf('%050d', i) FROM n";
    EXPECT_EQ(sqlite3_exec(db, fill.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    // dbstat lists the b-tree's pages by their path from the root: its leaves in key order.
    std::vector<Leaf> leaves;
    sqlite3_stmt* pages = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db,
                                 "SELECT pageno, ncell FROM dbstat WHERE name = 't' AND "
                                 "pagetype = 'leaf' ORDER BY path",
                                 -1, &pages, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db);
    std::int64_t next = spacing;
    while (sqlite3_step(pages) == SQLITE_ROW) {
        Leaf leaf{sqlite3_column_int(pages, 0), {}};
        for (int cell = 0; cell < sqlite3_column_int(pages, 1); ++cell, next += spacing) {
            leaf.ids.push_back(next);
        }
        leaves.push_back(leaf);
    }
    sqlite3_finalize(pages);
    sqlite3_close(db);
    EXPECT_EQ(next, spacing * (rowCount + 1)) << "the leaves don't hold every row";
    return leaves;
}

void zeroPage(const std::filesystem::path& file, int page) {
    std::string bytes = readFile(file);
    const std::size_t pageSize = 4096;  // as the table was made
    bytes.replace(static_cast<std::size_t>(page - 1) * pageSize, pageSize,
                  std::string(pageSize, '\0'));
    writeFile(file, bytes);
}

struct Case {
    const char* name;
    std::int64_t spacing;
    std::set<int> damaged;  // leaves by their place in id order; -1 is the last
};

TEST(TolerantScan, LeapsOverExactlyTheIdsOfDamagedPagesAndReadsTheRestInOrder) {
    const Case cases[] = {
        {"one leaf in the middle", 1, {5}},
        {"three leaves in a row, ids ten apart", 10, {8, 9, 10}},
        {"two stretches", 7, {3, 12, 13}},
        {"the first leaf", 1, {0}},
        {"the last leaf", 3, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path file = dir.path() / "t.db";
        const std::vector<Leaf> leaves = makeTable(file, c.spacing);
        ASSERT_GT(leaves.size(), 14u);
        std::set<int> damaged;
        for (const int leaf : c.damaged) {
            damaged.insert(leaf < 0 ? static_cast<int>(leaves.size()) - 1 : leaf);
        }
        // What the scan must give: the sound leaves' ids; and for each run of damaged leaves,
        // a gap from past the last sound id before it to past its own ids but short of the
        // next sound one.
        std::vector<std::int64_t> sound;
        std::vector<repair::TolerantScan::Gap>
            runs;  // first: after the last sound id; last: its last id
        std::int64_t lastSound = noId;
        for (int l = 0; l < static_cast<int>(leaves.size()); ++l) {
            if (damaged.count(l) == 0) {
                sound.insert(sound.end(), leaves[l].ids.begin(), leaves[l].ids.end());
                lastSound = leaves[l].ids.back();
                continue;
            }
            zeroPage(file, leaves[l].page);
            if (damaged.count(l - 1) == 0) {
                runs.push_back({lastSound == noId ? noId : lastSound + 1, 0});
            }
            runs.back().last = leaves[l].ids.back();
        }

        sqlite::Connection connection(file, {sqlite::Access::ReadDamaged, 0, {}});
        repair::TolerantScan scan(connection.handle(), "main.t", "body");
        std::vector<std::int64_t> read;
        const std::uint64_t stretches = scan.readAll(
            [&read](const sqlite::TolerantStatement& row) { read.push_back(row.integer(0)); });

        EXPECT_EQ(read, sound);
        EXPECT_EQ(stretches, runs.size());
        ASSERT_EQ(scan.gaps().size(), runs.size());
        for (std::size_t g = 0; g < runs.size(); ++g) {
            const repair::TolerantScan::Gap& gap = scan.gaps()[g];
            EXPECT_EQ(gap.first, runs[g].first) << "gap " << g;
            EXPECT_GE(gap.last, runs[g].last) << "gap " << g;
            const auto nextSound = std::upper_bound(sound.begin(), sound.end(), runs[g].last);
            if (nextSound != sound.end()) {
                EXPECT_LT(gap.last, *nextSound) << "gap " << g << " leaps over a sound row";
            } else {
                EXPECT_EQ(gap.last, std::numeric_limits<std::int64_t>::max()) << "gap " << g;
            }
        }
    }
}

}  // namespace
}  // namespace quorvel::testing
