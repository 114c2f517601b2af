// The statement dialect the engine reads, run on a real catalogue: what it accepts gives the
// rows a person would expect from the statement; what it refuses fails with an engine error of
// the statement category (0x2E) whose message says what and where.
#include <gtest/gtest.h>

#include <map>

#include "TempCatalogue.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::TempCatalogue;

constexpr std::uint8_t statementCategory = 0x2E;

// Rows numbered 1..9 by insertion; the expectations below name rows by these numbers.
const std::vector<Entry>& sampleRows() {
    static const std::vector<Entry> rows = {
        /* 1 */ {"Abc noviny", "1/2001", "úvodník", "První řádek\r\nDruhý řádek"},
        /* 2 */ {"abc týdeník", "2/2001", std::nullopt, std::nullopt},
        /* 3 */ {"Český rozhlas", "10/1999", "rozhovor", "Obsah s Č"},
        /* 4 */ {"Čtenář", std::nullopt, "recenze", std::nullopt},
        /* 5 */ {std::nullopt, "3/2000", std::nullopt, "jen obsah"},
        /* 6 */ {"Abc noviny", "", "úvodník 2", ""},
        /* 7 */ {"50% sleva", "1_2", "x", std::nullopt},
        /* 8 */ {"O'Neil \"ty\"", "5/2005", std::nullopt, std::nullopt},
        /* 9 */ {"Zpravodaj", "1/2001", "", std::nullopt},
    };
    return rows;
}

class SqlDialect : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        catalogue_ = new TempCatalogue;
        const std::vector<std::int64_t> ids = catalogue_->fill(sampleRows());
        numberOfId_ = new std::map<std::int64_t, int>;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            (*numberOfId_)[ids[i]] = static_cast<int>(i) + 1;
        }
    }
    static void TearDownTestSuite() {
        delete numberOfId_;
        delete catalogue_;
    }

    Database& db() { return engine_.database(); }

    // The rows of a statement, as the numbers of sampleRows, in result order.
    std::vector<int> rowsOf(const std::string& text) {
        std::unique_ptr<Cursor> cursor = Cursor::open(db(), text, true);
        std::vector<int> numbers;
        for (const RowData& row : testing::walkForward(*cursor, 4)) {
            numbers.push_back(numberOfId_->at(row.id));
        }
        return numbers;
    }
    std::vector<int> whereRows(const std::string& condition) {
        return rowsOf(testing::statementOf("where " + condition));
    }

    // The failure of opening a statement; fails the test if it opens.
    EDBEngineError refusal(const std::string& text) {
        std::optional<EDBEngineError> error =
            testing::engineErrorOf([&] { Cursor::open(db(), text, true); });
        if (!error) {
            ADD_FAILURE() << "accepted: " << text;
            return EDBEngineError(0, {});
        }
        return *error;
    }
    void expectRefused(const std::string& text, EngineCode code) {
        const EDBEngineError error = refusal(text);
        EXPECT_EQ(error.errorCode(), code) << text << "\n" << error.message();
        EXPECT_EQ(engineCategory(error.errorCode()), statementCategory) << text;
    }

    static TempCatalogue* catalogue_;
    static std::map<std::int64_t, int>* numberOfId_;
    Engine engine_{catalogue_->dir()};
};

TempCatalogue* SqlDialect::catalogue_ = nullptr;
std::map<std::int64_t, int>* SqlDialect::numberOfId_ = nullptr;

using Rows = std::vector<int>;
const Rows allRows = {1, 2, 3, 4, 5, 6, 7, 8, 9};

TEST_F(SqlDialect, SelectStarGivesTheFourFieldsInTableOrderAndRowsInStoredOrder) {
    std::unique_ptr<Cursor> cursor = Cursor::open(db(), "select * from qv", true);
    const std::vector<FieldDesc>& fields = cursor->fields();
    ASSERT_EQ(fields.size(), 4u);
    EXPECT_EQ(fields[0].name, "Vytisk");
    EXPECT_EQ(fields[0].size, 50);
    EXPECT_EQ(fields[1].name, "Cislo");
    EXPECT_EQ(fields[1].size, 15);
    EXPECT_EQ(fields[2].name, "Nejzajimavejsi_casti");
    EXPECT_EQ(fields[2].size, 150);
    EXPECT_EQ(fields[3].name, "Obsah_vytisku");
    EXPECT_EQ(fields[3].type, FieldType::Memo);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fields[i].type, FieldType::String) << i;
    }
    EXPECT_EQ(rowsOf("select * from qv"), allRows);
    EXPECT_EQ(rowsOf(testing::statementOf()), allRows);
}

