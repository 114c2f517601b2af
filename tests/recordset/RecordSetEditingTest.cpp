// The record set's states and changes: what each operation does to the state, the current row
// and the table, and the failures with their exact texts.
#include "EDBEngineError.h"
#include "RecordSetFixture.h"

namespace quorvel::testing {
namespace {

using State = DataSetState;

template <typename Operation>
std::string failureOf(Operation operation) {
    try {
        operation();
    } catch (const Exception& error) {
        return std::string(error.kindName()) + ": " + error.message();
    }
    return "no failure";
}

TEST_F(RecordSetTest, OpensOnTheFirstRowWithFieldsFoundWithoutRegardToCase) {
    addRows(dir.path(), numberedIssues(3));
    open();
    EXPECT_EQ(set.State(), State::Browse);
    EXPECT_TRUE(set.CanModify());
    EXPECT_FALSE(set.Modified());
    EXPECT_EQ(title(), "Titul 1");
    ASSERT_EQ(set.FieldCount(), 4);
    EXPECT_EQ(set.Fields(0).FieldName(), "Vytisk");
    EXPECT_EQ(set.Fields(0).Size(), 50);
    EXPECT_EQ(set.Fields(1).Size(), 15);
    EXPECT_EQ(set.Fields(2).FieldName(), "Nejzajimavejsi_casti");
    EXPECT_EQ(set.Fields(2).Size(), 150);
    EXPECT_EQ(set.Fields(3).DataType(), FieldType::Memo);
    EXPECT_EQ(&set.FieldByName("vytisk"), &set.FieldByName("VYTISK"));
    EXPECT_EQ(set.FieldByName("obsah_vytisku").AsString(), "obsah 1");
    EXPECT_EQ(failureOf([&] { set.FieldByName("Nazev"); }),
              "EDatabaseError: Query1: Field 'Nazev' not found");
}

TEST_F(RecordSetTest, FailedOpenLeavesTheSetInactiveAndTheNextOpenWorks) {
    addRows(dir.path(), numberedIssues(2));
    set.AddSQL("select * from qv");
    set.AddSQL("where (vytisk like \"%a\"b%\")");
    EXPECT_EQ(failureOf([&] { set.Open(); }).rfind("EDBEngineError: ", 0), 0u);
    EXPECT_EQ(set.State(), State::Inactive);
    EXPECT_EQ(set.FieldCount(), 0);
    open();
    EXPECT_EQ(title(), "Titul 1");
}

TEST_F(RecordSetTest, StatementTextRulesArePrefixedWithTheSetsName) {
    EXPECT_EQ(failureOf([&] { set.Open(); }), "EDatabaseError: Query1: No SQL statement available");
    set.AddSQL("select * from qv");
    set.AddSQL("where (vytisk like :abc)");
    EXPECT_EQ(failureOf([&] { set.Open(); }),
              "EDatabaseError: Query1: No value for parameter 'abc'");
    EXPECT_EQ(set.State(), State::Inactive);
    // A colon inside the string literal stays there, whatever other quotes the literal holds.
    set.ClearSQL();
    set.AddSQL("select * from qv");
    set.AddSQL("where (vytisk like \"%it's 12:30%\")");
    EXPECT_NO_THROW(set.Open());
    EXPECT_TRUE(set.IsEmpty());
}

TEST_F(RecordSetTest, OperationsOnAClosedSetFail) {
    const std::string closed =
        "EDatabaseError: Query1: Cannot perform this operation on a closed dataset";
    EXPECT_EQ(failureOf([&] { set.Append(); }), closed);
    EXPECT_EQ(failureOf([&] { set.Edit(); }), closed);
    EXPECT_EQ(failureOf([&] { set.Delete(); }), closed);
    EXPECT_EQ(failureOf([&] { set.MoveBy(1); }), closed);
    EXPECT_EQ(failureOf([&] { set.First(); }), closed);
    EXPECT_EQ(failureOf([&] { set.Post(); }),
              "EDatabaseError: Query1: Dataset not in edit or insert mode");
    EXPECT_NO_THROW(set.Cancel());
}

// Each row: the state reached, the event, the state afterwards and the title then current.
struct Transition {
    const char* name;
    std::function<void(RecordSet&)> reach;
    std::function<void(RecordSet&)> event;
    State after;
    const char* currentTitle;
};

class StateTable : public RecordSetTest, public ::testing::WithParamInterface<int> {};

void writeTitle(RecordSet& set, const std::string& text) {
    set.FieldByName("Vytisk").SetAsString(text);
}

const std::vector<Transition>& transitions() {
    static const std::vector<Transition> table = {
        {"EditInBrowse", [](RecordSet&) {}, [](RecordSet& s) { s.Edit(); }, State::Edit, "Titul 1"},
        {"AppendInBrowse", [](RecordSet&) {}, [](RecordSet& s) { s.Append(); }, State::Insert, ""},
        {"PostFromEdit", [](RecordSet& s) { s.Edit(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Post(); }, State::Browse, "Nový"},
        {"PostFromInsert", [](RecordSet& s) { s.Append(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Post(); }, State::Browse, "Nový"},
        {"CancelFromEdit", [](RecordSet& s) { s.Edit(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Cancel(); }, State::Browse, "Titul 1"},
        {"CancelFromAppend", [](RecordSet& s) { s.Append(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Cancel(); }, State::Browse, "Titul 3"},
        {"MoveFromModifiedEditPosts", [](RecordSet& s) { s.Edit(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.MoveBy(1); }, State::Browse, "Titul 2"},
        {"MoveFromUntouchedEditCancels", [](RecordSet& s) { s.Edit(); },
         [](RecordSet& s) { s.MoveBy(1); }, State::Browse, "Titul 2"},
        {"AppendFromModifiedInsertPostsFirst",
         [](RecordSet& s) { s.Append(), writeTitle(s, "Nový"); }, [](RecordSet& s) { s.Append(); },
         State::Insert, ""},
        {"DeleteInInsertCancels", [](RecordSet& s) { s.Append(); },
         [](RecordSet& s) { s.Delete(); }, State::Browse, "Titul 3"},
        {"DeleteInBrowse", [](RecordSet&) {}, [](RecordSet& s) { s.Delete(); }, State::Browse,
         "Titul 2"},
        {"DeleteInEdit", [](RecordSet& s) { s.Edit(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Delete(); }, State::Browse, "Titul 2"},
        {"CloseInEdit", [](RecordSet& s) { s.Edit(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.Close(); }, State::Inactive, nullptr},
        {"SqlChangeInInsert", [](RecordSet& s) { s.Append(), writeTitle(s, "Nový"); },
         [](RecordSet& s) { s.AddSQL(""); }, State::Inactive, nullptr},
    };
    return table;
}

TEST_P(StateTable, EventLeadsToStateAndCurrentRow) {
    const Transition& transition = transitions()[static_cast<std::size_t>(GetParam())];
    addRows(dir.path(), numberedIssues(3));
    open();
    transition.reach(set);
    transition.event(set);
    EXPECT_EQ(set.State(), transition.after);
    EXPECT_FALSE(set.Modified());
    if (transition.currentTitle != nullptr) {
        EXPECT_EQ(title(), transition.currentTitle);
    }
}

INSTANTIATE_TEST_SUITE_P(RecordSet, StateTable,
                         ::testing::Range(0, static_cast<int>(transitions().size())),
                         [](const ::testing::TestParamInfo<int>& param) {
                             return transitions()[static_cast<std::size_t>(param.param)].name;
                         });

TEST_F(RecordSetTest, NewTwiceWithoutTypingLeavesNoEmptyRow) {
    addRows(dir.path(), numberedIssues(2));
    open();
    set.Append();
    set.Append();
    EXPECT_EQ(set.State(), State::Insert);
    set.Cancel();
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{"Titul 1", "Titul 2"}));
}

TEST_F(RecordSetTest, NewTypedThenMovedIsWrittenBeforeTheMove) {
    addRows(dir.path(), numberedIssues(2));
    open();
    set.Append();
    writeTitle(set, "Vesmír");
    EXPECT_EQ(set.MoveBy(-1), -1);
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{"Titul 1", "Titul 2", "Vesmír"}));
    EXPECT_EQ(title(), "Titul 2");
    // Untyped, the new row simply disappears.
    set.Append();
    set.MoveBy(-1);
    EXPECT_EQ(storedTitles().size(), 3u);
}

TEST_F(RecordSetTest, SaveWithNothingTypedFailsAndWritesNothing) {
    addRows(dir.path(), numberedIssues(1));
    open();
    EXPECT_EQ(failureOf([&] { set.Post(); }),
              "EDatabaseError: Query1: Dataset not in edit or insert mode");
    EXPECT_EQ(set.State(), State::Browse);
    EXPECT_EQ(failureOf([&] { writeTitle(set, "x"); }),
              "EDatabaseError: Query1: Dataset not in edit or insert mode");
}

TEST_F(RecordSetTest, DeletingTheLastRowMakesThePreviousCurrentAndTheOnlyRowLeavesItEmpty) {
    addRows(dir.path(), numberedIssues(2));
    open();
    set.Last();
    set.Delete();
    EXPECT_EQ(title(), "Titul 1");
    set.Delete();
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_EQ(title(), "");
    EXPECT_EQ(failureOf([&] { set.Delete(); }),
              "EDatabaseError: Query1: Cannot perform this operation on an empty dataset");
    EXPECT_TRUE(storedTitles().empty());
}

TEST_F(RecordSetTest, DeleteWhileANewRowIsPendingDropsOnlyTheNewRow) {
    addRows(dir.path(), numberedIssues(2));
    open();
    set.Append();
    writeTitle(set, "Nový");
    EXPECT_NO_THROW(set.Delete());
    EXPECT_EQ(set.State(), State::Browse);
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{"Titul 1", "Titul 2"}));
}

TEST_F(RecordSetTest, DeleteOfARowAlreadyGoneCountsAsDone) {
    addRows(dir.path(), numberedIssues(3));
    open();
    execute("DELETE FROM qv WHERE vytisk = 'Titul 1'");
    EXPECT_NO_THROW(set.Delete());
    EXPECT_EQ(title(), "Titul 2");
}

TEST_F(RecordSetTest, StringsAreCutToTheirSizeInCharacters) {
    open();
    set.Append();
    const std::string sixty = std::string(40, 'a') + "ěščřžýáíéůúťďňóĚŠČŘŽ";  // 60 characters
    writeTitle(set, sixty);
    EXPECT_EQ(title(), std::string(40, 'a') + "ěščřžýáíéů");
    set.FieldByName("Cislo").SetAsString("12/1998 a mnohem víc");
    EXPECT_EQ(set.FieldByName("Cislo").AsString(), "12/1998 a mnohe");
    set.Post();
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{std::string(40, 'a') + "ěščřžýáíéů"}));
}

TEST_F(RecordSetTest, ARecordWithOnlyTheTitleIsStoredWithTheOtherFieldsEmpty) {
    open();
    set.Append();
    writeTitle(set, "ABC");
    set.Post();
    set.Close();
    open();
    EXPECT_EQ(title(), "ABC");
    EXPECT_TRUE(set.FieldByName("Cislo").IsNull());
    EXPECT_TRUE(set.FieldByName("Nejzajimavejsi_casti").IsNull());
    EXPECT_TRUE(set.FieldByName("Obsah_vytisku").IsNull());
}

TEST_F(RecordSetTest, MemoWriteReplacesTheWholeTextAndEmptyMeansNoValue) {
    addRows(dir.path(), {{"Živa", "3/2004", "", "první řádek\r\ndruhý řádek"}});
    open();
    Field& memo = set.FieldByName("Obsah_vytisku");
    EXPECT_EQ(memo.AsString(), "první řádek\r\ndruhý řádek");
    set.Edit();
    memo.SetAsString("jen toto");
    set.Post();
    set.Close();
    open();
    EXPECT_EQ(set.FieldByName("Obsah_vytisku").AsString(), "jen toto");
    set.Edit();
    set.FieldByName("Obsah_vytisku").SetAsString("");
    EXPECT_TRUE(set.FieldByName("Obsah_vytisku").IsNull());
    set.Post();
    set.Close();
    open();
    EXPECT_TRUE(set.FieldByName("Obsah_vytisku").IsNull());
}

TEST_F(RecordSetTest, ReadOnlyResultRefusesChangesAndTheEngineRefusesDelete) {
    addRows(dir.path(), numberedIssues(2));
    open({"select * from qv", "", "order by vytisk"});
    EXPECT_FALSE(set.CanModify());
    EXPECT_FALSE(set.Fields(0).CanModify());
    const std::string readOnly = "EDatabaseError: Query1: Cannot modify a read-only dataset";
    EXPECT_EQ(failureOf([&] { set.Append(); }), readOnly);
    EXPECT_EQ(failureOf([&] { set.Edit(); }), readOnly);
    EXPECT_EQ(set.State(), State::Browse);
    EXPECT_EQ(failureOf([&] { set.Delete(); }), "EDBEngineError: Table is read only.");
    EXPECT_EQ(storedTitles().size(), 2u);
}

TEST_F(RecordSetTest, PostOfAnUnchangedRowInEditWritesIt) {
    addRows(dir.path(), numberedIssues(1));
    open();
    set.Edit();
    set.Post();
    // Written once since it was made.
    EXPECT_EQ(PlainConnection(dir.path()).integer("SELECT version FROM qv"), 2);
}

TEST_F(RecordSetTest, SearchFindingNothingThenTypingStartsANewRow) {
    addRows(dir.path(), numberedIssues(2));
    open({"select * from qv", "where (vytisk like \"%nic takového%\")", ""});
    EXPECT_TRUE(set.IsEmpty());
    EXPECT_EQ(title(), "");
    source.Edit();
    EXPECT_EQ(set.State(), State::Insert);
    writeTitle(set, "Nalezený");
    set.Post();
    EXPECT_EQ(title(), "Nalezený");
    EXPECT_EQ(storedTitles().size(), 3u);
}

TEST_F(RecordSetTest, ClosingWithAPendingChangeLosesIt) {
    addRows(dir.path(), numberedIssues(1));
    open();
    set.Edit();
    writeTitle(set, "Ztracený");
    set.Close();
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{"Titul 1"}));
}

