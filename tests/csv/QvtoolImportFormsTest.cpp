// qvtool import of lists as Czech spreadsheet programs save them: each delimiter and encoding
// read as the same rows without being told; columns found by their names in any order; a form
// it can't be sure of, or a header it can't map, refused with the options that settle it and
// the catalogue unchanged; a dry run that tells all and changes nothing; and a round trip
// through export --excel.
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"

namespace quorvel::testing {
namespace {

using tools::CatalogueIssue;

// Czech text with the letters the two 8-bit encodings write differently, every delimiter, a
// quote and a memo with CR LF inside the fields.
const std::vector<CatalogueIssue> issues{
    {"Šumava", "3/1998", "Žižkov; Těšín, \"Košíře\"", "Řádek jedna\r\nŘádek dva"},
    {"Mladý svět", "12/2001", "", "ťukání\tdo stěny"},
    {"Žena a život", "", "Příliš žluťoučký kůň", ""},
};

// utf8 as iconv writes it in charset, as a program saving in that encoding would.
std::string encoded(const std::string& utf8, const char* charset) {
    const iconv_t convert = ::iconv_open(charset, "UTF-8");
    std::string in = utf8;
    std::string out(utf8.size() * 4, '\0');
    char* from = in.data();
    char* to = out.data();
    std::size_t left = in.size();
    std::size_t room = out.size();
    const std::size_t done = ::iconv(convert, &from, &left, &to, &room);
    ::iconv_close(convert);
    EXPECT_NE(done, static_cast<std::size_t>(-1)) << charset;
    out.resize(out.size() - room);
    return out;
}

// A record as a spreadsheet writes it: quotes only around a field that needs them.
std::string record(const std::vector<std::string>& fields, char delimiter) {
    std::string line;
    for (const std::string& field : fields) {
        std::string text = field;
        if (field.find_first_of(std::string("\"\r\n") + delimiter) != std::string::npos) {
            text = "\"";
            for (const char c : field) {
                text += c == '"' ? "\"\"" : std::string(1, c);
            }
            text += "\"";
        }
        line += (&field == &fields.front() ? "" : std::string(1, delimiter)) + text;
    }
    return line + "\r\n";
}

// issues with header, a column for each field of columns (-1: one that names no field).
std::string listOf(const std::string& header, const std::vector<int>& columns, char delimiter) {
    std::string csv = header + "\r\n";
    for (const CatalogueIssue& issue : issues) {
        const std::string fields[] = {issue.title, issue.number, issue.parts, issue.contents};
        std::vector<std::string> row;
        for (const int column : columns) {
            row.push_back(column < 0 ? "navíc" : fields[column]);
        }
        csv += record(row, delimiter);
    }
    return csv;
}

class QvtoolImportForms : public ::testing::Test {
  protected:
    QvtoolImportForms() { EXPECT_EQ(runQvtool({"demo", demo.path().string()}).exitCode, 0); }