TEST_F(SqlDialect, FieldListGivesThoseFieldsInTheListedOrderWhateverTheirCase) {
    std::unique_ptr<Cursor> cursor =
        Cursor::open(db(), "select cislo, VYTISK, obsah_Vytisku from qv", true);
    const std::vector<FieldDesc>& fields = cursor->fields();
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].name, "Cislo");
    EXPECT_EQ(fields[1].name, "Vytisk");
    EXPECT_EQ(fields[2].name, "Obsah_vytisku");
    EXPECT_EQ(fields[2].type, FieldType::Memo);
    EXPECT_EQ(testing::walkForward(*cursor, 100).size(), allRows.size());
}

TEST_F(SqlDialect, KeywordsTableAndFieldNamesMatchInAnyCase) {
    EXPECT_EQ(rowsOf("SELECT * FROM QV WHERE VYTISK LIKE \"Abc%\" ORDER BY CISLO"), (Rows{6, 1}));
    EXPECT_EQ(rowsOf("Select * From Qv Where cIsLo = '1/2001' Order By Vytisk Asc"), (Rows{1, 9}));
    EXPECT_EQ(whereRows("NeJzAjImAvEjSi_CaStI like \"úvod%\""), (Rows{1, 6}));
}

TEST_F(SqlDialect, LineBreaksAndTabsSeparateTokensLikeSpaces) {
    EXPECT_EQ(rowsOf("select\r\n*\r\nfrom\tqv\r\n\r\nwhere\r\nvytisk\r\nlike 'Č%'\r\n\r\n"),
              (Rows{3, 4}));
    EXPECT_EQ(rowsOf("select * from qv\r\n\r\n\r\n"), allRows);
    EXPECT_EQ(rowsOf("select*from qv where(vytisk='Čtenář')"), (Rows{4}));
}

TEST_F(SqlDialect, LikeIsCaseSensitiveForAsciiAndCzechLetters) {
    EXPECT_EQ(whereRows("vytisk like \"Abc%\""), (Rows{1, 6}));
    EXPECT_EQ(whereRows("vytisk like \"abc%\""), (Rows{2}));
    EXPECT_EQ(whereRows("vytisk like \"ABC%\""), (Rows{}));
    EXPECT_EQ(whereRows("vytisk like \"český%\""), (Rows{}));
    EXPECT_EQ(whereRows("vytisk like \"%ČTENÁŘ%\""), (Rows{}));
    EXPECT_EQ(whereRows("vytisk like \"%a%\""), (Rows{2, 3, 7, 9}));
}

TEST_F(SqlDialect, PercentMatchesAnyRunAndUnderscoreExactlyOneCharacter) {
    EXPECT_EQ(whereRows("vytisk like \"_eský%\""), (Rows{3}));
    EXPECT_EQ(whereRows("vytisk like \"_tenář\""), (Rows{4}));
    EXPECT_EQ(whereRows("vytisk like \"Čtená_\""), (Rows{4}));
    EXPECT_EQ(whereRows("vytisk like \"__tenář\""), (Rows{}));
    EXPECT_EQ(whereRows("vytisk like \"Čtenář_\""), (Rows{}));
    EXPECT_EQ(whereRows("cislo like \"1_2001\""), (Rows{1, 9}));
    EXPECT_EQ(whereRows("cislo like \"1_2\""), (Rows{7}));
    EXPECT_EQ(whereRows("vytisk like \"50%\""), (Rows{7}));
    EXPECT_EQ(whereRows("vytisk like \"Abc noviny\""), (Rows{1, 6}));
    EXPECT_EQ(whereRows("vytisk like \"Abc\""), (Rows{}));
}

TEST_F(SqlDialect, DiacriticsMatchInDataPatternsAndTheMemo) {
    EXPECT_EQ(whereRows("nejzajimavejsi_casti like \"úvod%\""), (Rows{1, 6}));
    EXPECT_EQ(whereRows("obsah_vytisku like \"%řádek%\""), (Rows{1}));
    EXPECT_EQ(whereRows("obsah_vytisku like \"%s Č\""), (Rows{3}));
    EXPECT_EQ(whereRows("obsah_vytisku like \"První řádek\r\nDruhý řádek\""), (Rows{1}));
}