// ---- the engine refusing ------------------------------------------------------------------------

TEST_F(RecordSetTest, EditOfARowAnotherCopyIsEditingFailsAndStaysInBrowse) {
    addRows(dir.path(), numberedIssues(2));
    Engine otherEngine(dir.path());
    RecordSet other(otherEngine);
    other.AddSQL("select * from qv");
    other.Open();
    other.Edit();
    open();
    EXPECT_EQ(failureOf([&] { set.Edit(); }), "EDBEngineError: Record locked by another user.");
    EXPECT_EQ(set.State(), State::Browse);
    EXPECT_EQ(failureOf([&] { set.Delete(); }), "EDBEngineError: Record locked by another user.");
    other.Cancel();
    EXPECT_NO_THROW(set.Edit());
}

TEST_F(RecordSetTest, RefusedPostKeepsEveryPendingValue) {
    addRows(dir.path(), numberedIssues(2));
    open();
    set.Edit();
    writeTitle(set, "Můj titul");
    set.FieldByName("Obsah_vytisku").SetAsString("můj obsah");
    // Another program changes the row behind the lock's back.
    execute("UPDATE qv SET vytisk = 'Cizí', version = version + 1 WHERE vytisk = 'Titul 1'");
    EXPECT_EQ(failureOf([&] { set.Post(); }),
              "EDBEngineError: Record has been changed by another user.");
    EXPECT_EQ(set.State(), State::Edit);
    EXPECT_TRUE(set.Modified());
    EXPECT_EQ(title(), "Můj titul");
    EXPECT_EQ(set.FieldByName("Obsah_vytisku").AsString(), "můj obsah");
    EXPECT_EQ(storedTitles(), (std::vector<std::string>{"Cizí", "Titul 2"}));
    // The refused post also stops a move: the row stays.
    EXPECT_THROW(set.MoveBy(1), EDBEngineError);
    EXPECT_EQ(title(), "Můj titul");
    set.Cancel();
    EXPECT_EQ(title(), "Cizí");
}

