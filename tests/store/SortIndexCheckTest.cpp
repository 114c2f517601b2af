// A sort index that reads without an error but lacks a row, as damage can leave it: the opening
// counts it against the table, builds it afresh when the catalogue may be written and sorts
// round it when it can only be read. Either way a sorted list holds every row.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempCatalogue.h"
#include "check/CatalogueCheck.h"

namespace quorvel {
namespace {

using testing::PlainConnection;

// The titles of "order by Vytisk", as the engine reads them.
std::string sortedTitles(const std::filesystem::path& dir) {
    Engine engine(dir);
    std::string text;
    for (const RowData& row : testing::walkForward(
             *Cursor::open(engine.database(), testing::statementOf("", "order by Vytisk"), false),
             2)) {
        text += row.strings[0].value_or("-") + ",";
    }
    return text;
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
        for (const auto& path : {catalogue.dir(), catalogue.rowsPath(), catalogue.memoPath()}) {
            if (::geteuid() == 0) {
                ASSERT_EQ(::chown(path.c_str(), testing::unprivileged, testing::unprivileged), 0);
            }
            ::chmod(path.c_str(), path == catalogue.dir() ? 0555 : 0444);
        }
        const testing::DirSnapshot before = testing::snapshot(catalogue.dir());
        EXPECT_EQ(testing::asOrdinaryUser([&] { return sortedTitles(catalogue.dir()); }), all);
        EXPECT_TRUE(testing::snapshot(catalogue.dir()) == before);
        ::chmod(catalogue.dir().c_str(), 0700);
    }
}

}  // namespace
}  // namespace quorvel