TEST_F(SqlDialect, AnEmptyPatternFindsEveryRowWhoseFieldHoldsAValue) {
    EXPECT_EQ(whereRows("vytisk like \"%%\""), (Rows{1, 2, 3, 4, 6, 7, 8, 9}));
    EXPECT_EQ(whereRows("cislo like \"%%\""), (Rows{1, 2, 3, 5, 7, 8, 9}));
    EXPECT_EQ(whereRows("nejzajimavejsi_casti like \"%%\""), (Rows{1, 3, 4, 6, 7}));
    EXPECT_EQ(whereRows("obsah_vytisku like \"%%\""), (Rows{1, 3, 5}));
}

TEST_F(SqlDialect, NotLikeComparisonsAndNullTests) {
    EXPECT_EQ(whereRows("vytisk not like \"%a%\""), (Rows{1, 4, 6, 8}));
    EXPECT_EQ(whereRows("cislo = \"1/2001\""), (Rows{1, 9}));
    EXPECT_EQ(whereRows("cislo <> \"1/2001\""), (Rows{2, 3, 5, 7, 8}));
    EXPECT_EQ(whereRows("cislo != \"1/2001\""), (Rows{2, 3, 5, 7, 8}));
    EXPECT_EQ(whereRows("cislo < \"2\""), (Rows{1, 3, 7, 9}));
    EXPECT_EQ(whereRows("cislo <= \"1/2001\""), (Rows{1, 9}));
    EXPECT_EQ(whereRows("cislo > \"3/2000\""), (Rows{8}));
    EXPECT_EQ(whereRows("cislo >= \"3\""), (Rows{5, 8}));
    EXPECT_EQ(whereRows("\"3\" <= cislo"), (Rows{5, 8}));
    EXPECT_EQ(whereRows("vytisk is null"), (Rows{5}));
    EXPECT_EQ(whereRows("cislo is null"), (Rows{4, 6}));
    EXPECT_EQ(whereRows("nejzajimavejsi_casti is null"), (Rows{2, 5, 8, 9}));
    EXPECT_EQ(whereRows("obsah_vytisku is not null"), (Rows{1, 3, 5}));
    EXPECT_EQ(whereRows("obsah_vytisku is null"), (Rows{2, 4, 6, 7, 8, 9}));
}

TEST_F(SqlDialect, AndBindsTighterThanOrAndParenthesesAndNotGroup) {
    EXPECT_EQ(whereRows("vytisk like \"Abc%\" and not (cislo is null) or vytisk = \"Čtenář\""),
              (Rows{1, 4}));
    EXPECT_EQ(whereRows("vytisk like \"Abc%\" and (not cislo is null or vytisk = \"Čtenář\")"),
              (Rows{1}));
    EXPECT_EQ(whereRows("not (vytisk like \"%a%\" or vytisk is null)"), (Rows{1, 4, 6, 8}));
    EXPECT_EQ(whereRows("not not vytisk is null"), (Rows{5}));
    EXPECT_EQ(whereRows("((cislo = '1/2001') and ((vytisk like 'Z%')))"), (Rows{9}));
    EXPECT_EQ(whereRows("cislo = '2/2001' or cislo = '3/2000' or obsah_vytisku like 'Obsah%'"),
              (Rows{2, 3, 5}));
}

TEST_F(SqlDialect, DoubleAndSingleQuotedStringsWithTheQuoteDoubledInside) {
    EXPECT_EQ(whereRows("vytisk = 'O''Neil \"ty\"'"), (Rows{8}));
    EXPECT_EQ(whereRows("vytisk = \"O'Neil \"\"ty\"\"\""), (Rows{8}));
    EXPECT_EQ(whereRows("vytisk like '%''%'"), (Rows{8}));
    EXPECT_EQ(whereRows("vytisk = ''"), (Rows{}));
}

TEST_F(SqlDialect, OrderByVytiskIsAscendingWithEmptyFirstAndTiesInInsertionOrder) {
    EXPECT_EQ(rowsOf(testing::statementOf({}, "order by vytisk")),
              (Rows{5, 7, 1, 6, 2, 3, 4, 8, 9}));
    EXPECT_EQ(rowsOf(testing::statementOf({}, "order by vytisk asc")),
              (Rows{5, 7, 1, 6, 2, 3, 4, 8, 9}));
}

