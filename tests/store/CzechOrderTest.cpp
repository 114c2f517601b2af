// Sorted results in Czech order, read through Query1 on a real catalogue a few rows at a time:
// every letter with a diacritic, ch between h and i, capitals among the small letters, numbers
// in natural order, empty fields first and equal values in the order they were stored. And the
// files stay the sqlite3 tool's to read and check.
#include <gtest/gtest.h>

#include <cstdio>

#include "DataSource.h"
#include "Field.h"
#include "RecordSet.h"
#include "TempCatalogue.h"

namespace quorvel {
namespace {

using testing::Entry;
using testing::TempCatalogue;

// In the order a Czech reader expects; equal texts stand together.
const std::vector<std::string> czechWords = {
    "",        "",       "abeceda", "Ábel",   "baron", "Cesta", "Cesta", "cukr",  "Čtenář",
    "čtvrtek", "D",      "ďas",     "dub",    "Éra",   "Eva",   "Hrad",  "Chata", "chleba",
    "Ida",     "ílovec", "ironie",  "Laň",    "lano",  "óda",   "ofina", "rytíř", "Řád",
    "sova",    "sůl",    "suma",    "sýkora", "sypat", "šaty",  "ťapka", "tuba",  "Úl",
    "umění",   "věda",   "vedro",   "Zub",    "žába"};

const std::vector<std::string> issueNumbers = {
    "",       "",        "1",       "1/1998",  "1/2001",   "2/1998", "2/1999",
    "9/1998", "10/1998", "12/1998", "12/1998", "100/1997", "Speciál"};

struct SortCase {
    const char* field;
    int column;
    const std::vector<std::string>* expected;
};

// One row per expected text, stored in reverse order, so that neither the ids nor the bytes
// give the order by chance. Each row's number in storing order is kept in another field.
std::vector<Entry> rowsFor(const SortCase& sortCase) {
    std::vector<Entry> rows;
    const std::vector<std::string>& texts = *sortCase.expected;
    for (auto text = texts.rbegin(); text != texts.rend(); ++text) {
        const std::string stored = std::to_string(rows.size());
        Entry entry;
        std::optional<std::string>* fields[] = {&entry.vytisk, &entry.cislo, &entry.casti,
                                                &entry.memo};
        *fields[sortCase.column] = *text;
        *fields[sortCase.column == 0 ? 1 : 0] = stored;
        rows.push_back(entry);
    }
    return rows;
}

// The set's rows from the first on, as pairs of the sorted field and the storing number.
std::vector<std::pair<std::string, int>> walk(RecordSet& set, const SortCase& sortCase) {
    const Field& sorted = set.FieldByName(sortCase.field);
    const Field& tag = set.FieldByName(sortCase.column == 0 ? "Cislo" : "Vytisk");
    std::vector<std::pair<std::string, int>> rows;
    set.First();
    do {
        rows.emplace_back(sorted.AsString(), std::stoi(tag.AsString()));
    } while (set.MoveBy(1) == 1);
    return rows;
}

TEST(CzechOrder, EveryFieldSortsInCzechOrderWithEmptiesFirstAndTiesInStoredOrder) {
    const SortCase cases[] = {
        {"Vytisk", 0, &czechWords},
        {"Cislo", 1, &issueNumbers},
        // Without a sort key of their own: the connection's collation sorts them.
        {"Nejzajimavejsi_casti", 2, &czechWords},
        {"Obsah_vytisku", 3, &czechWords},
    };
    for (const SortCase& sortCase : cases) {
        SCOPED_TRACE(sortCase.field);
        TempCatalogue catalogue;
        catalogue.fill(rowsFor(sortCase));
        Engine engine(catalogue.dir());
        RecordSet set(engine);
        DataSource source(&set);
        // A window of three rows: the walk reads onwards from each row's key many times.
        set.SetBufferCount(3);
        set.AddSQL("select * from qv");
        set.AddSQL("");
        set.AddSQL(std::string("order by ") + sortCase.field);
        set.Open();
        const std::vector<std::pair<std::string, int>> rows = walk(set, sortCase);
        std::vector<std::string> texts;
        for (const auto& [text, stored] : rows) {
            texts.push_back(text);
        }
        EXPECT_EQ(texts, *sortCase.expected);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            if (rows[i].first == rows[i - 1].first) {
                EXPECT_LT(rows[i - 1].second, rows[i].second) << "tie at " << rows[i].first;
            }
        }
    }
}

TEST(CzechOrder, AnEditedRowTakesItsNewPlaceInTheOrder) {
    TempCatalogue catalogue;
    catalogue.fill({{"Čtenář", "2/1998", std::nullopt, std::nullopt},
                    {"Zub", "12/1998", std::nullopt, std::nullopt},
                    {"Hrad", "1/1998", std::nullopt, std::nullopt}});
    Engine engine(catalogue.dir());
    {
        std::unique_ptr<Cursor> live = engine.database().openCursor(testing::statementOf(), true);
        RowData zub = live->lockRow(testing::rowWithId(*live, 2));
        zub.strings = {std::string("chleba"), std::string("3/1998"), std::nullopt};
        live->modifyRow(zub);
    }
    const auto sortedBy = [&](const char* order, int column) {
        std::unique_ptr<Cursor> cursor =
            engine.database().openCursor(testing::statementOf({}, order), false);
        std::vector<std::string> values;
        for (const RowData& row : testing::walkForward(*cursor, 1)) {
            values.push_back(row.strings[column].value_or(""));
        }
        return values;
    };
    EXPECT_EQ(sortedBy("order by vytisk", 0),
              (std::vector<std::string>{"Čtenář", "Hrad", "chleba"}));
    EXPECT_EQ(sortedBy("order by cislo", 1),
              (std::vector<std::string>{"1/1998", "2/1998", "3/1998"}));
}

// Runs the sqlite3 tool on a file; its output.
std::string sqlite3Tool(const std::filesystem::path& file, const std::string& sql) {
    const std::string command = "sqlite3 -readonly '" + file.string() + "' \"" + sql + "\" 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return "popen failed";
    }
    std::string output;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    ::pclose(pipe);
    return output;
}

TEST(CzechOrder, TheSqlite3ToolReadsAndChecksTheFilesWithoutUs) {
    TempCatalogue catalogue;
    catalogue.fill(rowsFor({"Vytisk", 0, &czechWords}));
    EXPECT_EQ(sqlite3Tool(catalogue.rowsPath(), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(sqlite3Tool(catalogue.memoPath(), "PRAGMA integrity_check"), "ok\n");
    // Its own walk of the index gives the Czech order too.
    EXPECT_EQ(sqlite3Tool(catalogue.rowsPath(),
                          "SELECT vytisk FROM qv INDEXED BY qv_by_vytisk WHERE vytisk_key >= x'' "
                          "AND vytisk IN ('Hrad', 'Chata', 'Ida', 'Cesta', 'Čtenář', 'D') "
                          "ORDER BY vytisk_key"),
              "Cesta\nCesta\nČtenář\nD\nHrad\nChata\nIda\n");
}

}  // namespace
}  // namespace quorvel
