// A sort index that reads without an error but lacks a row, as damage can leave it: it is counted
// against the table before the first sort, built afresh when the catalogue may be written and
// sorted round when it can only be read. Either way a sorted list holds every row: also when the
// sort comes before the check the program started has run, and when a live result is open and
// being edited while the index is rebuilt.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "EDBEngineError.h"
#include "TempCatalogue.h"
#include "check/CatalogueCheck.h"

namespace quorvel {
namespace {

using testing::PlainConnection;

// The titles of "order by Vytisk", as the engine reads them.
std::string sortedTitles(Database& database) {
    std::string text;
    for (const RowData& row : testing::walkForward(
             *Cursor::open(database, testing::statementOf("", "order by Vytisk"), false), 2)) {
        text += row.strings[0].value_or("-") + ",";
    }
    return text;
}

std::string sortedTitles(const std::filesystem::path& dir) {
    Engine engine(dir);
    return sortedTitles(engine.database());
}

void makeReadOnly(const testing::TempCatalogue& catalogue) {
    for (const auto& path : {catalogue.dir(), catalogue.rowsPath(), catalogue.memoPath()}) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), testing::unprivileged, testing::unprivileged), 0);
        }
        ::chmod(path.c_str(), path == catalogue.dir() ? 0555 : 0444);
    }
}

// Inserts a copy of row 2 while qv_by_vytisk is, for that while, a partial index of no rows; each
// change of the schema is read afresh by a connection of its own.
void insertPastTheIndex(const std::filesystem::path& dir) {
    const auto define = [&dir](const std::string& where) {
        PlainConnection plain(dir);
        ASSERT_EQ(plain.exec("PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = "
                             "'CREATE INDEX qv_by_vytisk ON qv(vytisk_key)" +
                             where + "' WHERE name = 'qv_by_vytisk'"),
                  SQLITE_OK);
    };
    define(" WHERE 0");
    PlainConnection(dir).exec(
        "INSERT INTO qv(vytisk, cislo, vytisk_key, cislo_key) "
        "SELECT vytisk, cislo, vytisk_key, cislo_key FROM qv WHERE id = 2");
    define("");
}

TEST(SortIndexCheck, AnIndexLackingARowIsRebuiltOrSortedRoundAndTheListHoldsEveryRow) {
    for (const bool writable : {true, false}) {
        testing::TempCatalogue catalogue;
        catalogue.fill(
            {{"Zahrádkář", "1", {}, {}}, {"Cesta", "2", {}, {}}, {"Čtenář", "3", {}, {}}});
        insertPastTheIndex(catalogue.dir());
        ASSERT_EQ(check::CatalogueCheck(catalogue.dir()).run({}).size(), 2u);  // missing, count
        const std::string all = "Cesta,Cesta,Čtenář,Zahrádkář,";
        if (writable) {
            EXPECT_EQ(sortedTitles(catalogue.dir()), all);
            EXPECT_TRUE(check::CatalogueCheck(catalogue.dir()).run({}).empty());
            continue;
        }
        makeReadOnly(catalogue);
        const testing::DirSnapshot before = testing::snapshot(catalogue.dir());
        EXPECT_EQ(testing::asOrdinaryUser([&] { return sortedTitles(catalogue.dir()); }), all);
        EXPECT_TRUE(testing::snapshot(catalogue.dir()) == before);
        ::chmod(catalogue.dir().c_str(), 0700);
    }
}

// The check was started, as the window starts it after its first screen, but its thread is held
// before it begins: the sort runs the check itself rather than trust the index meanwhile.
TEST(SortIndexCheck, ASortAskedBeforeTheStartedCheckHasRunLeavesNoRowOut) {
    for (const bool writable : {true, false}) {
        testing::TempCatalogue catalogue;
        catalogue.fill(
            {{"Zahrádkář", "1", {}, {}}, {"Cesta", "2", {}, {}}, {"Čtenář", "3", {}, {}}});
        insertPastTheIndex(catalogue.dir());
        if (!writable) {
            makeReadOnly(catalogue);
        }
        const auto sortEarly = [&catalogue] {
            Engine engine(catalogue.dir());
            Database& database = engine.database();
            database.setBeforeSortIndexCheck([] { return false; });
            database.startSortIndexCheck();
            std::string seen = database.sortIndexesSettled() ? "settled before the sort;" : "";
            seen += sortedTitles(database);
            return seen + (database.hasSortIndex(0) ? "indexed" : "round the index");
        };
        const std::string all = "Cesta,Cesta,Čtenář,Zahrádkář,";
        if (writable) {
            EXPECT_EQ(sortEarly(), all + "indexed");
            EXPECT_TRUE(check::CatalogueCheck(catalogue.dir()).run({}).empty());
        } else {
            EXPECT_EQ(testing::asOrdinaryUser(sortEarly), all + "round the index");
            ::chmod(catalogue.dir().c_str(), 0700);
        }
    }
}

// Another copy holds the files locked past the busy wait when the first sort comes: that sort
// fails as any read would, and the check isn't taken for done; the next sort checks again.
TEST(SortIndexCheck, ACheckALockPutOffIsMadeByTheNextSort) {
    testing::TempCatalogue catalogue;
    catalogue.fill({{"Zahrádkář", "1", {}, {}}, {"Cesta", "2", {}, {}}, {"Čtenář", "3", {}, {}}});
    insertPastTheIndex(catalogue.dir());
    Engine engine(catalogue.dir());
    Database& database = engine.database();
    {
        PlainConnection locker(catalogue.dir());
        ASSERT_EQ(locker.exec("BEGIN EXCLUSIVE"), SQLITE_OK);
        try {
            sortedTitles(database);
            ADD_FAILURE() << "sorted under another copy's lock";
        } catch (const EDBEngineError& error) {
            EXPECT_EQ(error.errorCode(), engine_code::tableBusy);
        }
        EXPECT_FALSE(database.sortIndexesSettled());
    }
    EXPECT_EQ(sortedTitles(database), "Cesta,Cesta,Čtenář,Zahrádkář,");
}

// The index is rebuilt by the first sort, under a live result that has a row locked for an edit
// (another window of the same copy, say): the live result goes on reading and saves the edit.
TEST(SortIndexCheck, TheRebuildUnderALiveResultLeavesItReadingAndWriting) {
    testing::TempCatalogue catalogue;
    catalogue.fill({{"Zahrádkář", "1", {}, {}}, {"Cesta", "2", {}, {}}, {"Čtenář", "3", {}, {}}});
    insertPastTheIndex(catalogue.dir());
    Engine engine(catalogue.dir());
    Database& database = engine.database();
    database.startSortIndexCheck();
    std::unique_ptr<Cursor> live = Cursor::open(database, testing::statementOf(), true);
    RowData edited = live->lockRow(live->readFirst(1).at(0));
    edited.strings[0] = "Ábečedář";

    EXPECT_EQ(sortedTitles(database), "Cesta,Cesta,Čtenář,Zahrádkář,");
    EXPECT_TRUE(database.hasSortIndex(0));
    live->modifyRow(edited);
    std::string titles;
    for (const RowData& row : testing::walkForward(*live, 2)) {
        titles += row.strings[0].value_or("-") + ",";
    }
    EXPECT_EQ(titles, "Ábečedář,Cesta,Čtenář,Cesta,");
    EXPECT_EQ(sortedTitles(database), "Ábečedář,Cesta,Cesta,Čtenář,");
    live.reset();
    EXPECT_TRUE(check::CatalogueCheck(catalogue.dir()).run({}).empty());
}

}  // namespace
}  // namespace quorvel
