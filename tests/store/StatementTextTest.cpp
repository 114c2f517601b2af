// The statement text as the engine receives it: the lines joined, and the scan for parameter
// markers that the record set runs whenever its lines change.
#include "recordset/StatementText.h"

#include <gtest/gtest.h>

#include "recordset/StatementComposer.h"

namespace quorvel {
namespace {

TEST(JoinStatementLines, EveryLineIsFollowedByCrLfEmptyOnesToo) {
    EXPECT_EQ(joinStatementLines({"select * from qv", "", ""}), "select * from qv\r\n\r\n\r\n");
    EXPECT_EQ(joinStatementLines({"a", "b"}), "a\r\nb\r\n");
    EXPECT_EQ(joinStatementLines({""}), "\r\n");
    EXPECT_EQ(joinStatementLines({}), "");
}

TEST(JoinStatementLines, LinesPassUnconverted) {
    const std::string czech = "where (vytisk like \"%Čtenář\xC5\xBE\t%\")";
    EXPECT_EQ(joinStatementLines({czech}), czech + "\r\n");
    EXPECT_EQ(joinStatementLines({"a\nb"}), "a\nb\r\n");
}

TEST(ScanParameters, ColonOutsideQuotesStartsANamedParameter) {
    const ScannedStatement scanned = scanParameters("select * from qv where vytisk = :nazev_1 ");
    EXPECT_EQ(scanned.text, "select * from qv where vytisk = ? ");
    ASSERT_EQ(scanned.parameters, std::vector<std::string>{"nazev_1"});
}

TEST(ScanParameters, NamesEndAtTheFirstCharacterThatCantBeInOne) {
    const ScannedStatement scanned = scanParameters(":a,:b)(:Čís9 :c");
    EXPECT_EQ(scanned.text, "?,?)(? ?");
    EXPECT_EQ(scanned.parameters, (std::vector<std::string>{"a", "b", "Čís9", "c"}));
}

TEST(ScanParameters, DoubledColonOutsideQuotesBecomesOneAndStartsNothing) {
    const ScannedStatement scanned = scanParameters("a::b ::c");
    EXPECT_EQ(scanned.text, "a:b :c");
    EXPECT_TRUE(scanned.parameters.empty());
}

TEST(ScanParameters, ColonInsideAnyKindOfQuotePassesUnchanged) {
    for (const std::string text : {"x \":a::b\" y", "x ':a::b' y", "x `:a::b` y"}) {
        const ScannedStatement scanned = scanParameters(text);
        EXPECT_EQ(scanned.text, text);
        EXPECT_TRUE(scanned.parameters.empty()) << text;
    }
}

TEST(ScanParameters, OnlyTheQuoteThatOpenedAStretchClosesIt) {
    // The apostrophe stays inside the stretch the double quote opened, so ":abc" is inside too;
    // after the closing double quote, ":d" is a parameter.
    const ScannedStatement scanned = scanParameters("\"it's :abc\" `x\":y` :d");
    EXPECT_EQ(scanned.text, "\"it's :abc\" `x\":y` ?");
    EXPECT_EQ(scanned.parameters, std::vector<std::string>{"d"});
}

TEST(ScanParameters, SearchTextsWithQuotesAndColonsHoldNoParameter) {
    for (const std::string typed : {"O'Neil :abc", "Rock'n'roll: návrat", "\"Mladý :x", "`a`::b"}) {
        StatementClauses clauses;
        clauses.FilterClause = searchClause(SearchField::Title, typed);
        const std::string text = joinStatementLines(statementLines(clauses));
        const ScannedStatement scanned = scanParameters(text);
        EXPECT_TRUE(scanned.parameters.empty()) << typed;
        EXPECT_EQ(scanned.text, text) << typed;
    }
}

TEST(ScanParameters, ColonInAQuoteFreeSearchTextStaysInsideTheQuotesUnchanged) {
    StatementClauses clauses;
    clauses.FilterClause = searchClause(SearchField::Contents, "12:30 :abc::x");
    clauses.OrderClause = orderClause(SortOrder::ByIssueNumber);
    const std::string text = joinStatementLines(statementLines(clauses));
    const ScannedStatement scanned = scanParameters(text);
    EXPECT_EQ(scanned.text, text);
    EXPECT_TRUE(scanned.parameters.empty());
}

TEST(ScanParameters, TextWithoutColonsIsUnchanged) {
    const std::string text = "select * from qv\r\n\r\norder by vytisk\r\n";
    const ScannedStatement scanned = scanParameters(text);
    EXPECT_EQ(scanned.text, text);
    EXPECT_TRUE(scanned.parameters.empty());
    EXPECT_EQ(scanParameters("").text, "");
}

}  // namespace
}  // namespace quorvel