TEST_F(SqlDialect, OrderByCisloIsAscendingWithEmptyFirstAndTiesInInsertionOrder) {
    EXPECT_EQ(rowsOf(testing::statementOf({}, "order by Cislo")),
              (Rows{4, 6, 7, 1, 9, 2, 5, 8, 3}));
}

TEST_F(SqlDialect, OrderByFieldsWithoutAnIndexSortsTheSameWay) {
    EXPECT_EQ(rowsOf(testing::statementOf({}, "order by nejzajimavejsi_casti")),
              (Rows{2, 5, 8, 9, 4, 3, 1, 6, 7}));
    EXPECT_EQ(rowsOf(testing::statementOf({}, "order by obsah_vytisku")),
              (Rows{2, 4, 6, 7, 8, 9, 5, 3, 1}));
}

TEST_F(SqlDialect, FilterAndOrderTogether) {
    EXPECT_EQ(rowsOf(testing::statementOf("where (vytisk like \"%a%\")", "order by Cislo")),
              (Rows{7, 9, 2, 3}));
    EXPECT_EQ(rowsOf(testing::statementOf("where (cislo like \"%2001%\")", "order by vytisk")),
              (Rows{1, 2, 9}));
}

TEST_F(SqlDialect, OnlyAnUnorderedStatementGivesALiveResult) {
    EXPECT_TRUE(Cursor::open(db(), testing::statementOf(), true)->isLive());
    EXPECT_TRUE(
        Cursor::open(db(), testing::statementOf("where (vytisk like \"%a%\")"), true)->isLive());
    EXPECT_FALSE(Cursor::open(db(), testing::statementOf(), false)->isLive());
    EXPECT_FALSE(Cursor::open(db(), testing::statementOf({}, "order by vytisk"), true)->isLive());
    EXPECT_FALSE(Cursor::open(db(), testing::statementOf({}, "order by Cislo"), true)->isLive());
}

TEST_F(SqlDialect, UnknownFieldsAreRefusedTheHiddenColumnsToo) {
    expectRefused("select nazev from qv", engine_code::unknownField);
    expectRefused("select * from qv where titul like \"a\"", engine_code::unknownField);
    expectRefused("select * from qv where id = 1", engine_code::unknownField);
    expectRefused("select * from qv where version > 0", engine_code::unknownField);
    expectRefused("select obsah from qv", engine_code::unknownField);
    expectRefused("select * from qv order by rowid", engine_code::unknownField);
    expectRefused("select * from qv order by x desc", engine_code::unknownField);
    expectRefused("select * from qv where length(vytisk) > 1", engine_code::unknownField);
}

TEST_F(SqlDialect, OtherTablesAreRefused) {
    for (const char* table :
         {"qv_pair", "memo", "sqlite_master", "sqlite_sequence", "main", "mb", "qvx", "temp"}) {
        expectRefused(std::string("select * from ") + table, engine_code::unknownTable);
    }
    expectRefused("select * from main.qv", engine_code::unknownTable);
    expectRefused("select * from qv.memo", engine_code::unexpectedToken);
    expectRefused("select * from \"qv\"", engine_code::unexpectedToken);
}

TEST_F(SqlDialect, AnythingAfterTheStatementIsRefused) {
    expectRefused("select * from qv;", engine_code::unexpectedToken);
    expectRefused("select * from qv; delete from qv", engine_code::unexpectedToken);
    expectRefused("select * from qv x", engine_code::unexpectedToken);
    expectRefused("select * from qv where vytisk like 'a' escape 'b'",
                  engine_code::unexpectedToken);
    expectRefused("select * from qv union select * from qv", engine_code::unexpectedToken);
    expectRefused("select * from qv order by vytisk limit 1", engine_code::unexpectedToken);
    expectRefused("select * from qv order by vytisk desc", engine_code::notSupported);
    expectRefused("select * from qv order by vytisk, cislo", engine_code::notSupported);
}

TEST_F(SqlDialect, StatementsOtherThanASelectAreRefused) {
    for (const char* text :
         {"delete from qv", "update qv set vytisk = 'x'", "insert into qv values('x')",
          "drop table qv", "pragma writable_schema=1", "attach 'x.db' as x", "vacuum",
          "with x as (select 1) select * from qv", "explain select * from qv"}) {
        expectRefused(text, engine_code::unexpectedToken);
    }
}

