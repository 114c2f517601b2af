// Between two calls the engine holds no SQLite statement and no transaction open: another
// process may then write at once, and copying the files (the export) can't cancel a lock the
// engine relies on. Checked by a second, plain connection that writes both files with no busy
// timeout after every kind of engine call, the failing ones too.
#include <gtest/gtest.h>

#include "TempCatalogue.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::PlainConnection;
using testing::TempCatalogue;

class BetweenCalls : public ::testing::Test {
  protected:
    BetweenCalls() {
        std::vector<Entry> rows;
        for (int i = 0; i < 200; ++i) {
            rows.push_back({"Titul " + std::to_string(i % 7), std::to_string(i % 5),
                            "části " + std::to_string(i % 11),
                            i % 3 == 0 ? std::optional<std::string>("obsah " + std::to_string(i))
                                       : std::nullopt});
        }
        ids_ = catalogue_.fill(rows);
    }

    // A write to both files, in a transaction of its own, succeeds at once: SQLITE_OK or the
    // text of what stopped it.
    std::string writeElsewhere() {
        PlainConnection plain(catalogue_.dir());
        const int rc = plain.exec(
            "BEGIN IMMEDIATE;"
            "UPDATE main.qv_pair SET token = token;"
            "UPDATE mb.qv_pair SET token = token;"
            "COMMIT");
        if (rc == SQLITE_OK) {
            return "ok";
        }
        const std::string error = plain.lastError();
        plain.exec("ROLLBACK");
        return error;
    }

    Database& db() { return engine_.database(); }

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    Engine engine_{catalogue_.dir()};
};

TEST_F(BetweenCalls, TheCheckSeesAnUnfinishedReadOfTheEngine) {
    db();
    sqlite3_stmt* statement = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db().handle(), "SELECT id FROM main.qv", -1, &statement, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
    EXPECT_NE(writeElsewhere(), "ok");
    sqlite3_finalize(statement);
    EXPECT_EQ(writeElsewhere(), "ok");
}

TEST_F(BetweenCalls, NothingIsHeldAfterOpening) {
    db();
    EXPECT_EQ(writeElsewhere(), "ok") << "after the database opened";
    for (const std::string& text :
         {testing::statementOf(), testing::statementOf("where (vytisk like \"%1%\")"),
          testing::statementOf({}, "order by vytisk"), testing::statementOf({}, "order by Cislo"),
          testing::statementOf({}, "order by nejzajimavejsi_casti"),
          testing::statementOf("where (obsah_vytisku like \"%1%\")", "order by vytisk")}) {
        std::unique_ptr<Cursor> cursor = Cursor::open(db(), text, true);
        EXPECT_EQ(writeElsewhere(), "ok") << "after opening " << text;
    }
}

TEST_F(BetweenCalls, NothingIsHeldAfterReading) {
    for (const std::string& text :
         {testing::statementOf(), testing::statementOf({}, "order by vytisk"),
          testing::statementOf("where (vytisk like \"%1%\")", "order by nejzajimavejsi_casti")}) {
        std::unique_ptr<Cursor> cursor = Cursor::open(db(), text, true);
        const std::vector<RowData> first = cursor->readFirst(20);
        EXPECT_EQ(writeElsewhere(), "ok") << "readFirst of " << text;
        const std::vector<RowData> last = cursor->readLast(20);
        EXPECT_EQ(writeElsewhere(), "ok") << "readLast of " << text;
        cursor->readAfter(first.back(), 20, 3);
        EXPECT_EQ(writeElsewhere(), "ok") << "readAfter of " << text;
        cursor->readBefore(last.front(), 20, 3);
        EXPECT_EQ(writeElsewhere(), "ok") << "readBefore of " << text;
        cursor->readRow(first.front());
        EXPECT_EQ(writeElsewhere(), "ok") << "readRow of " << text;
        cursor->readMemo(first.front().id);
        EXPECT_EQ(writeElsewhere(), "ok") << "readMemo of " << text;
        if (cursor->numbersRows()) {
            cursor->readNumber(2);
            EXPECT_EQ(writeElsewhere(), "ok") << "readNumber of " << text;
        }
        testing::walkForward(*cursor, 1000);
        EXPECT_EQ(writeElsewhere(), "ok") << "reading everything of " << text;
    }
}

