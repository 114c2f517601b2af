// Writing through a live cursor: rows added, changed and deleted, as the table then holds them
// (checked through a plain SQLite connection), and the writes the engine refuses, after which
// nothing on disk has changed.
#include <gtest/gtest.h>

#include "TempCatalogue.h"

namespace quorvel {
namespace {

using testing::DirSnapshot;
using testing::Entry;
using testing::PlainConnection;
using testing::rowWithId;
using testing::TempCatalogue;

std::string repeated(const std::string& text, std::size_t times) {
    std::string result;
    for (std::size_t i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

class CursorWriting : public ::testing::Test {
  protected:
    CursorWriting() {
        ids_ = catalogue_.fill({{"První", "1/2001", "úvod", "obsah prvního"},
                                {"Druhý", "2/2001", std::nullopt, std::nullopt},
                                {"Třetí", "3/2001", "závěr", "obsah třetího\r\ndruhý řádek"}});
    }

    Database& db() { return engine_.database(); }
    std::unique_ptr<Cursor> live() { return Cursor::open(db(), testing::statementOf(), true); }

    std::string plainValue(const std::string& column, std::int64_t id) {
        PlainConnection plain(catalogue_.dir());
        return plain.text("SELECT " + column + " FROM qv WHERE id = " + std::to_string(id));
    }
    std::string plainMemo(std::int64_t id) {
        PlainConnection plain(catalogue_.dir());
        return plain.text("SELECT obsah FROM mb.memo WHERE id = " + std::to_string(id));
    }
    long long plainCount(const std::string& table) {
        PlainConnection plain(catalogue_.dir());
        return plain.integer("SELECT count(*) FROM " + table);
    }

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    Engine engine_{catalogue_.dir()};
};

TEST_F(CursorWriting, AnInsertedRowIsStoredAsGivenAndStandsAtTheEndOfTheResult) {
    std::unique_ptr<Cursor> cursor = live();
    const RowData inserted =
        cursor->insertRow(testing::rowOf({"Čtvrtý", "4/2001", "části", "obsah čtvrtého"}));
    EXPECT_GT(inserted.id, ids_.back());
    EXPECT_EQ(inserted.strings[0], "Čtvrtý");
    EXPECT_EQ(cursor->readLast(1).front().id, inserted.id);
    EXPECT_EQ(testing::walkForward(*cursor, 2).back().id, inserted.id);
    EXPECT_EQ(plainValue("vytisk", inserted.id), "Čtvrtý");
    EXPECT_EQ(plainValue("cislo", inserted.id), "4/2001");
    EXPECT_EQ(plainValue("nejzajimavejsi_casti", inserted.id), "části");
    EXPECT_EQ(plainMemo(inserted.id), "obsah čtvrtého");
    EXPECT_EQ(cursor->readMemo(inserted.id), "obsah čtvrtého");
}

TEST_F(CursorWriting, AnInsertedRowJoinsTheEndOfANumberedResult) {
    std::unique_ptr<Cursor> cursor =
        Cursor::open(db(), testing::statementOf("where (cislo like \"%2001%\")"), true);
    ASSERT_TRUE(cursor->isLive());
    ASSERT_EQ(cursor->rowCount(), 3);
    const RowData inserted = cursor->insertRow(testing::rowOf({"Nový", {}, {}, {}}));
    EXPECT_EQ(cursor->rowCount(), 4);
    EXPECT_EQ(inserted.recNo, 4);
    EXPECT_EQ(cursor->readLast(1).front().id, inserted.id);
    ASSERT_TRUE(cursor->readNumber(4).has_value());
    EXPECT_EQ(cursor->readNumber(4)->id, inserted.id);
}

TEST_F(CursorWriting, EmptyTextsAreStoredAsNoValueAndAnEmptyPatternSkipsThem) {
    std::unique_ptr<Cursor> cursor = live();
    const RowData empty = cursor->insertRow(testing::rowOf({"", "", "", ""}));
    const RowData blank = cursor->insertRow(testing::rowOf({" ", "x", std::nullopt, " "}));
    EXPECT_EQ(plainValue("vytisk", empty.id), "<null>");
    EXPECT_EQ(plainValue("cislo", empty.id), "<null>");
    EXPECT_EQ(plainValue("nejzajimavejsi_casti", empty.id), "<null>");
    EXPECT_EQ(plainMemo(empty.id), "<none>");
    EXPECT_FALSE(empty.strings[0].has_value());
    EXPECT_FALSE(rowWithId(*cursor, empty.id).memoHasValue());
    EXPECT_FALSE(cursor->readMemo(empty.id).has_value());
    // A space is a value.
    EXPECT_EQ(plainValue("vytisk", blank.id), " ");
    EXPECT_EQ(plainMemo(blank.id), " ");

    for (const char* field : {"vytisk", "cislo", "nejzajimavejsi_casti", "obsah_vytisku"}) {
        std::unique_ptr<Cursor> search = Cursor::open(
            db(), testing::statementOf(std::string("where (") + field + " like \"%%\")"), true);
        const std::vector<std::int64_t> found = testing::idsOf(testing::walkForward(*search, 10));
        EXPECT_EQ(std::count(found.begin(), found.end(), empty.id), 0) << field;
    }
}

TEST_F(CursorWriting, ChangingAFieldToEmptyTextLeavesItWithoutAValue) {
    std::unique_ptr<Cursor> cursor = live();
    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[0]));
    row.strings[1] = "";
    row.memo = "";
    row.memoChanged = true;
    const RowData stored = cursor->modifyRow(row);
    EXPECT_FALSE(stored.strings[1].has_value());
    EXPECT_EQ(plainValue("cislo", ids_[0]), "<null>");
    EXPECT_EQ(plainMemo(ids_[0]), "<none>");
    EXPECT_FALSE(rowWithId(*cursor, ids_[0]).memoHasValue());
}

TEST_F(CursorWriting, MemosAreWrittenAndReadBackWhole) {
    std::string large;
    for (int i = 0; large.size() < 1024 * 1024; ++i) {
        large += "Řádek " + std::to_string(i) + ": příliš žluťoučký kůň úpěl ďábelské ódy.\r\n";
    }
    const std::vector<std::string> memos = {
        "jeden řádek",
        "řádky\r\noddělené\r\nCR LF\r\n",
        "jen LF\nа také cizí písmo: 日本語 🙂\n",
        "   mezery na krajích   ",
        "uvozovky \" ' ` a dvojtečky :abc ::",
        large,
    };
    std::vector<std::int64_t> written;
    {
        std::unique_ptr<Cursor> cursor = live();
        for (const std::string& memo : memos) {
            const RowData row = cursor->insertRow(testing::rowOf({"S pamětí", {}, {}, memo}));
            EXPECT_TRUE(row.memoHasValue());
            written.push_back(row.id);
        }
    }
    // Read back by another engine, so nothing comes from what the first one remembers.
    Engine other(catalogue_.dir());
    std::unique_ptr<Cursor> cursor = Cursor::open(other.database(), testing::statementOf(), true);
    for (std::size_t i = 0; i < memos.size(); ++i) {
        const std::optional<std::string> memo = cursor->readMemo(written[i]);
        ASSERT_TRUE(memo.has_value()) << i;
        EXPECT_TRUE(*memo == memos[i]) << "memo " << i << " came back different, " << memo->size()
                                       << " bytes of " << memos[i].size();
        EXPECT_TRUE(rowWithId(*cursor, written[i]).memoStored) << i;
    }
    EXPECT_EQ(plainMemo(written.back()), large);
}

TEST_F(CursorWriting, AModifiedMemoReplacesTheOldOneAndAnUntouchedMemoStays) {
    std::unique_ptr<Cursor> cursor = live();
    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[2]));
    row.strings[0] = "Třetí, opravený";
    cursor->modifyRow(row);
    EXPECT_EQ(cursor->readMemo(ids_[2]), "obsah třetího\r\ndruhý řádek");