TEST_F(SqlDialect, MalformedConditionsAreRefused) {
    expectRefused("select * from qv where", engine_code::unexpectedEnd);
    expectRefused("select * from qv where (vytisk like \"a\"", engine_code::unexpectedEnd);
    expectRefused("select * from qv where vytisk like", engine_code::unexpectedEnd);
    expectRefused("select * from qv where vytisk", engine_code::unexpectedEnd);
    expectRefused("select * from qv where vytisk is not 'a'", engine_code::unexpectedToken);
    expectRefused("select * from qv where vytisk not = 'a'", engine_code::unexpectedToken);
    expectRefused("select * from qv where vytisk in ('a')", engine_code::unexpectedToken);
    expectRefused("select * from qv where vytisk like (select 1)", engine_code::unexpectedToken);
    expectRefused("select * from qv where vytisk = 'a' = 'b'", engine_code::unexpectedToken);
    expectRefused("select *, vytisk from qv", engine_code::unexpectedToken);
    expectRefused("select from qv", engine_code::unknownField);
    expectRefused("", engine_code::unexpectedEnd);
    expectRefused("\r\n\r\n\r\n", engine_code::unexpectedEnd);
}

// Everywhere else a statement that stops short is an unexpected end; so it is here.
TEST_F(SqlDialect, AStatementEndingAfterFromIsAnUnexpectedEnd) {
    expectRefused("select * from", engine_code::unexpectedEnd);
    EXPECT_EQ(refusal("select * from\r\n").message(),
              "Unexpected end of command.\r\nLine Number: 2");
}

TEST_F(SqlDialect, UnterminatedStringsAreRefused) {
    expectRefused("select * from qv where vytisk like \"abc", engine_code::unterminatedString);
    expectRefused("select * from qv where vytisk like 'abc''", engine_code::unterminatedString);
    expectRefused(testing::statementOf("where (vytisk like \"%abc)"),
                  engine_code::unterminatedString);
}

TEST_F(SqlDialect, ADoubleQuoteInASearchTextStaysInsideItsLiteral) {
    for (SearchField field : {SearchField::Title, SearchField::IssueNumber,
                              SearchField::InterestingParts, SearchField::Contents}) {
        for (const std::string text : {"a\"b", "\"", "ab\"", "\"ab", "a\"\"b\"c"}) {
            StatementClauses clauses;
            clauses.FilterClause = searchClause(field, text);
            const ParsedSelect parsed = parseSelect(joinStatementLines(statementLines(clauses)));
            ASSERT_EQ(parsed.parameters.size(), 1u) << text;
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed.parameters[0])) << text;
            EXPECT_EQ(std::get<std::string>(parsed.parameters[0]), "%" + text + "%") << text;
        }
    }
    StatementClauses clauses;
    clauses.FilterClause = searchClause(SearchField::Title, "O'Neil \"ty\"");
    EXPECT_EQ(rowsOf(joinStatementLines(statementLines(clauses))), std::vector<int>{8});
}

TEST_F(SqlDialect, RefusalsSayWhatAndWhere) {
    EXPECT_EQ(refusal("select nazev from qv").message(),
              "Invalid field name.\r\nField: nazev\r\nLine Number: 1");
    EXPECT_EQ(refusal("select * from xy").message(), "Table does not exist.\r\nTable: xy");
    EXPECT_EQ(refusal("select * from qv;").message(),
              "Invalid use of keyword.\r\nToken: ;\r\nLine Number: 1");
    EXPECT_EQ(refusal(testing::statementOf("where (vytisk like \"%a\"b%\")")).message(),
              "Invalid use of keyword.\r\nToken: b\r\nLine Number: 2");
    EXPECT_EQ(refusal(testing::statementOf("where (vytisk like \"%abc)")).message(),
              "String constant not terminated.\r\nToken: \"%abc)\r\nLine Number: 2");
    EXPECT_EQ(refusal(testing::statementOf({}, "order by vytisk desc")).message(),
              "Capability not supported.\r\nToken: desc\r\nLine Number: 3");
}

TEST_F(SqlDialect, ARefusedStatementLeavesTheConnectionUsable) {
    refusal("select * from qv; drop table qv");
    refusal("select * from qv where vytisk like \"a");
    EXPECT_EQ(rowsOf(testing::statementOf()), allRows);
}

}  // namespace
}  // namespace quorvel