TEST_F(BetweenCalls, NothingIsHeldAfterWriting) {
    std::unique_ptr<Cursor> cursor = Cursor::open(db(), testing::statementOf(), true);
    RowData row = cursor->readFirst(1).front();
    row = cursor->lockRow(row);
    EXPECT_EQ(writeElsewhere(), "ok") << "after lockRow";
    row.strings[0] = "změněno";
    row.memo = "nový obsah";
    row.memoChanged = true;
    row = cursor->modifyRow(row);
    EXPECT_EQ(writeElsewhere(), "ok") << "after modifyRow";
    cursor->lockRow(row);
    cursor->unlockRow(row);
    EXPECT_EQ(writeElsewhere(), "ok") << "after unlockRow";
    const RowData inserted = cursor->insertRow(testing::rowOf({"nový", "1", "x", "obsah"}));
    EXPECT_EQ(writeElsewhere(), "ok") << "after insertRow";
    cursor->deleteRow(inserted);
    EXPECT_EQ(writeElsewhere(), "ok") << "after deleteRow";
}

TEST_F(BetweenCalls, NothingIsHeldAfterAFailedCall) {
    std::unique_ptr<Cursor> cursor = Cursor::open(db(), testing::statementOf(), true);
    const std::vector<RowData> rows = cursor->readFirst(3);

    EXPECT_NE(testing::codeOf([&] { Cursor::open(db(), "select * from qv; drop table qv", true); }),
              engine_code::ok);
    EXPECT_EQ(writeElsewhere(), "ok") << "after a refused statement";

    RowData locked = cursor->lockRow(rows[0]);
    {
        PlainConnection plain(catalogue_.dir());
        ASSERT_EQ(plain.exec("UPDATE qv SET version = version + 1 WHERE id = " +
                             std::to_string(rows[0].id)),
                  SQLITE_OK);
    }
    locked.strings[0] = "změna";
    EXPECT_EQ(testing::codeOf([&] { cursor->modifyRow(locked); }), engine_code::recordChanged);
    EXPECT_EQ(writeElsewhere(), "ok") << "after recordChanged";

    locked.strings[0] = std::string(51, 'x');
    EXPECT_EQ(testing::codeOf([&] { cursor->modifyRow(locked); }), engine_code::valueTooLarge);
    EXPECT_EQ(testing::codeOf([&] { cursor->insertRow(locked); }), engine_code::valueTooLarge);
    EXPECT_EQ(writeElsewhere(), "ok") << "after valueTooLarge";

    cursor->deleteRow(rows[1]);
    EXPECT_TRUE(testing::engineErrorOf([&] { cursor->deleteRow(rows[1]); })->isNotFound());
    EXPECT_EQ(writeElsewhere(), "ok") << "after deleting a deleted row";

    Engine other(catalogue_.dir());
    std::unique_ptr<Cursor> otherCursor =
        Cursor::open(other.database(), testing::statementOf(), true);
    EXPECT_EQ(testing::codeOf([&] { otherCursor->lockRow(rows[0]); }), engine_code::recordLocked);
    EXPECT_EQ(testing::codeOf([&] { otherCursor->deleteRow(rows[0]); }), engine_code::recordLocked);
    EXPECT_EQ(writeElsewhere(), "ok") << "after recordLocked";

    std::unique_ptr<Cursor> sorted =
        Cursor::open(db(), testing::statementOf({}, "order by vytisk"), true);
    EXPECT_EQ(testing::codeOf([&] {
                  sorted->insertRow(testing::rowOf({"x", {}, {}, {}}));
              }),
              engine_code::readOnlyCursor);
    EXPECT_EQ(writeElsewhere(), "ok") << "after readOnlyCursor";
}

}  // namespace
}  // namespace quorvel
