// qvtool import and export: whichever line ends, byte-order mark and quoting a file came with, the
// same rows are imported and exported in one form; a row the program would refuse stops the
// import with its line and reason and leaves the catalogue as it was; export follows the
// program's order and never leaves a partial or overwritten file.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CatalogueReading.h"
#include "EDBEngineError.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "csv/CsvReader.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"

namespace quorvel::testing {
namespace {

using tools::CatalogueIssue;
using Cases = std::vector<std::pair<std::string, std::string>>;

const std::string header = "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku";

std::string repeat(const std::string& text, int times) {
    std::string result;
    for (int i = 0; i < times; ++i) {
        result += text;
    }
    return result;
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

struct Catalogue {
    explicit Catalogue(const char* command = "create") {
        const QvtoolRun run = runQvtool({command, directory.path().string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    std::string path() const { return directory.path().string(); }
    TemporaryDirectory directory;
};

// The demo catalogue and a directory for the CSV files.
class QvtoolCsv : public ::testing::Test {
  protected:
    std::string file(const std::string& name) const { return (files.path() / name).string(); }
    std::string write(const std::string& name, const std::string& bytes) const {
        std::ofstream(file(name), std::ios::binary) << bytes;
        return file(name);
    }
    const Catalogue demo{"demo"};
    const TemporaryDirectory files;
};

TEST_F(QvtoolCsv, ImportReadsEveryDialectAsTheSameRowsAndExportWritesThemInOneForm) {
    const std::string exported = handWritten(false, "\r\n", false, true);  // quotes where needed
    for (const auto& [name, csv] :
         Cases{{"exported", exported},
               {"bom-lf-unended", handWritten(true, "\n", false, false)},
               {"crlf-all-quoted", handWritten(false, "\r\n", true, true)},
               {"bom-crlf-unended", handWritten(true, "\r\n", false, false)}}) {
        SCOPED_TRACE(name);
        const std::string input = write(name + ".csv", csv);
        const Catalogue catalogue;
        const QvtoolRun run = runQvtool({"import", input, catalogue.path()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, "Imported 5 issues from " + input + " into " + catalogue.path() + ".\n");
        EXPECT_EQ(readCatalogue(catalogue.directory.path()), issues);
        // Empty numbers and parts are NULLs, an empty memo no row, and no text is stored empty.
        EXPECT_EQ(sqliteText(catalogue.directory.path(),
                             "SELECT (SELECT count(*) FROM qv WHERE cislo IS NULL) || ',' || "
                             "(SELECT count(*) FROM qv WHERE nejzajimavejsi_casti IS NULL) || ',' "
                             "|| (SELECT count(*) FROM mb.memo) || ',' || (SELECT count(*) FROM qv "
                             "WHERE vytisk = '' OR cislo = '' OR nejzajimavejsi_casti = '')"),
                  "2,3,3,0");
        const std::string output = file(name + "-out.csv");
        const QvtoolRun exportRun = runQvtool({"export", catalogue.path(), output});
        EXPECT_EQ(exportRun.exitCode, 0) << exportRun.err;
        EXPECT_EQ(exportRun.err, "");
        EXPECT_EQ(fileBytes(output), exported);
    }
}

TEST_F(QvtoolCsv, ImportNamesTheRefusedLineAndReasonAndLeavesTheCatalogueAsItWas) {
    const auto bytes = [this] {
        return fileBytes(demo.directory.path() / "qv.db") +
               fileBytes(demo.directory.path() / "qv.mb");
    };
    const std::string before = bytes();
    const std::string h = header + "\r\n";
    // Marked as UTF-8 by a byte-order mark, bytes that aren't are refused, never guessed away.
    const std::string marked = "\xEF\xBB\xBF" + h;
    const std::string utf8 = "is not valid UTF-8";
    struct Refusal {
        std::string csv;
        int line;
        std::string reason;
    };
    for (const Refusal& refusal : std::vector<Refusal>{
             {h + "A,1,,\"dva\nřádky\"\n" + repeat("Ř", 51) + ",,,\n", 4,
              "Vytisk has 51 characters, more than 50"},
             {h + "A,,,\n,1/2000,x,y\n", 3, "Vytisk is empty: a title is required"},
             {h + " ,1,,\n", 2, "Vytisk is a single space: a title is required"},
             {h + "A," + repeat("č", 16) + ",,\n", 2, "Cislo has 16 characters, more than 15"},
             {h + "A,," + repeat("x", 151) + ",\n", 2,
              "Nejzajimavejsi_casti has 151 characters, more than 150"},
             {h + "A,B,C\n", 2, "3 fields, not 4"},
             {h + "A,\"x\r\ny\",C,D,E\r\n", 2, "5 fields, not 4"},
             {h + "A,,,\n\nB\n", 4, "1 field, not 4"},                // the blank line is skipped
             {marked + "A,B,C,\xC3\x28\n", 2, "field 4 " + utf8},     // a broken sequence
             {marked + "A,,,\n\xC0\xAF,,,\n", 3, "field 1 " + utf8},  // an overlong form
             {marked + "A,\xE8\xEDslo,,\n", 2, "field 2 " + utf8},    // code page 1250
             {marked + "A,,,\xED\xA0\x80\n", 2, "field 4 " + utf8},   // a surrogate
             {h + "A,,,x\nB,,,\"otevřeno\ndál\n", 3,
              "a quoted field is not closed by the end of the file"},
             {"", 1, "the file is empty, without the header " + header},
             {h + "A\"B,,,\n", 2, "a quote inside field 1, which doesn't start with one"},
             {h + "\"A\"B,,,\n", 2, "text after the closing quote of field 1"},
             {h + "A,,,\rB,,,\r\n", 2, "a CR that LF doesn't follow, outside quotes"},
             {h + std::string("A,\0,,\n", 6), 2, "Cislo holds a NUL character"}}) {
        SCOPED_TRACE(refusal.reason);
        const std::string input = write("chyba.csv", refusal.csv);
        const QvtoolRun run = runQvtool({"import", input, demo.path()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "qvtool: " + input + ":" + std::to_string(refusal.line) + ": " +
                               refusal.reason + "\n");
        EXPECT_EQ(bytes(), before);
        EXPECT_EQ(directoryListing(demo.directory.path()),
                  (std::vector<std::string>{"qv.db", "qv.mb"}));
    }
}

// The program's own walk of its statement for a sort: titles and numbers in its order.
std::vector<std::string> programOrder(const std::filesystem::path& directory, SortOrder order) {
    Engine engine(directory);
    const std::unique_ptr<Cursor> cursor = Cursor::open(
        engine.database(),
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

TEST_F(QvtoolCsv, ExcelExportIsUtf8WithAByteOrderMarkAndSemicolons) {
    const std::string input = write("list.csv",
                                    "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\n"
                                    "\"Vesmír; zvláštní\",3/1998,\"díry, hvězdy\",\"a\"\"b\"\n");
    const Catalogue catalogue;
    ASSERT_EQ(runQvtool({"import", input, catalogue.path()}).exitCode, 0);
    const std::string output = file("excel.csv");
    const QvtoolRun run = runQvtool({"export", catalogue.path(), output, "--excel"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The semicolon quotes a field; a comma doesn't.
    EXPECT_EQ(fileBytes(output),
              "\xEF\xBB\xBFVytisk;Cislo;Nejzajimavejsi_casti;Obsah_vytisku\r\n"
              "\"Vesmír; zvláštní\";3/1998;díry, hvězdy;\"a\"\"b\"\r\n");
}

TEST_F(QvtoolCsv, ExportWritesTheRowsInTheProgramsOrderForEachSort) {
    const std::vector<std::string> stored =
        programOrder(demo.directory.path(), SortOrder::Unsorted);
    ASSERT_EQ(stored.size(), 50u);
    for (const auto& [option, order] : {std::pair<std::string, SortOrder>{"", SortOrder::Unsorted},
                                        {"vytisk", SortOrder::ByTitle},
                                        {"cislo", SortOrder::ByIssueNumber}}) {
        const std::string csv = file("rows-" + option + ".csv");
        std::vector<std::string> arguments{"export", demo.path(), csv};
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

TEST_F(QvtoolCsv, ExportOnAFullDiskOrOverAFileLeavesNoPartialOrChangedFile) {
    const std::string csv = file("zaloha.csv");
    QvtoolRun run = runQvtool({"export", demo.path(), csv}, 4096);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + csv + ": File too large\n");
    EXPECT_TRUE(directoryListing(files.path()).empty());

    write("zaloha.csv", "older");
    run = runQvtool({"export", demo.path(), csv});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + csv + ": File exists\n");
    EXPECT_EQ(fileBytes(csv), "older");
    EXPECT_EQ(directoryListing(files.path()), std::vector<std::string>{"zaloha.csv"});
}

TEST_F(QvtoolCsv, WithoutACatalogueBothFailWithTheEnginesMessage) {
    const TemporaryDirectory empty;
    std::string message;
    try {
        Engine(empty.path()).database();
    } catch (const EDBEngineError& error) {
        message = error.message();
    }
    ASSERT_FALSE(message.empty());
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"import", write("rows.csv", header + "\r\n"),
                                   empty.path().string()},
          {"export", empty.path().string(), file("out.csv")}}) {
        const QvtoolRun run = runQvtool(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qvtool: " + message + "\n");
        EXPECT_TRUE(directoryListing(empty.path()).empty());
    }
    EXPECT_EQ(directoryListing(files.path()), std::vector<std::string>{"rows.csv"});
}

// Header names and fields are quoted in refusals and in the dry run's report: an escape
// sequence, a bell or a C1 control among them is written out visibly, never sent to the terminal.
TEST_F(QvtoolCsv, WhatAFileHoldsReachesTheTerminalWithoutItsControls) {
    const std::string hostile =
        "\x1B]2\x07X\x1B[31m\b\xC2\x9B"
        "2J\x7F";
    const std::string csv = write("hostile.csv", "Vytisk;Cislo;" + hostile + "\nA;1/2000;b\n");
    const auto controlsIn = [](const std::string& text) {
        std::string found;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                            static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                            static_cast<unsigned char>(text[i + 1]) <= 0x9F;
            if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) {
                found += std::to_string(byte) + " ";
            }
        }
        return found;
    };
    const QvtoolRun refused = runQvtool({"import", csv, demo.path(), "--encoding", "utf-8"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(controlsIn(refused.err), "") << refused.err;
    EXPECT_NE(refused.err.find("\\x1B]2\\x07X\\x1B[31m\\x08\\u009B2J\\x7F"), std::string::npos)
        << refused.err;
    const QvtoolRun dryRun =
        runQvtool({"import", csv, "--encoding", "utf-8", "--ignore-extra", "--dry-run"});
    EXPECT_EQ(dryRun.exitCode, 0) << dryRun.err;
    EXPECT_EQ(controlsIn(dryRun.out), "") << dryRun.out;
    EXPECT_NE(dryRun.out.find("\\x1B[31m"), std::string::npos) << dryRun.out;
    // Letters of two bytes that lead like a C1 control pass as they are.
    const QvtoolRun letters =
        runQvtool({"import", write("a.csv", "Vytisk;Cislo;\xC2\xA9\n"), "--dry-run"});
    EXPECT_NE(letters.out.find("\xC2\xA9") + letters.err.find("\xC2\xA9"), 2 * std::string::npos)
        << letters.out << letters.err;
}

TEST_F(QvtoolCsv, ShowsProgressOnATerminal) {
    const std::string csv = file("rows.csv");
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
