// Catalogues of the format before the sort keys: the first opening that may write adds the keys
// in one transaction, a kill in the middle loses nothing, and one only read sorts in Czech order.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "TempCatalogue.h"
#include "text/CzechCollator.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::PlainConnection;
using testing::TempCatalogue;

// A catalogue of the current format turned back into the unkeyed one: no key columns, the
// bytewise expression indexes, format version 1 in both files.
void makeUnkeyed(const std::filesystem::path& dir) {
    PlainConnection plain(dir);
    ASSERT_EQ(plain.exec("BEGIN;"
                         "DROP INDEX main.qv_by_vytisk; DROP INDEX main.qv_by_cislo;"
                         "ALTER TABLE main.qv DROP COLUMN vytisk_key;"
                         "ALTER TABLE main.qv DROP COLUMN cislo_key;"
                         "CREATE INDEX main.qv_by_vytisk ON qv(coalesce(vytisk, ''));"
                         "CREATE INDEX main.qv_by_cislo ON qv(coalesce(cislo, ''));"
                         "PRAGMA main.user_version=1; PRAGMA mb.user_version=1; COMMIT"),
              SQLITE_OK)
        << plain.lastError();
}

// An unkeyed catalogue of count issues, some without an issue number (whose key is the empty
// one); its titles in Czech order, one a line.
std::string unkeyedCatalogue(TempCatalogue& catalogue, int count) {
    static const char* titles[] = {"Živa", "Zahrádkář", "Chip", "Computer", "Čtenář", "Cesta"};
    std::vector<Entry> rows;
    std::vector<std::string> sorted;
    for (int i = 0; i < count; ++i) {
        rows.push_back(
            {std::string(titles[i % 6]) + " " + std::to_string(i % 97),
             i % 50 == 7 ? std::nullopt
                         : std::optional<std::string>(std::to_string(i % 31) + "/" +
                                                      std::to_string(1990 + i % 20)),
             "části " + std::to_string(i),
             i % 3 == 0 ? std::optional<std::string>("obsah " + std::to_string(i)) : std::nullopt});
        sorted.push_back(rows.back().vytisk.value());
    }
    catalogue.fill(rows);
    makeUnkeyed(catalogue.dir());
    const CzechCollator czech;
    std::stable_sort(sorted.begin(), sorted.end(), [&](const std::string& a, const std::string& b) {
        return czech.compare(a, b) < 0;
    });
    std::string lines;
    for (const std::string& title : sorted) {
        lines += title + "\n";
    }
    return lines;
}

// Everything the table holds, in id order, memo included.
std::string contents(const std::filesystem::path& dir) {
    std::string all;
    for (const auto& row : PlainConnection(dir).rows(
             "SELECT qv.id, vytisk, cislo, nejzajimavejsi_casti, version, memo.obsah "
             "FROM main.qv LEFT JOIN mb.memo ON memo.id = qv.id ORDER BY qv.id")) {
        for (const std::string& value : row) {
            all += value + "|";
        }
        all += "\n";
    }
    return all;
}

// The titles of "order by vytisk" read through the engine in pages of 7, one a line.
std::string sortedTitles(Database& database) {
    std::unique_ptr<Cursor> cursor =
        Cursor::open(database, testing::statementOf({}, "order by vytisk"), true);
    std::string titles;
    for (const RowData& row : testing::walkForward(*cursor, 7)) {
        titles += row.strings[0].value_or("") + "\n";
    }
    return titles;
}

