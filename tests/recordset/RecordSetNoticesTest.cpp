// The notices the bound controls hear, in order, for the main operations, and what they see of
// the set while hearing them.
#include "EDBEngineError.h"
#include "RecordSetFixture.h"
#include "recordset/StatementComposer.h"

namespace quorvel::testing {
namespace {

using Notices = std::vector<std::string>;

TEST_F(RecordSetTest, NoticesOfTheMainOperations) {
    addRows(dir.path(), numberedIssues(3));
    set.AddSQL("select * from qv");
    recorder.take();
    set.Open();
    EXPECT_EQ(recorder.take(), (Notices{"state"}));
    set.Append();
    EXPECT_EQ(recorder.take(), (Notices{"state", "rows"}));
    set.FieldByName("Vytisk").SetAsString("Nový");
    EXPECT_EQ(recorder.take(), (Notices{"field Vytisk"}));
    set.Post();
    EXPECT_EQ(recorder.take(), (Notices{"update", "state", "rows"}));
    set.Edit();
    EXPECT_EQ(recorder.take(), (Notices{"state", "record"}));
    set.Cancel();
    EXPECT_EQ(recorder.take(), (Notices{"state", "rows"}));
    set.Edit();
    set.FieldByName("Cislo").SetAsString("1/2000");
    recorder.take();
    // The browse check asks for pending input, posts, then the one-row window scrolls.
    set.MoveBy(-1);
    EXPECT_EQ(recorder.take(), (Notices{"update", "update", "state", "rows", "scroll -1"}));
    set.Delete();
    EXPECT_EQ(recorder.take(), (Notices{"rows"}));
    set.Close();
    EXPECT_EQ(recorder.take(), (Notices{"state"}));
}

// A control that writes its pending text when asked, as the bound edits do.
class PendingEdit : public DataSetObserver {
  public:
    explicit PendingEdit(RecordSet& set) : set_(set) {}
    std::string pending;
    bool changed = false;
    void updateRecord() override {
        if (changed) {
            changed = false;
            set_.FieldByName("Vytisk").SetAsString(pending);
        }
    }

  private:
    RecordSet& set_;
};

TEST_F(RecordSetTest, PendingInputIsWrittenBeforeTheBrowseCheckDecides) {
    addRows(dir.path(), numberedIssues(2));
    PendingEdit edit(set);
    source.addObserver(&edit);
    open();
    source.Edit();
    edit.pending = "Napsáno, nezapsáno";
    edit.changed = true;
    EXPECT_FALSE(set.Modified());
    set.MoveBy(1);  // Modified only after the write-back: the row is posted, not dropped
    EXPECT_EQ(storedTitles(), (Notices{"Napsáno, nezapsáno", "Titul 2"}));
    source.removeObserver(&edit);
}

TEST_F(RecordSetTest, ControlsSeeTheNewStateWhenTold) {
    addRows(dir.path(), numberedIssues(1));
    struct StateWatcher : DataSetObserver {
        RecordSet* set = nullptr;
        std::vector<DataSetState> seen;
        void stateChanged() override { seen.push_back(set->State()); }
    } watcher;
    watcher.set = &set;
    source.addObserver(&watcher);
    open();
    set.Edit();
    set.Cancel();
    set.Close();
    EXPECT_EQ(watcher.seen,
              (std::vector<DataSetState>{DataSetState::Browse, DataSetState::Edit,
                                         DataSetState::Browse, DataSetState::Inactive}));
    source.removeObserver(&watcher);
}

TEST_F(RecordSetTest, AutoEditOffKeepsControlsFromStartingAnEdit) {
    addRows(dir.path(), numberedIssues(1));
    open();
    source.AutoEdit = false;
    source.Edit();
    EXPECT_EQ(set.State(), DataSetState::Browse);
    source.AutoEdit = true;
    source.Edit();
    EXPECT_EQ(set.State(), DataSetState::Edit);
}

TEST_F(RecordSetTest, RunQueryRebuildsTheStatementAndDropsAPendingChange) {
    addRows(dir.path(),
            {{"Abc noviny", "", "", ""}, {"abc noviny", "", "", ""}, {"Zpravodaj", "", "", ""}});
    StatementClauses clauses;
    RunQuery(set, clauses);
    EXPECT_EQ(set.SQL(), (Notices{"select * from qv", "", ""}));
    set.Edit();
    set.FieldByName("Vytisk").SetAsString("Ztracený");
    clauses.FilterClause = searchClause(SearchField::Title, "Abc");
    RunQuery(set, clauses);
    EXPECT_EQ(title(), "Abc noviny");
    EXPECT_EQ(set.RecordCount(), 1);  // like is case-sensitive
    clauses.OrderClause = orderClause(SortOrder::ByTitle);
    clauses.FilterClause = searchClause(SearchField::Title, "noviny");
    RunQuery(set, clauses);
    EXPECT_FALSE(set.CanModify());
    EXPECT_EQ(title(), "abc noviny");  // Czech order: a small letter before its capital
    EXPECT_EQ(storedTitles(), (Notices{"Abc noviny", "abc noviny", "Zpravodaj"}));
    // A filter the engine refuses. The window's searches make none, their text being data, but
    // a busy or damaged table fails them alike.
    const std::string faulty = "where (vytisk like \"%a%\" and)";
    clauses.FilterClause = faulty;
    std::string refusal;
    try {
        RunQuery(set, clauses);
        ADD_FAILURE() << "a faulty filter was accepted";
    } catch (const EDBEngineError& error) {
        refusal = error.message();
    }
    EXPECT_FALSE(set.Active());
    // A sort change keeps the faulty filter: the new statement is refused the same way.
    clauses.OrderClause = orderClause(SortOrder::Unsorted);
    try {
        RunQuery(set, clauses);
        ADD_FAILURE() << "the faulty filter was dropped by a sort change";
    } catch (const EDBEngineError& error) {
        EXPECT_EQ(error.message(), refusal);
    }
    EXPECT_EQ(set.SQL(), (Notices{"select * from qv", faulty, ""}));
    EXPECT_FALSE(set.Active());
    // Show all brings the rows back in the order chosen while the filter failed.
    clauses.FilterClause.clear();
    RunQuery(set, clauses);
    EXPECT_TRUE(set.CanModify());
    set.Last();
    EXPECT_EQ(title(), "Zpravodaj");  // by title it would be "abc noviny"
}

}  // namespace
}  // namespace quorvel::testing