    std::string write(const std::string& bytes) const {
        const std::string path = (files.path() / "seznam.csv").string();
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        return path;
    }
    // Imports bytes into a new catalogue and reads it back.
    std::vector<CatalogueIssue> imported(const std::string& bytes,
                                         const std::vector<std::string>& options = {}) const {
        const TemporaryDirectory catalogue;
        EXPECT_EQ(runQvtool({"create", catalogue.path().string()}).exitCode, 0);
        std::vector<std::string> arguments{"import", write(bytes), catalogue.path().string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const QvtoolRun run = runQvtool(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return readCatalogue(catalogue.path());
    }
    std::string demoState() const {
        return fileBytes(demo.path() / "qv.db") + fileBytes(demo.path() / "qv.mb") + "|" +
               ::testing::PrintToString(directoryListing(demo.path()));
    }

    const TemporaryDirectory demo;
    const TemporaryDirectory files;
};

TEST_F(QvtoolImportForms, ReadsEveryDelimiterAndEncodingUntoldAsTheSameRows) {
    const std::string header = "Tiskopis;Číslo výtisku/rok;Nejzajímavější části;Obsah výtisku";
    struct Encoding {
        const char* name;
        const char* charset;
        std::string byteOrderMark;
    };
    for (const char delimiter : {',', ';', '\t'}) {
        std::string text = header;
        std::replace(text.begin(), text.end(), ';', delimiter);
        text = listOf(text, {0, 1, 2, 3}, delimiter);
        for (const Encoding& encoding :
             {Encoding{"utf-8", "UTF-8", ""}, Encoding{"utf-8 marked", "UTF-8", "\xEF\xBB\xBF"},
              Encoding{"utf-16le", "UTF-16LE", "\xFF\xFE"},
              Encoding{"utf-16be", "UTF-16BE", "\xFE\xFF"}, Encoding{"windows-1250", "CP1250", ""},
              Encoding{"iso-8859-2", "ISO-8859-2", ""}}) {
            SCOPED_TRACE(std::string(encoding.name) + " with " + delimiter);
            EXPECT_EQ(imported(encoding.byteOrderMark + encoded(text, encoding.charset)), issues);
        }
    }
}

TEST_F(QvtoolImportForms, FindsTheColumnsByNameInAnyOrder) {
    struct Header {
        std::string names;
        std::vector<int> columns;
        std::vector<std::string> options;
    };
    for (const Header& header : std::vector<Header>{
             {"*Tiskopis: (50);Číslo výtisku/rok: (15);Nejzajímavější části: (150);Obsah výtisku:",
              {0, 1, 2, 3},
              {}},
             {" TISKOPIS ;cislo vytisku/rok;NEJZAJIMAVEJSI CASTI;obsah VÝTISKU", {0, 1, 2, 3}, {}},
             {"Obsah;Název;Číslo", {3, 0, 1}, {}},
             {"Vytisk\tObsah_vytisku\tCislo", {0, 3, 1}, {}},
             {"Časopis", {0}, {}},
             {"Titul;Cena;Označení;", {0, -1, 1, -1}, {"--ignore-extra"}}}) {
        SCOPED_TRACE(header.names);
        const char delimiter = header.names.find('\t') != std::string::npos ? '\t' : ';';
        std::vector<CatalogueIssue> expected;
        for (const CatalogueIssue& issue : issues) {
            const auto has = [&](int field) {
                return std::find(header.columns.begin(), header.columns.end(), field) !=
                       header.columns.end();
            };
            expected.push_back({issue.title, has(1) ? issue.number : "", has(2) ? issue.parts : "",
                                has(3) ? issue.contents : ""});
        }
        EXPECT_EQ(imported(listOf(header.names, header.columns, delimiter), header.options),
                  expected);
    }
}

TEST_F(QvtoolImportForms, RefusesWhatItCantReadForSureAndTheOptionsSettleIt) {
    struct Refusal {
        std::string bytes;
        std::vector<std::string> options;
        std::string reason;
        std::vector<std::string> settledBy;  // empty: nothing does
        std::string title;                   // of the row imported then
    };
    std::string longUtf8 = "Titul\n";
    while (longUtf8.size() < 70'000) {
        longUtf8 += "Příliš žluťoučký kůň\n";
    }
    const std::string which = "can't tell whether the file is windows-1250 or iso-8859-2: ";
    const std::string encodings = "; give --encoding windows-1250 or --encoding iso-8859-2";
    for (const Refusal& refusal : std::vector<Refusal>{
             {"Titul;Cena\nVesmír;100\n",
              {},
              "1: column 2 \"Cena\" names no field of the table; --ignore-extra leaves it out",
              {"--ignore-extra"},
              "Vesmír"},
             {"Titul;Název\nA;B\n",
              {},
              "1: column 1 \"Titul\" and column 2 \"Název\" both name Vytisk",
              {},
              ""},
             {"Číslo;Obsah\n1;x\n",
              {},
              "1: no column holds Vytisk, the title every row needs: name one \"Vytisk\", "
              "\"Tiskopis\", \"Titul\", \"Název\", \"Název časopisu\", \"Časopis\" or "
              "\"Periodikum\"",
              {},
              ""},
             {encoded("Titul\nTo je život\n", "ISO-8859-2"),
              {},
              "2: " + which +
                  "the line reads \"To je ľivot\" in one and \"To je život\" in the "
                  "other" +
                  encodings,
              {"--encoding", "latin2"},
              "To je život"},
             {encoded("Titul\n«Praha»\n", "CP1250"),
              {},
              "2: " + which + "the line reads \"«Praha»\" in one and \"ŤPrahať\" in the other" +
                  encodings,
              {"--encoding", "cp1250"},
              "«Praha»"},
             {"Titul\nA\x81\n",
              {},
              "2: can't tell the file's encoding: it isn't UTF-8 (line 2), and its byte 0x81 is "
              "a control code in windows-1250 and iso-8859-2; give --encoding",
              {},
              ""},
             {"Titul;Poznámka, různé\nA;b, c\n",
              {"--ignore-extra"},
              "1: can't tell the delimiter: the header holds commas and semicolons, and the lines "
              "after it don't settle which; give --delimiter , or --delimiter ;",
              {"--ignore-extra", "--delimiter", ";"},
              "A"},
             {"Titul\tPoznámka, různé\nA\tb, c\n",
              {"--ignore-extra"},
              "1: can't tell the delimiter: the header holds commas and tabs, and the lines after "
              "it don't settle which; give --delimiter , or --delimiter tab",
              {"--ignore-extra", "--delimiter", "\t"},
              "A"},
             {"Titul\nA\tB\n",
              {},
              "1: can't tell the delimiter: the header holds no comma, semicolon or tab, but the "
              "lines after it do; give --delimiter , or ; or tab",
              {"--delimiter", ";"},
              "A\tB"},
             {std::string("T\0i\0t\0u\0l\0\n\0A\0\n\0", 16),
              {},
              "1: the header holds NUL bytes, as UTF-16 without a byte-order mark does; give "
              "--encoding utf-16le or --encoding utf-16be",
              {"--encoding", "utf-16le"},
              "A"},
             {std::string("\xFF\xFET\0i\0t\0u\0l\0\n\0A\0\0\xD8\n\0", 20),
              {},
              "2: the bytes 00 D8 are no character of utf-16le",
              {},
              ""},
             {longUtf8 + "Ko\xB9\xEDk\n",
              {},
              std::to_string(std::count(longUtf8.begin(), longUtf8.end(), '\n') + 1) +
                  ": field 1 is not valid UTF-8",
              {},
              ""}}) {
        SCOPED_TRACE(refusal.reason);
        const std::string before = demoState();
        const std::string csv = write(refusal.bytes);
        std::vector<std::string> arguments{"import", csv, demo.path().string()};
        arguments.insert(arguments.end(), refusal.options.begin(), refusal.options.end());
        const QvtoolRun run = runQvtool(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "qvtool: " + csv + ":" + refusal.reason + "\n");
        EXPECT_EQ(demoState(), before);
        if (!refusal.settledBy.empty()) {
            const std::vector<CatalogueIssue> rows = imported(refusal.bytes, refusal.settledBy);
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].title, refusal.title);
        }
    }
}

// Each guess that once stored garbled text and reported success. A file of UTF-8 letters with a
// stray byte is refused at the byte's line, wherever the stretch the guess weighs happens to end
// (here inside a letter, or a byte before or after); bytes that are valid UTF-8 only by chance
// read as what a Czech list holds; and Š Ť Ž š ť ž of ISO-8859-2 count as letters.
TEST_F(QvtoolImportForms, NeverGarblesTheGuessedEncoding) {
    struct Case {
        std::string name;
        std::string bytes;
        std::vector<std::string> titles;  // stored; empty: refused
        std::string refusal;              // the message's end, after "CSV:"
    };
    std::vector<Case> cases{
        {"UTF-8 with a stray byte",
         "Vytisk;Cislo\r\n\xC4\x8Cten\xC3\xAD pro \xC5\xBE"
         "eny;3/1998\r\nMy\x9A"
         "ka;1/2000\r\n",
         {},
         "3: field 1 is not valid UTF-8"},
        {"windows-1250 that is valid UTF-8 by chance",
         "Vytisk;Cislo\r\nV\xDD\x8EIVA;1\r\nS\xCD\x8D;2\r\nP\xCC\x8A\xCD;3\r\n",
         {"VÝŽIVA", "SÍŤ", "PĚŠÍ"},
         ""},
        {"iso-8859-2 with Šť and šť",
         encoded("Vytisk;Cislo\r\nŠťastný;1\r\nšťáva;2\r\nKošík a Žďár;3\r\n", "ISO-8859-2"),
         {"Šťastný", "šťáva", "Košík a Žďár"},
         ""},
        {"UTF-8 of letters no Czech list holds",
         "Vytisk\n\xCE\x9B\xCF\x8C\xCE\xB3\xCE\xBF\xCF\x82\n",
         {},
         "2: can't tell the file's encoding: as UTF-8 it holds characters no Czech or Slovak list "
         "has (line 2), and read as windows-1250 its byte 0x9B is \"›\" where no Czech or Slovak "
         "text has it; give --encoding"},
    };
    // The guess weighs 64 KiB from the first letter above ASCII on: there the stretch ends a byte
    // before "ž", inside it, and at its end; the stray bytes come after it.
    for (const std::size_t padding : {65'532U, 65'533U, 65'534U}) {
        std::string bytes = "Vytisk\n\xC5\xBE";
        for (std::size_t i = 0; i < padding; ++i) {
            bytes += i % 40 == 39 ? '\n' : 'x';
        }
        bytes += "\xC5\xBE\n";
        const auto line = std::count(bytes.begin(), bytes.end(), '\n') + 1;
        for (int i = 0; i < 1001; ++i) {
            bytes += "Ko\x9A\xEDk\n";
        }
        cases.push_back({"64 KiB and " + std::to_string(padding - 65'533) + " bytes",
                         bytes,
                         {},
                         std::to_string(line) + ": field 1 is not valid UTF-8"});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.titles.empty()) {
            std::vector<std::string> titles;
            for (const CatalogueIssue& issue : imported(c.bytes)) {
                titles.push_back(issue.title);
            }
            EXPECT_EQ(titles, c.titles);
            continue;
        }
        const std::string before = demoState();
        const std::string csv = write(c.bytes);
        const QvtoolRun run = runQvtool({"import", csv, demo.path().string()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qvtool: " + csv + ":" + c.refusal + "\n");
        EXPECT_EQ(demoState(), before);
    }
}

// What spreadsheets write beside the list is read, not refused: a first line naming the
// delimiter, blank rows and lines (skipped and counted, in the dry run too), empty columns
// without a name. A value in such a column is still refused, and "sep=" names only a
// delimiter import takes.
TEST_F(QvtoolImportForms, ReadsWhatSpreadsheetsWriteBesideTheList) {
    struct Case {
        std::string bytes;
        std::vector<std::string> titles;  // imported; empty: refused
        std::string message;  // the import's message after "CSV", or its refusal after "CSV:"
    };
    const std::string list = "Název;Číslo;;\r\nA;1;;\r\n;;;\r\nB;2;;\r\n;;;\r\n";
    for (const Case& c : std::vector<Case>{
             {"sep=;\r\n" + list + "\r\n\r\n", {"A", "B"}, "; 4 empty rows skipped."},
             {"\xEF\xBB\xBFsep=\t\nTitul\tObsah\nA;1\t\n\t\n", {"A;1"}, "; 1 empty row skipped."},
             {"sep=,\nTitul;Obsah\nA,1\n",
              {},
              ":2: column 1 \"Titul;Obsah\" names no field of "
              "the table; --ignore-extra leaves it out"},
             {"sep=|\nTitul\nA\n",
              {},
              ":1: the first line \"sep=|\" names a delimiter import "
              "doesn't take: a comma, semicolon or tab"},
             {"Titul;;Číslo\nA;;1\nB;x;2\n",
              {},
              ":3: column 2 (no name) holds a value but names "
              "no field; --ignore-extra leaves it out"},
             {"Titul;Číslo;\nA;1\nB;2;\n", {"A", "B"}, "."},
         }) {
        SCOPED_TRACE(c.bytes);
        const TemporaryDirectory catalogue;
        ASSERT_EQ(runQvtool({"create", catalogue.path().string()}).exitCode, 0);
        const std::string csv = write(c.bytes);
        const QvtoolRun run = runQvtool({"import", csv, catalogue.path().string()});
        std::vector<std::string> titles;
        for (const CatalogueIssue& issue : readCatalogue(catalogue.path())) {
            titles.push_back(issue.title);
        }
        EXPECT_EQ(titles, c.titles);
        if (c.titles.empty()) {
            EXPECT_EQ(run.err, "qvtool: " + csv + c.message + "\n");
        } else {
            const std::size_t n = c.titles.size();
            EXPECT_EQ(run.out, "Imported " + std::to_string(n) + (n == 1 ? " issue" : " issues") +
                                   " from " + csv + " into " + catalogue.path().string() +
                                   c.message + "\n");
        }
    }

    // A dry run needs no catalogue: without DIR, or with one that doesn't exist.
    const std::string csv = write("sep=;\r\n" + list + "\r\n");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"import", csv, "--dry-run"},
          std::vector<std::string>{"import", csv, (files.path() / "none").string(), "--dry-run"}}) {
        const QvtoolRun run = runQvtool(arguments);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.ends_with("\n3 empty rows skipped.\n2 issues would be imported.\n"))
            << run.out;
    }
    const QvtoolRun one = runQvtool({"import", write("Titul\nA\n"), demo.path().string()});
    EXPECT_TRUE(one.out.starts_with("Imported 1 issue from ")) << one.out;
}

TEST_F(QvtoolImportForms, DryRunTellsWhatWouldBeImportedAndChangesNothing) {
    std::string list = record({"Tiskopis", "Číslo výtisku/rok", "Poznámka", "Obsah výtisku"}, ';');
    for (const CatalogueIssue& issue : issues) {
        list += record({issue.title, issue.number, "-", issue.contents}, ';');
    }
    const std::string memo(90, 'x');
    const std::string good = list + record({"Vesmír", "1/2000", "", memo}, ';') +
                             record({"ABC", "", "", ""}, ';') + record({"Květy", "2", "", ""}, ';');
    const std::string bad = good + record({"", "5/1999", "", ""}, ';') +
                            record({"Xyz", "1234567890123456", "", ""}, ';');
    const std::string csv = write(encoded(bad, "CP1250"));
    const std::string before = demoState();
    QvtoolRun run = runQvtool({"import", csv, demo.path().string(), "--dry-run", "--ignore-extra"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "Dry run: nothing is changed.\n" + csv +
                  " is read as windows-1250 (guessed), with fields separated by semicolons "
                  "(guessed).\n"
                  "Columns:\n"
                  "  Vytisk                from column 1 \"Tiskopis\"\n"
                  "  Cislo                 from column 2 \"Číslo výtisku/rok\"\n"
                  "  Nejzajimavejsi_casti  no column: empty\n"
                  "  Obsah_vytisku         from column 4 \"Obsah výtisku\"\n"
                  "  left out              column 3 \"Poznámka\"\n"
                  "The first rows as they would be stored:\n"
                  "  line 2: Vytisk \"Šumava\", Cislo \"3/1998\", Nejzajimavejsi_casti empty, "
                  "Obsah_vytisku \"Řádek jedna\\r\\nŘádek dva\"\n"
                  "  line 4: Vytisk \"Mladý svět\", Cislo \"12/2001\", Nejzajimavejsi_casti "
                  "empty, Obsah_vytisku \"ťukání\\tdo stěny\"\n"
                  "  line 5: Vytisk \"Žena a život\", Cislo empty, Nejzajimavejsi_casti empty, "
                  "Obsah_vytisku empty\n"
                  "  line 6: Vytisk \"Vesmír\", Cislo \"1/2000\", Nejzajimavejsi_casti empty, "
                  "Obsah_vytisku \"" +
                  memo.substr(0, 80) +
                  "…\" (90 characters)\n"
                  "  line 7: Vytisk \"ABC\", Cislo empty, Nejzajimavejsi_casti empty, "
                  "Obsah_vytisku empty\n"
                  "Refused:\n"
                  "  line 9: Vytisk is empty: a title is required\n"
                  "  line 10: Cislo has 16 characters, more than 15\n"
                  "8 rows read, 2 refused: the import would add none.\n");
    EXPECT_EQ(demoState(), before);

    run = runQvtool({"import", write(good), demo.path().string(), "--dry-run", "--ignore-extra",
                     "--encoding", "utf-8", "--delimiter", ";"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(" is read as utf-8, with fields separated by semicolons.\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.ends_with("\n6 issues would be imported.\n")) << run.out;
    EXPECT_EQ(demoState(), before);
}

TEST_F(QvtoolImportForms, ExcelExportImportsBackAsTheSameRows) {
    const std::string csv = (files.path() / "excel.csv").string();
    ASSERT_EQ(runQvtool({"export", demo.path().string(), csv, "--excel"}).exitCode, 0);
    const TemporaryDirectory copy;
    ASSERT_EQ(runQvtool({"create", copy.path().string()}).exitCode, 0);
    const QvtoolRun run = runQvtool({"import", csv, copy.path().string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readCatalogue(copy.path()), readCatalogue(demo.path()));
}

// export --excel puts an apostrophe before a field a spreadsheet would run as a formula, and
// import takes exactly that apostrophe away, so texts of every form come back as stored. The
// plain export protects nothing and its import takes nothing away.
TEST_F(QvtoolImportForms, ExcelExportProtectsFormulasAndImportsBackTheStoredText) {
    struct Text {
        std::string stored;
        std::string inExcelCsv;  // the field as export --excel writes it
    };
    const std::vector<Text> texts{
        {"=1+1", "'=1+1"}, {"+420 123", "'+420 123"},
        {"-5", "'-5"},     {"@SUM(A1)", "'@SUM(A1)"},
        {"'=x", "''=x"},   {"''-y", "'''-y"},
        {"'abc", "'abc"},  {"\tx", "'\tx"},
        {"0012", "0012"},  {"a=b", "a=b"},
        {"'", "'"},
    };
    std::string plain = "Vytisk,Cislo\r\n";
    for (const Text& text : texts) {
        plain += "T" + text.stored + "," + text.stored + "\r\n";
    }
    const TemporaryDirectory catalogue;
    ASSERT_EQ(runQvtool({"create", catalogue.path().string()}).exitCode, 0);
    ASSERT_EQ(runQvtool({"import", write(plain), catalogue.path().string()}).exitCode, 0);
    const std::vector<CatalogueIssue> stored = readCatalogue(catalogue.path());
    ASSERT_EQ(stored.size(), texts.size());

    for (const bool excel : {true, false}) {
        SCOPED_TRACE(excel ? "--excel" : "plain");
        const std::string csv = (files.path() / (excel ? "excel.csv" : "plain.csv")).string();
        std::vector<std::string> arguments{"export", catalogue.path().string(), csv};
        if (excel) {
            arguments.push_back("--excel");
        }
        ASSERT_EQ(runQvtool(arguments).exitCode, 0);
        const std::string bytes = fileBytes(csv);
        for (const Text& text : texts) {
            const std::string line = excel ? "T" + text.stored + ";" + text.inExcelCsv + ";;\r\n"
                                           : "T" + text.stored + "," + text.stored + ",,\r\n";
            EXPECT_NE(bytes.find("\n" + line), std::string::npos) << line;
        }
        const TemporaryDirectory copy;
        ASSERT_EQ(runQvtool({"create", copy.path().string()}).exitCode, 0);
        const QvtoolRun run = runQvtool({"import", csv, copy.path().string()});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(readCatalogue(copy.path()), stored);
    }
}

}  // namespace
}  // namespace quorvel::testing
