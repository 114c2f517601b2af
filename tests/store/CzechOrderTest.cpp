// Sorted results in Czech order, read through Query1 on a real catalogue a few rows at a time,
// and files the sqlite3 tool reads and checks on its own.
#include <gtest/gtest.h>

#include <cstdio>

#include "TempCatalogue.h"
#include "recordset/DataSource.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel {
namespace {

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

TEST(CzechOrder, EveryFieldSortsInCzechOrderWithEmptiesFirstAndTiesInStoredOrder) {
    const struct {
        const char* field;
        int column;
        const std::vector<std::string>& expected;
    } cases[] = {
        {"Vytisk", 0, czechWords},
        {"Cislo", 1, issueNumbers},
        {"Nejzajimavejsi_casti", 2, czechWords},  // these two have no sort key column
        {"Obsah_vytisku", 3, czechWords},
    };
    for (const auto& [field, column, expected] : cases) {
        SCOPED_TRACE(field);
        // Stored in reverse, so that neither ids nor bytes give the order by chance; each row's
        // place in storing order kept in another field.
        std::vector<testing::Entry> rows;
        for (auto text = expected.rbegin(); text != expected.rend(); ++text) {
            testing::Entry& entry = rows.emplace_back();
            std::optional<std::string>* fields[] = {&entry.vytisk, &entry.cislo, &entry.casti,
                                                    &entry.memo};
            *fields[column] = *text;
            *fields[column == 0 ? 1 : 0] = std::to_string(rows.size());
        }
        TempCatalogue catalogue;
        catalogue.fill(rows);
        Engine engine(catalogue.dir());
        RecordSet set(engine);
        DataSource source(&set);
        set.SetBufferCount(3);  // the walk reads onwards from each row's key many times
        set.AddSQL("select * from qv");
        set.AddSQL("");
        set.AddSQL(std::string("order by ") + field);
        set.Open();
        const Field& sorted = set.FieldByName(field);
        const Field& tag = set.FieldByName(column == 0 ? "Cislo" : "Vytisk");
        std::vector<std::string> texts;
        int lastStored = -1;
        do {
            const int stored = std::stoi(tag.AsString());
            if (!texts.empty() && texts.back() == sorted.AsString()) {
                EXPECT_LT(lastStored, stored) << "tie at " << texts.back();
            }
            texts.push_back(sorted.AsString());
            lastStored = stored;
        } while (set.MoveBy(1) == 1);
        EXPECT_EQ(texts, expected);
    }
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

TEST(CzechOrder, AnEditedRowTakesItsNewPlaceAndTheSqlite3ToolReadsTheKeysWithoutUs) {
    TempCatalogue catalogue;
    catalogue.fill({{"Čtenář", "2/1998", {}, {}},
                    {"Zub", "12/1998", {}, {}},
                    {"Hrad", "1/1998", {}, {}},
                    {"Ida", "10/1998", {}, {}},
                    {"Cesta", "5/1998", {}, {}}});
    Engine engine(catalogue.dir());
    {
        std::unique_ptr<Cursor> live =
            Cursor::open(engine.database(), testing::statementOf(), true);
        RowData zub = live->lockRow(testing::rowWithId(*live, 2));
        zub.strings = {std::string("chleba"), std::string("3/1998"), std::nullopt};
        live->modifyRow(zub);
    }
    const auto sortedBy = [&](const char* order, int column) {
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf({}, order), false);
        std::string values;
        for (const RowData& row : testing::walkForward(*cursor, 1)) {
            values += row.strings[column].value_or("") + "\n";
        }
        return values;
    };
    EXPECT_EQ(sortedBy("order by vytisk", 0), "Cesta\nČtenář\nHrad\nchleba\nIda\n");
    EXPECT_EQ(sortedBy("order by cislo", 1), "1/1998\n2/1998\n3/1998\n5/1998\n10/1998\n");
    EXPECT_EQ(sqlite3Tool(catalogue.rowsPath(), "PRAGMA integrity_check"), "ok\n");
    EXPECT_EQ(sqlite3Tool(catalogue.memoPath(), "PRAGMA integrity_check"), "ok\n");
    // Its own walk of the index gives the Czech order too.
    EXPECT_EQ(sqlite3Tool(catalogue.rowsPath(),
                          "SELECT vytisk FROM qv INDEXED BY qv_by_vytisk WHERE vytisk_key >= x'' "
                          "ORDER BY vytisk_key"),
              sortedBy("order by vytisk", 0));
}

}  // namespace
}  // namespace quorvel