TEST_F(RecordSetTest, EditReadsTheRowAnewSoAnotherCopysChangeIsNotOverwritten) {
    addRows(dir.path(), numberedIssues(2));
    open();
    Engine otherEngine(dir.path());
    RecordSet other(otherEngine);
    other.AddSQL("select * from qv");
    other.Open();
    other.Edit();
    other.FieldByName("Cislo").SetAsString("99/2000");
    other.Post();
    EXPECT_EQ(set.FieldByName("Cislo").AsString(), "1/1999");  // still the old reading
    set.Edit();
    EXPECT_EQ(set.FieldByName("Cislo").AsString(), "99/2000");
    writeTitle(set, "Oba");
    set.Post();
    other.Close();
    other.Open();
    EXPECT_EQ(other.FieldByName("Vytisk").AsString(), "Oba");
    EXPECT_EQ(other.FieldByName("Cislo").AsString(), "99/2000");
}

// SQLite allows a row id of 0; such a row is numbered and shows its memo like any other.
TEST_F(RecordSetTest, ARowWithIdZeroIsARowLikeAnyOther) {
    addRows(dir.path(), numberedIssues(2));
    execute(
        "INSERT INTO qv(id, vytisk) VALUES(0, 'nula'); "
        "INSERT INTO mb.memo(id, obsah) VALUES(0, 'obsah nuly')");
    open({"select * from qv", "where (vytisk like \"%nula%\")", ""});
    EXPECT_EQ(set.RecNo(), 1);
    EXPECT_EQ(set.FieldByName("Obsah_vytisku").AsString(), "obsah nuly");
}

}  // namespace
}  // namespace quorvel::testing