    row = cursor->lockRow(rowWithId(*cursor, ids_[2]));
    row.memo = "nový obsah";
    row.memoChanged = true;
    cursor->modifyRow(row);
    EXPECT_EQ(cursor->readMemo(ids_[2]), "nový obsah");
    EXPECT_EQ(plainCount("mb.memo WHERE id = " + std::to_string(ids_[2])), 1);

    row = cursor->lockRow(rowWithId(*cursor, ids_[2]));
    row.memo.reset();
    row.memoChanged = true;
    cursor->modifyRow(row);
    EXPECT_FALSE(cursor->readMemo(ids_[2]).has_value());
    EXPECT_EQ(plainMemo(ids_[2]), "<none>");
    EXPECT_EQ(plainValue("vytisk", ids_[2]), "Třetí, opravený");
}

TEST_F(CursorWriting, ValuesOfExactlyTheFieldSizeInCharactersAreStoredWhole) {
    std::unique_ptr<Cursor> cursor = live();
    const std::string title = repeated("Č", 50);   // 50 characters, 100 bytes
    const std::string number = repeated("ř", 15);  // 15 characters, 30 bytes
    const std::string parts = repeated("ž", 100) + repeated("a", 50);
    const RowData row = cursor->insertRow(testing::rowOf({title, number, parts, {}}));
    EXPECT_EQ(plainValue("vytisk", row.id), title);
    EXPECT_EQ(plainValue("cislo", row.id), number);
    EXPECT_EQ(plainValue("nejzajimavejsi_casti", row.id), parts);
}