void expectUpgraded(const std::filesystem::path& dir, const std::string& before) {
    PlainConnection plain(dir);
    EXPECT_EQ(contents(dir), before);
    EXPECT_EQ(plain.text("PRAGMA integrity_check"), "ok");  // both files
    EXPECT_EQ(plain.integer("PRAGMA main.user_version"), schema::formatVersion);
    EXPECT_EQ(plain.integer("PRAGMA mb.user_version"), schema::formatVersion);
    EXPECT_EQ(plain.text("SELECT group_concat(sql, ';') FROM main.sqlite_master WHERE "
                         "type = 'index' AND name LIKE 'qv_by_%'"),
              "CREATE INDEX qv_by_vytisk ON qv(vytisk_key);"
              "CREATE INDEX qv_by_cislo ON qv(cislo_key)");
    EXPECT_EQ(plain.integer("SELECT count(*) FROM main.qv WHERE vytisk_key = x'' OR "
                            "(cislo IS NOT NULL AND cislo_key = x'') OR "
                            "typeof(vytisk_key) <> 'blob' OR typeof(cislo_key) <> 'blob'"),
              0);
}

TEST(FormatUpgrade, AnUnkeyedCatalogueSortsInCzechOrderReadOnlyAndGetsItsKeysWhenWritable) {
    TempCatalogue catalogue;
    const std::string czechOrder = unkeyedCatalogue(catalogue, 500);
    const std::string before = contents(catalogue.dir());
    const testing::DirSnapshot files = testing::snapshot(catalogue.dir());
    ::chmod(catalogue.dir().c_str(), 0555);
    ::chmod(catalogue.rowsPath().c_str(), 0444);
    EXPECT_EQ(testing::asOrdinaryUser([&] {
                  Engine engine(catalogue.dir());
                  return sortedTitles(engine.database());
              }),
              czechOrder);
    ::chmod(catalogue.dir().c_str(), 0700);
    ::chmod(catalogue.rowsPath().c_str(), 0644);
    EXPECT_TRUE(testing::snapshot(catalogue.dir()) == files) << "a read-only opening wrote";
    {
        Engine engine(catalogue.dir());
        EXPECT_EQ(sortedTitles(engine.database()), czechOrder);
        EXPECT_TRUE(engine.database().hasSortIndex(0));
    }
    expectUpgraded(catalogue.dir(), before);
}

TEST(FormatUpgrade, AnUpgradeKilledHalfWayIsRolledBackAndDoneAgainWithEveryRow) {
    TempCatalogue catalogue;
    unkeyedCatalogue(catalogue, testing::shortRuns() ? 6000 : 20000);
    const std::string before = contents(catalogue.dir());
    const std::filesystem::path journal = catalogue.dir() / "qv.db-journal";
    // Each round kills the upgrade a little later after its journal appears; the child is
    // stopped first, so that whether the kill lands inside the upgrade is seen, not guessed: the
    // journal is there only while it runs. Rounds go on until four kills have landed inside,
    // however the machine's load shifts the moments.
    int caughtHalfWay = 0;
    int round = 0;
    for (; caughtHalfWay < 4 && round < 100; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                Engine(catalogue.dir()).database();
            } catch (...) {
            }
            ::_exit(0);
        }
        while (!std::filesystem::exists(journal) && ::waitpid(child, nullptr, WNOHANG) == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 4 * 20));
        ::kill(child, SIGSTOP);
        int status = 0;
        const bool stopped = ::waitpid(child, &status, WUNTRACED) == child && WIFSTOPPED(status);
        const bool inside = stopped && std::filesystem::exists(journal);
        ::kill(child, SIGKILL);
        if (stopped) {
            ::waitpid(child, nullptr, 0);
        }
        if (inside) {
            ++caughtHalfWay;
            // The next opener rolls the half-done upgrade back: the old catalogue, whole.
            EXPECT_EQ(contents(catalogue.dir()), before);
            EXPECT_EQ(PlainConnection(catalogue.dir()).integer("PRAGMA main.user_version"), 1);
        }
        // Finished before the kill: undone, for the next round to kill.
        if (PlainConnection(catalogue.dir()).integer("PRAGMA main.user_version") != 1) {
            makeUnkeyed(catalogue.dir());
        }
    }
    EXPECT_EQ(caughtHalfWay, 4) << "of " << round << " kills, too few landed inside the upgrade";
    Engine(catalogue.dir()).database();
    expectUpgraded(catalogue.dir(), before);
}

}  // namespace
}  // namespace quorvel
