// Search texts typed to break out of the search's string literal, and texts that merely hold
// quotes, colons and backslashes. The text is data: whatever it holds, a search finds exactly the
// rows whose field holds it (% and _ being wildcards), and nothing on disk changes: the two files
// stay byte for byte the same and no other file appears beside them. Whole statements outside
// the dialect are refused.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <set>
#include <string_view>

#include "LikeByScan.h"
#include "TempCatalogue.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"

namespace quorvel {
namespace {

using testing::DirSnapshot;
using testing::PlainConnection;
using testing::TempCatalogue;

const std::vector<std::string>& hostileTexts() {
    static const std::vector<std::string> texts = {
        "%\"); drop table qv; --",
        "\" or 1=1 or \"",
        "\" or vytisk like \"",
        "\" or obsah_vytisku like \"",
        "\" or vytisk is not null or \"",
        "\")) or ((vytisk like \"",
        "\") or (1=1",
        "\"); attach database 'x.db' as x; --",
        "\"); attach 'qv.db' as y; select * from y.qv; --",
        "\" ; pragma writable_schema=1; --",
        "\"); pragma journal_mode=wal; --",
        "%\" union select * from sqlite_master --",
        "\" or exists(select * from sqlite_master) or \"",
        "\" or vytisk in (select name from sqlite_master) or \"",
        "sqlite_master",
        "%\"||(select token from qv_pair)||\"%",
        "` ; drop table qv ; `",
        "`qv`",
        "'; delete from qv; --",
        "\"; delete from qv where \"1\"=\"1",
        "\" or ''='",
        "' or ''='",
        "\" collate nocase --",
        "\" escape \"",
        "\" or vytisk glob \"*",
        "\r\n; drop table qv;\r\n",
        "\r\norder by vytisk desc",
        ";",
        "\"",
        "\"\"",
        "'",
        ":abc",
        "' :abc",
        "%\\%",
        std::string("a\0b\"; drop table qv", 20),
        "\xC0\xAF\"; drop table qv; --",
        "\"); vacuum; --",
        "\"); insert into qv(vytisk) values(\"x\"); --",
        "\" or version > 0 or \"",
        "\" or id = 1 or \"",
        std::string(60000, '%'),
        std::string(3000, '(') + "\"" + std::string(3000, ')'),
    };
    return texts;
}

class HostileSearch : public ::testing::Test {
  protected:
    HostileSearch() {
        catalogue_.fill({{"Abc noviny", "1/2001", "úvodník", "obsah\r\nřádky"},
                         {"Český rozhlas", "2/2001", std::nullopt, std::nullopt},
                         {"O'Neil \"ty\"", "3/2001", "a; drop table qv", "' or 1=1"},
                         {std::nullopt, "", "x", "jen obsah"},
                         {"Klub \"Mladý svět\"", "4:2001", "Rock'n'roll: návrat",
                          "C:\\data\\`kód` a::b :jmeno 50% sleva_x \" or vytisk like \""},
                         {"100% `Rock`", "5/2001", ":jmeno", "\"\"; '' ::"}});
        PlainConnection plain(catalogue_.dir());
        for (const auto& row :
             plain.rows("SELECT qv.id, vytisk, cislo, nejzajimavejsi_casti, memo.obsah "
                        "FROM qv LEFT JOIN mb.memo ON memo.id = qv.id")) {
            stored_[std::stoll(row[0])] = row;
        }
        before_ = testing::snapshot(catalogue_.dir());
    }

    static std::string shown(const std::optional<std::string>& value) {
        return value.value_or("<null>");
    }

    // Opens the statement; if the engine takes it, every row it gives must be a row of qv as
    // stored, memo and all.
    void runAndCheck(Database& db, const std::string& text) {
        std::unique_ptr<Cursor> cursor;
        try {
            cursor = Cursor::open(db, text, true);
        } catch (const EDBEngineError&) {
            ++refused_;
            return;
        }
        ++accepted_;
        for (const RowData& row : testing::walkForward(*cursor, 3)) {
            const auto found = stored_.find(row.id);
            ASSERT_NE(found, stored_.end()) << "a row not in qv, id " << row.id << ": " << text;
            const std::vector<std::string>& expected = found->second;
            EXPECT_EQ(shown(row.strings[0]), expected[1]) << text;
            EXPECT_EQ(shown(row.strings[1]), expected[2]) << text;
            EXPECT_EQ(shown(row.strings[2]), expected[3]) << text;
            EXPECT_EQ(shown(cursor->readMemo(row.id)), expected[4]) << text;
        }
    }

