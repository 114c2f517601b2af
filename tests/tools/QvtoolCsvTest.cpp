// qvtool import and export: a round trip gives the same table and the same bytes, whichever
// line ends and quoting the file came with; a row the program would refuse stops the import
// with its line and reason and leaves both files as they were; export follows the program's
// order and never leaves a partial or overwritten file.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "CsvReader.h"
#include "Cursor.h"
#include "Database.h"
#include "EDBEngineError.h"
#include "Engine.h"
#include "QvtoolProcess.h"
#include "StatementComposer.h"
#include "StatementText.h"
#include "TemporaryDirectory.h"

namespace quorvel::testing {
namespace {

using tools::CatalogueIssue;

const std::string header = "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku";

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Czech text, commas, quotes, memos with CR LF and LF, empty fields, every field at its size.
const std::vector<CatalogueIssue> issues{
    {"Vesmír", "3/1998", "černé díry, \"reliktní\" záření", "Řádek jedna\r\nŘádek dva\r\n"},
    {"ABC", "", "", "první\nčást\n\n\"citát\""},
    {"Čtení, \"výběr\"", "12/2001", "", ""},
    {"  ", "", "", ""},
    {repeat("Ž", 50), "123456789/12345", repeat("ů", 150), " mezery na krajích "},
};

// issues as a file in another hand: a byte-order mark or not, LF or CR LF, every field quoted
// or none that needn't be, with or without a line end after the last row.
std::string handWritten(bool bom, const std::string& lineEnd, bool quoteAll, bool lastEnded) {
    const auto field = [quoteAll](const std::string& text) {
        if (!quoteAll && text.find_first_of(",\"\r\n") == std::string::npos) {
            return text;
        }
        std::string quoted = "\"";
        for (char c : text) {
            quoted += c == '"' ? "\"\"" : std::string(1, c);
        }
        return quoted + "\"";
    };
    std::string csv = (bom ? "\xEF\xBB\xBF" : "") + header;
    for (const CatalogueIssue& issue : issues) {
        csv += lineEnd + field(issue.title) + "," + field(issue.number) + "," + field(issue.parts) +
               "," + field(issue.contents);
    }
    return lastEnded ? csv + lineEnd : csv;
}

// How the table keeps values: NULLs per column and any empty text stored as such.
std::string storedForm(const std::filesystem::path& directory) {
    return sqliteText(directory,
                      "SELECT (SELECT count(*) FROM qv WHERE cislo IS NULL) || ',' || "
                      "(SELECT count(*) FROM qv WHERE nejzajimavejsi_casti IS NULL) || ',' || "
                      "(SELECT count(*) FROM mb.memo) || ',' || (SELECT count(*) FROM qv "
                      "WHERE vytisk = '' OR cislo = '' OR nejzajimavejsi_casti = '')");
}

struct Catalogue {
    explicit Catalogue(const char* command = "create") {
        const QvtoolRun run = runQvtool({command, directory.path().string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    std::string path() const { return directory.path().string(); }
    TemporaryDirectory directory;
};

template <typename Case>
std::string nameOf(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

struct Dialect {
    std::string name;
    std::string csv;
};

void PrintTo(const Dialect& dialect, std::ostream* out) {
    *out << dialect.name;
}

class QvtoolCsvRoundTrip : public ::testing::TestWithParam<Dialect> {};

TEST_P(QvtoolCsvRoundTrip, GivesTheSameRowsAndTheSameBytesAgain) {
    const TemporaryDirectory files;
    const std::filesystem::path input = files.path() / "vstup.csv";
    writeFile(input, GetParam().csv);
    const Catalogue source;
    const QvtoolRun imported = runQvtool({"import", input.string(), source.path()});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(imported.err, "");
    EXPECT_EQ(imported.out,
              "Imported 5 issues from " + input.string() + " into " + source.path() + ".\n");
    EXPECT_EQ(readCatalogue(source.directory.path()), issues);

    const std::string first = (files.path() / "first.csv").string();
    const QvtoolRun exported = runQvtool({"export", source.path(), first});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.err, "");
    // CR LF, and quotes only where needed.
    EXPECT_EQ(fileBytes(first), handWritten(false, "\r\n", false, true));

    const Catalogue copy;
    ASSERT_EQ(runQvtool({"import", first, copy.path()}).exitCode, 0);
    EXPECT_EQ(readCatalogue(copy.directory.path()), issues);
    EXPECT_EQ(storedForm(copy.directory.path()), "2,3,3,0");
    const std::string second = (files.path() / "second.csv").string();
    ASSERT_EQ(runQvtool({"export", copy.path(), second}).exitCode, 0);
    EXPECT_EQ(fileBytes(second), fileBytes(first));
}

INSTANTIATE_TEST_SUITE_P(
    Dialects, QvtoolCsvRoundTrip,
    ::testing::Values(Dialect{"BomLfLastUnended", handWritten(true, "\n", false, false)},
                      Dialect{"CrLfAllQuoted", handWritten(false, "\r\n", true, true)},
                      Dialect{"BomCrLfLastUnended", handWritten(true, "\r\n", false, false)}),
    nameOf<Dialect>);

struct Refusal {
    std::string name;
    std::string csv;
    int line;
    std::string reason;
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.name;
}

class QvtoolCsvRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(QvtoolCsvRefusal, NamesTheLineAndReasonAndLeavesTheCatalogueAsItWas) {
    const Catalogue demo("demo");
    const auto bytes = [&demo] {
        return fileBytes(demo.directory.path() / "qv.db") +
               fileBytes(demo.directory.path() / "qv.mb");
    };
    const std::string before = bytes();
    const TemporaryDirectory files;
    const std::filesystem::path input = files.path() / "chyba.csv";
    writeFile(input, GetParam().csv);

    const QvtoolRun run = runQvtool({"import", input.string(), demo.path()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "qvtool: " + input.string() + ":" + std::to_string(GetParam().line) + ": " +
                           GetParam().reason + "\n");
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(directoryListing(demo.directory.path()),
              (std::vector<std::string>{"qv.db", "qv.mb"}));
}

const std::string h = header + "\r\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, QvtoolCsvRefusal,
    ::testing::Values(
        Refusal{"TitleOf51Characters", h + "A,1,,\"dva\nřádky\"\n" + repeat("Ř", 51) + ",,,\n", 4,
                "Vytisk has 51 characters, more than 50"},
        Refusal{"EmptyTitle", h + "A,,,\n,1/2000,x,y\n", 3, "Vytisk is empty: a title is required"},
        Refusal{"TitleOfOneSpace", h + " ,1,,\n", 2,
                "Vytisk is a single space: a title is required"},
        Refusal{"NumberOf16Characters", h + "A," + repeat("č", 16) + ",,\n", 2,
                "Cislo has 16 characters, more than 15"},
        Refusal{"PartsOf151Characters", h + "A,," + repeat("x", 151) + ",\n", 2,
                "Nejzajimavejsi_casti has 151 characters, more than 150"},
        Refusal{"ThreeFields", h + "A,B,C\n", 2, "3 fields, not 4"},
        Refusal{"FiveFields", h + "A,\"x\r\ny\",C,D,E\r\n", 2, "5 fields, not 4"},
        Refusal{"BlankLastLine", h + "A,,,\n\n", 3, "1 field, not 4"},
        Refusal{"BrokenSequence", h + "A,B,C,\xC3\x28\n", 2, "field 4 is not valid UTF-8"},
        Refusal{"OverlongForm", h + "A,,,\n\xC0\xAF,,,\n", 3, "field 1 is not valid UTF-8"},
        Refusal{"CodePage1250Byte",
                h + "A,\xE8\xED"
                    "slo,,\n",
                2, "field 2 is not valid UTF-8"},
        Refusal{"Surrogate", h + "A,,,\xED\xA0\x80\n", 2, "field 4 is not valid UTF-8"},
        Refusal{"UnclosedQuote", h + "A,,,x\nB,,,\"otevřeno\ndál\n", 3,
                "a quoted field is not closed by the end of the file"},
        Refusal{"WrongHeader", "Vytisk,Cislo,Obsah_vytisku\nA,B,C\n", 1,
                "the header is not " + header},
        Refusal{"EmptyFile", "", 1, "the file is empty, without the header " + header},
        Refusal{"QuoteInsideUnquotedField", h + "A\"B,,,\n", 2,
                "a quote inside field 1, which doesn't start with one"},
        Refusal{"TextAfterClosingQuote", h + "\"A\"B,,,\n", 2,
                "text after the closing quote of field 1"},
        Refusal{"BareCarriageReturn", h + "A,,,\rB,,,\r\n", 2,
                "a CR that LF doesn't follow, outside quotes"},
        Refusal{"NulCharacter", h + std::string("A,\0,,\n", 6), 2, "Cislo holds a NUL character"}),
    nameOf<Refusal>);

// The program's own walk of its statement for a sort: titles and numbers in its order.
std::vector<std::string> programOrder(const std::filesystem::path& directory, SortOrder order) {
    Engine engine(directory);
    const std::unique_ptr<Cursor> cursor = engine.database().openCursor(
        joinStatementLines(statementLines({"select * from qv", "", orderClause(order)})), false);
    std::vector<std::string> keys;
    for (std::vector<RowData> rows = cursor->readFirst(7); !rows.empty();
         rows = cursor->readAfter(rows.back(), 7)) {
        for (const RowData& row : rows) {
            keys.push_back(row.strings[0].value_or("") + "|" + row.strings[1].value_or(""));
        }
    }
    return keys;
}

std::vector<std::string> exportedOrder(const std::filesystem::path& csv) {
    tools::CsvReader reader(csv);
    tools::CsvRecord record;
    std::vector<std::string> keys;
    while (reader.next(record)) {
        keys.push_back(record.fields[0] + "|" + record.fields[1]);
    }
    keys.erase(keys.begin());
    return keys;
}

TEST(QvtoolCsvExport, WritesTheRowsInTheProgramsOrderForEachSort) {
    const Catalogue demo("demo");
    const TemporaryDirectory files;
    const std::vector<std::string> stored =
        programOrder(demo.directory.path(), SortOrder::Unsorted);
    ASSERT_EQ(stored.size(), 50u);
    for (const auto& [option, order] : {std::pair<std::string, SortOrder>{"", SortOrder::Unsorted},
                                        {"vytisk", SortOrder::ByTitle},
                                        {"cislo", SortOrder::ByIssueNumber}}) {
        const std::filesystem::path csv = files.path() / ("rows-" + option + ".csv");
        std::vector<std::string> arguments{"export", demo.path(), csv.string()};
        if (!option.empty()) {
            arguments.insert(arguments.end(), {"--order", option});
        }
        const QvtoolRun run = runQvtool(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<std::string> expected = programOrder(demo.directory.path(), order);
        EXPECT_EQ(exportedOrder(csv), expected) << option;
        EXPECT_EQ(option.empty(), expected == stored) << option;
    }
}

TEST(QvtoolCsvExport, AFullDiskOrAnExistingFileLeavesNoPartialOrChangedFile) {
    const Catalogue demo("demo");
    const TemporaryDirectory files;
    const std::filesystem::path csv = files.path() / "zaloha.csv";
    QvtoolRun run = runQvtool({"export", demo.path(), csv.string()}, 4096);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + csv.string() + ": File too large\n");
    EXPECT_TRUE(directoryListing(files.path()).empty());

    writeFile(csv, "older");
    run = runQvtool({"export", demo.path(), csv.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + csv.string() + ": File exists\n");
    EXPECT_EQ(fileBytes(csv), "older");
    EXPECT_EQ(directoryListing(files.path()), std::vector<std::string>{"zaloha.csv"});
}

TEST(QvtoolCsv, WithoutACatalogueBothFailWithTheEnginesMessage) {
    const TemporaryDirectory empty;
    const TemporaryDirectory files;
    const std::filesystem::path csv = files.path() / "rows.csv";
    writeFile(csv, header + "\r\n");
    std::string message;
    try {
        Engine(empty.path()).database();
    } catch (const EDBEngineError& error) {
        message = error.message();
    }
    ASSERT_FALSE(message.empty());
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"import", csv.string(), empty.path().string()},
          {"export", empty.path().string(), (files.path() / "out.csv").string()}}) {
        const QvtoolRun run = runQvtool(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qvtool: " + message + "\n");
        EXPECT_TRUE(directoryListing(empty.path()).empty());
    }
    EXPECT_EQ(directoryListing(files.path()), std::vector<std::string>{"rows.csv"});
}

TEST(QvtoolCsv, ShowsProgressOnATerminal) {
    const Catalogue demo("demo");
    const TemporaryDirectory files;
    const std::string csv = (files.path() / "rows.csv").string();
    QvtoolRun run = runQvtoolOnTerminal({"export", demo.path(), csv});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\rqvtool: exporting " + csv + ": 100%"), std::string::npos) << run.out;
    const Catalogue copy;
    run = runQvtoolOnTerminal({"import", csv, copy.path()});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("\rqvtool: importing " + csv + ": 100%"), std::string::npos) << run.out;
    EXPECT_EQ(readCatalogue(copy.directory.path()), readCatalogue(demo.directory.path()));
}

}  // namespace
}  // namespace quorvel::testing
