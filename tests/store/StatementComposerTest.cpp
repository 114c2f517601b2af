// The statement's clauses: the four search forms, the three sort forms and the three lines
// they make together.
#include "recordset/StatementComposer.h"

#include <gtest/gtest.h>

#include "recordset/StatementText.h"

namespace quorvel {
namespace {

TEST(SearchClause, EachFieldHasItsOwnPrefixAndTheCommonSuffix) {
    EXPECT_EQ(searchClause(SearchField::Title, "abc"), "where (vytisk like \"%abc%\")");
    EXPECT_EQ(searchClause(SearchField::IssueNumber, "abc"), "where (cislo like \"%abc%\")");
    EXPECT_EQ(searchClause(SearchField::InterestingParts, "abc"),
              "where (nejzajimavejsi_casti like \"%abc%\")");
    EXPECT_EQ(searchClause(SearchField::Contents, "abc"), "where (obsah_vytisku like \"%abc%\")");
}

TEST(SearchClause, TheTextIsInsertedAsTypedWithItsDoubleQuotesDoubled) {
    EXPECT_EQ(searchClause(SearchField::Title, ""), "where (vytisk like \"%%\")");
    EXPECT_EQ(searchClause(SearchField::Title, "  a_b% 'c`:d"),
              "where (vytisk like \"%  a_b% 'c`:d%\")");
    EXPECT_EQ(searchClause(SearchField::Title, "Čas \"x\""),
              "where (vytisk like \"%Čas \"\"x\"\"%\")");
}

TEST(OrderClause, TheThreeSortForms) {
    EXPECT_EQ(orderClause(SortOrder::Unsorted), "");
    EXPECT_EQ(orderClause(SortOrder::ByTitle), "order by vytisk");
    EXPECT_EQ(orderClause(SortOrder::ByIssueNumber), "order by Cislo");
}

TEST(OrderClause, OnlyTheUnsortedResultCanBeEdited) {
    EXPECT_TRUE(allowsEditing(SortOrder::Unsorted));
    EXPECT_FALSE(allowsEditing(SortOrder::ByTitle));
    EXPECT_FALSE(allowsEditing(SortOrder::ByIssueNumber));
}

TEST(StatementLines, AlwaysThreeLinesInTheOrderBaseFilterOrder) {
    StatementClauses clauses;
    EXPECT_EQ(clauses.BaseClause, "select * from qv");
    EXPECT_EQ(statementLines(clauses), (std::vector<std::string>{"select * from qv", "", ""}));

    clauses.OrderClause = orderClause(SortOrder::ByTitle);
    EXPECT_EQ(statementLines(clauses),
              (std::vector<std::string>{"select * from qv", "", "order by vytisk"}));

    clauses.FilterClause = searchClause(SearchField::IssueNumber, "1");
    clauses.OrderClause.clear();
    EXPECT_EQ(statementLines(clauses),
              (std::vector<std::string>{"select * from qv", "where (cislo like \"%1%\")", ""}));
}

TEST(StatementLines, JoinedTheyMakeTheTextTheEngineReceives) {
    StatementClauses clauses;
    clauses.FilterClause = searchClause(SearchField::Title, "abc");
    clauses.OrderClause = orderClause(SortOrder::ByIssueNumber);
    EXPECT_EQ(joinStatementLines(statementLines(clauses)),
              "select * from qv\r\nwhere (vytisk like \"%abc%\")\r\norder by Cislo\r\n");
}

}  // namespace
}  // namespace quorvel
