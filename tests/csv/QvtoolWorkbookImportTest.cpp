// qvtool import of workbooks a real spreadsheet program wrote (data/make-spreadsheets.sh has
// LibreOffice convert one list into .ods and .xlsx): told by content whatever the name, the
// first sheet or the one named, text cells exactly, numbers and dates as a Czech spreadsheet
// shows them, and each refusal naming the sheet and row with the catalogue unchanged.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"

namespace quorvel::testing {
namespace {

using tools::CatalogueIssue;

const std::filesystem::path data = QUORVEL_TEST_DATA;

class QvtoolWorkbookImport : public ::testing::TestWithParam<const char*> {
  protected:
    QvtoolWorkbookImport() {
        EXPECT_EQ(runQvtool({"create", catalogue.path().string()}).exitCode, 0);
        // Named as if it were CSV: the content tells what it is.
        std::filesystem::copy_file(data / GetParam(), workbook);
    }

    const TemporaryDirectory catalogue;
    const TemporaryDirectory files;
    const std::filesystem::path workbook = files.path() / "seznam.csv";
};

TEST_P(QvtoolWorkbookImport, ReadsTheFirstSheetAsTheSpreadsheetShowsIt) {
    const QvtoolRun run = runQvtool({"import", workbook.string(), catalogue.path().string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Imported 3 issues from " + workbook.string() + " into " +
                           catalogue.path().string() + "; 1 empty row skipped.\n");
    // 15.3.1998 typed in is a date, 0012 typed in the number 12; "0012" and "=1+1" are texts.
    EXPECT_EQ(
        readCatalogue(catalogue.path()),
        (std::vector<CatalogueIssue>{
            {"Čtení pro ženy", "3/1998", "„Citát“ – a; \"uvozovky\"…", "První řádek\ndruhý řádek"},
            {"Šťastný domov", "15.3.1998", "12", "=1+1"},
            {"Vesmír", "0012", "1,5", ""},
        }));
}

TEST_P(QvtoolWorkbookImport, RefusalsNameTheSheetAndRowAndChangeNothing) {
    const QvtoolRun first = runQvtool({"import", workbook.string(), catalogue.path().string()});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const std::string before =
        fileBytes(catalogue.path() / "qv.db") + fileBytes(catalogue.path() / "qv.mb");
    struct Refusal {
        std::string sheet;
        std::string reason;
    };
    for (const Refusal& refusal : std::vector<Refusal>{
             {"Chyby", "sheet \"Chyby\", row 3: Vytisk is empty: a title is required"},
             {"Poznámky",
              "sheet \"Poznámky\", row 1: column 1 \"Jen poznámka\" names no field "
              "of the table; --ignore-extra leaves it out"},
             {"Jiný",
              "the workbook has no sheet \"Jiný\", only \"Seznam\", \"Poznámky\", "
              "\"Chyby\""}}) {
        SCOPED_TRACE(refusal.sheet);
        const QvtoolRun run = runQvtool(
            {"import", workbook.string(), catalogue.path().string(), "--sheet", refusal.sheet});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qvtool: " + workbook.string() + ": " + refusal.reason + "\n");
        EXPECT_EQ(fileBytes(catalogue.path() / "qv.db") + fileBytes(catalogue.path() / "qv.mb"),
                  before);
    }
    const QvtoolRun dryRun =
        runQvtool({"import", workbook.string(), "--dry-run", "--sheet", "Chyby"});
    EXPECT_EQ(dryRun.exitCode, 1);
    EXPECT_NE(dryRun.out.find(" is a workbook, read from its sheet \"Chyby\".\n"),
              std::string::npos)
        << dryRun.out;
    EXPECT_TRUE(
        dryRun.out.ends_with("Refused:\n  sheet \"Chyby\", row 3: Vytisk is empty: a title "
                             "is required\n2 rows read, 1 refused: the import would add "
                             "none.\n"))
        << dryRun.out;
}

// A workbook cut short, as a broken download leaves it, is refused as such, never read as CSV.
TEST_P(QvtoolWorkbookImport, ADamagedWorkbookIsRefusedAndChangesNothing) {
    std::filesystem::resize_file(workbook, std::filesystem::file_size(workbook) / 2);
    const QvtoolRun run = runQvtool({"import", workbook.string(), catalogue.path().string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + workbook.string() +
                           ": a zip archive, but no workbook that can be read (.ods or .xlsx); it "
                           "may be damaged\n");
    EXPECT_EQ(readCatalogue(catalogue.path()), std::vector<CatalogueIssue>{});
}

INSTANTIATE_TEST_SUITE_P(WrittenByLibreOffice, QvtoolWorkbookImport,
                         ::testing::Values("seznam.ods", "seznam.xlsx"),
                         [](const auto& file) { return std::string(file.param).substr(7); });

}  // namespace
}  // namespace quorvel::testing

namespace quorvel::testing {
namespace {

// What export writes as a workbook imports back as the same rows: line breaks CR LF and LF,
// texts a spreadsheet would read as something else, and one that looks like Excel's escape.
TEST(QvtoolWorkbookRoundTrip, ExportedWorkbookImportsBackAsTheSameRows) {
    const TemporaryDirectory work;
    const std::filesystem::path catalogue = work.path() / "katalog";
    const std::filesystem::path copy = work.path() / "kopie";
    std::filesystem::create_directory(catalogue);
    std::filesystem::create_directory(copy);
    ASSERT_EQ(runQvtool({"demo", catalogue.string()}).exitCode, 0);
    const std::filesystem::path csv = work.path() / "navic.csv";
    std::ofstream(csv, std::ios::binary) << "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\r\n"
                                            "_x000D_ a,0012,=1+1,\"jedna\r\ndvě\nTři  \"\r\n"
                                            "pravda,1e5,-5,\"\t„x“\"\r\n";
    ASSERT_EQ(runQvtool({"import", csv.string(), catalogue.string()}).exitCode, 0);
    const std::filesystem::path workbook = work.path() / "katalog.xlsx";
    ASSERT_EQ(runQvtool({"export", catalogue.string(), workbook.string()}).exitCode, 0);
    ASSERT_EQ(runQvtool({"create", copy.string()}).exitCode, 0);
    const QvtoolRun run = runQvtool({"import", workbook.string(), copy.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readCatalogue(copy), readCatalogue(catalogue));
}

}  // namespace
}  // namespace quorvel::testing