TEST_F(CursorWriting, OverlongValuesAreRefusedAndNothingIsWritten) {
    std::unique_ptr<Cursor> cursor = live();
    const DirSnapshot before = testing::snapshot(catalogue_.dir());
    const std::vector<Entry> overlong = {
        {repeated("x", 51), {}, {}, {}},
        {repeated("Č", 51), {}, {}, "obsah"},
        {"ok", repeated("1", 16), {}, {}},
        {"ok", {}, repeated("ž", 151), {}},
    };
    for (const Entry& entry : overlong) {
        const std::optional<EDBEngineError> error =
            testing::engineErrorOf([&] { cursor->insertRow(testing::rowOf(entry)); });
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->errorCode(), engine_code::valueTooLarge) << error->message();
    }
    const std::optional<EDBEngineError> error = testing::engineErrorOf([&] {
        cursor->insertRow(testing::rowOf({"ok", repeated("1", 16), {}, {}}));
    });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), "Value too large.\r\nField: Cislo");

    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[0]));
    row.strings[0] = "změněno";
    row.strings[2] = repeated("y", 151);
    row.memo = "změněný obsah";
    row.memoChanged = true;
    EXPECT_EQ(testing::codeOf([&] { cursor->modifyRow(row); }), engine_code::valueTooLarge);
    cursor->unlockRow(row);
    EXPECT_TRUE(testing::snapshot(catalogue_.dir()) == before) << "a refused write changed a file";
    EXPECT_EQ(plainCount("qv"), 3);
    EXPECT_EQ(rowWithId(*cursor, ids_[0]).strings[0], "První");
}

TEST_F(CursorWriting, AReadOnlyResultRefusesEveryWrite) {
    const DirSnapshot before = testing::snapshot(catalogue_.dir());
    for (const auto& [text, requestLive] : std::vector<std::pair<std::string, bool>>{
             {testing::statementOf({}, "order by vytisk"), true},
             {testing::statementOf({}, "order by Cislo"), true},
             {testing::statementOf("where (vytisk like \"%%\")", "order by vytisk"), true},
             {testing::statementOf(), false}}) {
        std::unique_ptr<Cursor> cursor = Cursor::open(db(), text, requestLive);
        EXPECT_FALSE(cursor->isLive()) << text;
        const RowData first = cursor->readFirst(1).front();
        RowData changed = first;
        changed.strings[0] = "změna";
        EXPECT_EQ(testing::codeOf([&] {
                      cursor->insertRow(testing::rowOf({"nový", {}, {}, {}}));
                  }),
                  engine_code::readOnlyCursor)
            << text;
        EXPECT_EQ(testing::codeOf([&] { cursor->lockRow(first); }), engine_code::readOnlyCursor)
            << text;
        EXPECT_EQ(testing::codeOf([&] { cursor->modifyRow(changed); }), engine_code::readOnlyCursor)
            << text;
        EXPECT_EQ(testing::codeOf([&] { cursor->deleteRow(first); }), engine_code::readOnlyCursor)
            << text;
    }
    EXPECT_TRUE(testing::snapshot(catalogue_.dir()) == before);
}

TEST_F(CursorWriting, ModifyOfARowChangedBehindItsBackFailsAndWritesNothing) {
    std::unique_ptr<Cursor> cursor = live();
    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[2]));
    {
        PlainConnection plain(catalogue_.dir());
        ASSERT_EQ(
            plain.exec("UPDATE qv SET version = version + 1 WHERE id = " + std::to_string(ids_[2])),
            SQLITE_OK);
    }
    const DirSnapshot before = testing::snapshot(catalogue_.dir());
    row.strings[0] = "přepsáno";
    row.memo = "přepsaný obsah";
    row.memoChanged = true;
    const std::optional<EDBEngineError> error =
        testing::engineErrorOf([&] { cursor->modifyRow(row); });
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->errorCode(), engine_code::recordChanged);
    EXPECT_EQ(error->message(), "Record has been changed by another user.");
    EXPECT_TRUE(testing::snapshot(catalogue_.dir()) == before);
    EXPECT_EQ(plainValue("vytisk", ids_[2]), "Třetí");
    EXPECT_EQ(plainMemo(ids_[2]), "obsah třetího\r\ndruhý řádek");

    // Locked anew, the row comes with its current version and can be changed.
    row = cursor->lockRow(row);
    row.strings[0] = "přepsáno";
    EXPECT_EQ(cursor->modifyRow(row).strings[0], "přepsáno");
    EXPECT_EQ(plainValue("vytisk", ids_[2]), "přepsáno");
}

