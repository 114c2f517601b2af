// Rows another program wrote without sort keys get them from a copy that may write the catalogue,
// before its first sort; nothing is written when there are none, when the files can only be
// read, or when another connection holds the write lock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include "TempCatalogue.h"
#include "check/CatalogueCheck.h"

namespace quorvel {
namespace {

using testing::PlainConnection;

// A catalogue with rows of the engine's and, written behind its back, rows without keys.
struct OthersRows : ::testing::Test {
    void SetUp() override {
        catalogue.fill({{"Zahrádkář", "1", {}, {}}, {"Cesta", {}, {}, {}}, {{}, "", {}, {}}});
        PlainConnection plain(catalogue.dir());
        ASSERT_EQ(plain.exec("INSERT INTO qv(vytisk, cislo) VALUES ('Čtenář', '12'), "
                             "('Chip', NULL), ('', '3'), (NULL, NULL)"),
                  SQLITE_OK);
    }
    std::string titles() {
        Engine engine(catalogue.dir());
        std::string text;
        for (const RowData& row :
             testing::walkForward(*Cursor::open(engine.database(),
                                                testing::statementOf("", "order by Vytisk"), false),
                                  3)) {
            text += row.strings[0].value_or("-") + ",";
        }
        return text;
    }
    std::size_t findings() { return check::CatalogueCheck(catalogue.dir()).run({}).size(); }
    testing::TempCatalogue catalogue;
};

TEST_F(OthersRows, GetTheirKeysBeforeTheFirstSortAndSortInCzechOrderWithTheirVersionsKept) {
    ASSERT_EQ(findings(), 2u);  // a Vytisk and a Cislo without keys
    const std::string versions = "SELECT group_concat(version) FROM (SELECT version FROM qv)";
    const std::string before = PlainConnection(catalogue.dir()).text(versions);
    EXPECT_EQ(titles(), "-,,-,Cesta,Čtenář,Chip,Zahrádkář,");
    EXPECT_EQ(findings(), 0u);
    EXPECT_EQ(PlainConnection(catalogue.dir()).text(versions), before);
}

TEST_F(OthersRows, WithNoneLeft_TheFilesAreNotTouched) {
    titles();
    const testing::DirSnapshot before = testing::snapshot(catalogue.dir());
    const auto written = std::filesystem::last_write_time(catalogue.rowsPath());
    const auto directoryWritten = std::filesystem::last_write_time(catalogue.dir());
    titles();
    EXPECT_TRUE(testing::snapshot(catalogue.dir()) == before);
    EXPECT_EQ(std::filesystem::last_write_time(catalogue.rowsPath()), written);
    // A write transaction, even one that changes nothing, makes and removes a journal here.
    EXPECT_EQ(std::filesystem::last_write_time(catalogue.dir()), directoryWritten);
}

TEST_F(OthersRows, AreLeftAsTheyAreWhenTheCatalogueCanOnlyBeRead) {
    for (const auto& path : {catalogue.dir(), catalogue.rowsPath(), catalogue.memoPath()}) {
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(path.c_str(), testing::unprivileged, testing::unprivileged), 0);
        }
        ::chmod(path.c_str(), path == catalogue.dir() ? 0555 : 0444);
    }
    const testing::DirSnapshot before = testing::snapshot(catalogue.dir());
    // Still among the empty fields, in the order of their ids.
    EXPECT_EQ(testing::asOrdinaryUser([&] { return titles(); }),
              "-,Čtenář,Chip,,-,Cesta,Zahrádkář,");
    EXPECT_TRUE(testing::snapshot(catalogue.dir()) == before);
    ::chmod(catalogue.dir().c_str(), 0700);
}

TEST_F(OthersRows, DoNotHoldUpASortWhileAnotherConnectionWrites) {
    // A sort that waited for the writer would wait out the engine's busy timeout (5 s): the
    // writer holds its lock until the sort is over. It is measured beside the sort after the
    // commit, which keys the rows, so that a busy machine slows both alike.
    const auto timed = [this](const std::string& expected) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(titles(), expected);
        return std::chrono::steady_clock::now() - start;
    };
    PlainConnection writer(catalogue.dir());
    ASSERT_EQ(writer.exec("BEGIN IMMEDIATE"), SQLITE_OK);
    const auto whileWritten = timed("-,Čtenář,Chip,,-,Cesta,Zahrádkář,");
    ASSERT_EQ(writer.exec("COMMIT"), SQLITE_OK);
    EXPECT_EQ(findings(), 2u);
    const auto keying = timed("-,,-,Cesta,Čtenář,Chip,Zahrádkář,");
    EXPECT_LT(whileWritten, keying + std::chrono::milliseconds(2500));
}

}  // namespace
}  // namespace quorvel