    void expectNothingChanged() {
        const DirSnapshot after = testing::snapshot(catalogue_.dir());
        EXPECT_EQ(testing::fileNames(after), testing::fileNames(before_));
        EXPECT_TRUE(after.at("qv.db") == before_.at("qv.db")) << "qv.db changed";
        EXPECT_TRUE(after.at("qv.mb") == before_.at("qv.mb")) << "qv.mb changed";
        PlainConnection plain(catalogue_.dir());
        EXPECT_EQ(plain.integer("SELECT count(*) FROM qv"), 6);
        EXPECT_EQ(plain.integer("SELECT count(*) FROM mb.memo"), 5);
    }

    TempCatalogue catalogue_;
    std::map<std::int64_t, std::vector<std::string>> stored_;
    DirSnapshot before_;
    int refused_ = 0;
    int accepted_ = 0;
};

TEST_F(HostileSearch, EveryTextInEveryFieldAndOrderFindsExactlyTheRowsHoldingIt) {
    std::vector<std::string> texts = hostileTexts();
    for (const char* typed :
         {"\"Mladý", "Klub \"Mladý svět\"", "Rock'n'roll: návrat", "'n'roll:", "`kód`",
          "C:\\data\\", "\\", "a::b", "::", ":jmeno", "' ::", "50%", "50\\%", "sleva_x", "_",
          "\"\"; ''", "\" or vytisk like \"", "4:2001", "`Rock`"}) {
        texts.push_back(typed);
    }
    int found = 0;
    {
        Engine engine(catalogue_.dir());
        for (const std::string& text : texts) {
            for (SearchField field : {SearchField::Title, SearchField::IssueNumber,
                                      SearchField::InterestingParts, SearchField::Contents}) {
                const int column = static_cast<int>(field) + 1;
                std::set<std::int64_t> expected;
                for (const auto& [id, row] : stored_) {
                    if (row[column] != "<null>" &&
                        testing::likeByScan(row[column], "%" + text + "%")) {
                        expected.insert(id);
                    }
                }
                for (SortOrder order :
                     {SortOrder::Unsorted, SortOrder::ByTitle, SortOrder::ByIssueNumber}) {
                    StatementClauses clauses;
                    clauses.FilterClause = searchClause(field, text);
                    clauses.OrderClause = orderClause(order);
                    // As the record set hands the statement over, after its parameter scan.
                    const ScannedStatement scanned =
                        scanParameters(joinStatementLines(statementLines(clauses)));
                    ASSERT_TRUE(scanned.parameters.empty()) << text;
                    std::set<std::int64_t> ids;
                    std::unique_ptr<Cursor> cursor =
                        Cursor::open(engine.database(), scanned.text, true);
                    for (const RowData& row : testing::walkForward(*cursor, 3)) {
                        ids.insert(row.id);
                    }
                    EXPECT_EQ(ids, expected) << "field " << column << " searched for " << text;
                    found += static_cast<int>(ids.size());
                }
            }
        }
    }
    expectNothingChanged();
    EXPECT_GT(found, 100);  // the texts find rows, not only nothing
}

TEST_F(HostileSearch, HostileWholeStatementsAreRefusedAndChangeNothing) {
    {
        Engine engine(catalogue_.dir());
        for (const std::string& hostile : hostileTexts()) {
            for (const std::string& text :
                 {hostile, "select * from qv " + hostile, "select * from qv where " + hostile,
                  "select * from qv\r\n" + hostile + "\r\n\r\n"}) {
                runAndCheck(engine.database(), text);
            }
        }
    }
    expectNothingChanged();
}

// A statement of a million opening parentheses must end as an engine error like any other
// text outside the dialect, not take the program down. Run in a child process so that a crash
// fails this test only.
TEST_F(HostileSearch, DeeplyNestedParenthesesAreRefusedWithoutCrashing) {
    StatementClauses clauses;
    clauses.FilterClause =
        "where (vytisk like \"%\" or " + std::string(1000000, '(') + "vytisk like \"%\")";
    const std::string text = joinStatementLines(statementLines(clauses));
    const std::filesystem::path dir = catalogue_.dir();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // The sanitizer's report of a stack overflow runs to hundreds of frames; the exit
        // status says enough.
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDERR_FILENO);
        int outcome = 3;
        try {
            Engine engine(dir);
            Cursor::open(engine.database(), text, true);
            outcome = 2;  // accepted: not a crash, but no statement of the dialect either
        } catch (const EDBEngineError&) {
            outcome = 0;
        } catch (...) {
            outcome = 4;
        }
        ::_exit(outcome);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status)) << "the engine died of signal " << WTERMSIG(status);
    if (WIFEXITED(status)) {
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "0: refused with an engine error; 1: the sanitizer stopped it (a stack overflow); "
               "2: accepted; 4: another exception";
    }
    expectNothingChanged();
}

}  // namespace
}  // namespace quorvel