TEST_F(CursorWriting, ModifyReturnsTheStoredRowWithANewVersion) {
    std::unique_ptr<Cursor> cursor = live();
    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[1]));
    const std::int64_t version = row.version;
    row.strings = {"Druhý, nově", "2/2002", "nové části"};
    const RowData stored = cursor->modifyRow(row);
    EXPECT_EQ(stored.id, ids_[1]);
    EXPECT_NE(stored.version, version);
    EXPECT_EQ(stored.strings[0], "Druhý, nově");
    EXPECT_EQ(stored.strings[1], "2/2002");
    EXPECT_EQ(stored.strings[2], "nové části");
    EXPECT_EQ(plainValue("version", ids_[1]), std::to_string(stored.version));
    // The same row handed in again, with the version it was locked at, is now out of date.
    EXPECT_EQ(testing::codeOf([&] { cursor->modifyRow(row); }), engine_code::recordChanged);
}

TEST_F(CursorWriting, WritingARowThatIsGoneIsNotFound) {
    std::unique_ptr<Cursor> cursor = live();
    RowData row = cursor->lockRow(rowWithId(*cursor, ids_[0]));
    {
        PlainConnection plain(catalogue_.dir());
        ASSERT_EQ(plain.exec("DELETE FROM qv WHERE id = " + std::to_string(ids_[0])), SQLITE_OK);
    }
    row.strings[0] = "nic";
    const std::optional<EDBEngineError> error =
        testing::engineErrorOf([&] { cursor->modifyRow(row); });
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->isNotFound()) << error->message();
    EXPECT_EQ(plainCount("qv"), 2);

    const std::optional<EDBEngineError> lockError =
        testing::engineErrorOf([&] { cursor->lockRow(row); });
    ASSERT_TRUE(lockError.has_value());
    EXPECT_TRUE(lockError->isNotFound()) << lockError->message();
}

TEST_F(CursorWriting, DeleteRemovesTheRowAndItsMemoAndASecondDeleteIsNotFound) {
    std::unique_ptr<Cursor> cursor = live();
    const RowData row = rowWithId(*cursor, ids_[2]);
    cursor->deleteRow(row);
    EXPECT_EQ(plainCount("qv"), 2);
    EXPECT_EQ(plainCount("mb.memo WHERE id = " + std::to_string(ids_[2])), 0);
    EXPECT_FALSE(cursor->readRow(row).has_value());
    EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, 10)),
              (std::vector<std::int64_t>{ids_[0], ids_[1]}));

    const std::optional<EDBEngineError> again =
        testing::engineErrorOf([&] { cursor->deleteRow(row); });
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(again->isNotFound()) << again->message();
    EXPECT_EQ(plainCount("qv"), 2);
}

TEST_F(CursorWriting, DeleteOfARowAnotherCopyDeletedIsNotFound) {
    std::unique_ptr<Cursor> cursor = live();
    const RowData row = rowWithId(*cursor, ids_[1]);
    {
        Engine other(catalogue_.dir());
        Cursor::open(other.database(), testing::statementOf(), true)->deleteRow(row);
    }
    const std::optional<EDBEngineError> error =
        testing::engineErrorOf([&] { cursor->deleteRow(row); });
    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->isNotFound()) << error->message();
}

TEST_F(CursorWriting, IdsOfDeletedRowsAreNeverGivenAgain) {
    std::unique_ptr<Cursor> cursor = live();
    cursor->deleteRow(rowWithId(*cursor, ids_[2]));
    const RowData inserted = cursor->insertRow(testing::rowOf({"Po smazaném", {}, {}, {}}));
    EXPECT_GT(inserted.id, ids_[2]);
    EXPECT_EQ(plainMemo(inserted.id), "<none>");
}

TEST_F(CursorWriting, ValuesThatLookLikeStatementsAreStoredAsText) {
    std::unique_ptr<Cursor> cursor = live();
    const std::string hostile = "x'); DROP TABLE qv; --";
    const RowData row =
        cursor->insertRow(testing::rowOf({hostile, "\"", "';", "ATTACH 'y' AS y; --"}));
    EXPECT_EQ(plainValue("vytisk", row.id), hostile);
    EXPECT_EQ(plainValue("cislo", row.id), "\"");
    EXPECT_EQ(plainMemo(row.id), "ATTACH 'y' AS y; --");
    EXPECT_EQ(plainCount("qv"), 4);
}

}  // namespace
}  // namespace quorvel
