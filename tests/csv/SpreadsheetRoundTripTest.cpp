// qvtool export DIR FILE.xlsx read by a real spreadsheet program: LibreOffice converts the
// workbook back to CSV, and every text reads there exactly as the catalogue holds it, texts a
// spreadsheet would take for a formula, a number, a date or a truth value included, under the
// main window's captions. Without LibreOffice the whole program reports itself skipped.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "csv/CsvReader.h"
#include "csv/CsvSourceFile.h"

namespace quorvel::testing {
namespace {

// ctest's SKIP_RETURN_CODE for this program.
constexpr int skipped = 77;

bool libreOfficeInstalled() {
    return std::system("command -v soffice > /dev/null 2>&1") == 0;
}

// LibreOffice's CSV of the first sheet of workbook, as UTF-8 with commas, in a profile of its
// own so that no other LibreOffice running on the machine is disturbed.
std::filesystem::path convertedToCsv(const std::filesystem::path& workbook,
                                     const std::filesystem::path& directory) {
    const std::string command = "cd '" + directory.string() +
                                "' && soffice -env:UserInstallation=file://" +
                                (directory / "profile").string() +
                                " --headless --convert-to 'csv:Text - txt - csv (StarCalc):"
                                "44,34,76,1,,0,false,true,true' '" +
                                workbook.string() + "' > convert.log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << fileBytes(directory / "convert.log");
    return directory / (workbook.stem().string() + ".csv");
}

std::vector<std::vector<std::string>> csvRecords(const std::filesystem::path& csv) {
    tools::CsvReader reader(std::make_unique<tools::CsvSourceFile>(csv, tools::CsvEncoding::Utf8),
                            ',');
    std::vector<std::vector<std::string>> records;
    tools::CsvRecord record;
    while (reader.next(record)) {
        records.emplace_back(record.fields.begin(),
                             record.fields.begin() + static_cast<std::ptrdiff_t>(record.count));
    }
    return records;
}

TEST(QvtoolSpreadsheet, LibreOfficeShowsEveryTextOfTheWorkbookAsStored) {
    const TemporaryDirectory work;
    const std::filesystem::path catalogue = work.path() / "katalog";
    std::filesystem::create_directory(catalogue);
    ASSERT_EQ(runQvtool({"create", catalogue.string()}).exitCode, 0);
    // A spreadsheet would read a formula, numbers, a truth value and dates into these; line
    // breaks are LF, as LibreOffice keeps no CR in a cell.
    const std::string list =
        "Vytisk;Cislo;Nejzajimavejsi_casti;Obsah_vytisku\n"
        "=1+1;0012;1e5;pravda\n"
        "Příliš žluťoučký kůň;3/1998;\"„Citát“ – a; \"\"uvozovky\"\"\";\"řádek\ndruhý\"\n"
        "@A1;15.3.1998;-5;+1\n"
        "_x000D_ TRUE;1.5.;;\n";
    const std::filesystem::path csv = work.path() / "seznam.csv";
    std::ofstream(csv, std::ios::binary) << list;
    ASSERT_EQ(runQvtool({"import", csv.string(), catalogue.string()}).exitCode, 0);
    const std::filesystem::path workbook = work.path() / "katalog.xlsx";
    const QvtoolRun run = runQvtool({"export", catalogue.string(), workbook.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "Exported 4 issues from " + catalogue.string() + " to " + workbook.string() + ".\n");

    const std::vector<std::vector<std::string>> shown =
        csvRecords(convertedToCsv(workbook, work.path()));
    std::vector<std::vector<std::string>> stored{
        {"Tiskopis", "Číslo výtisku/rok", "Nejzajímavější části", "Obsah výtisku"}};
    for (const tools::CatalogueIssue& issue : readCatalogue(catalogue)) {
        stored.push_back({issue.title, issue.number, issue.parts, issue.contents});
    }
    ASSERT_EQ(stored.size(), 5u);
    EXPECT_EQ(shown, stored);
}

// A workbook is never written over an existing file, and a memo longer than a cell holds is
// refused with no file left behind.
TEST(QvtoolSpreadsheet, ExportRefusesWhatAWorkbookCantHoldAndLeavesNoFile) {
    const TemporaryDirectory work;
    const std::filesystem::path catalogue = work.path() / "katalog";
    std::filesystem::create_directory(catalogue);
    ASSERT_EQ(runQvtool({"create", catalogue.string()}).exitCode, 0);
    const std::filesystem::path csv = work.path() / "seznam.csv";
    std::ofstream(csv, std::ios::binary)
        << "Vytisk,Obsah_vytisku\nA,x\nB," + std::string(32'768, 'z') + "\n";
    ASSERT_EQ(runQvtool({"import", csv.string(), catalogue.string()}).exitCode, 0);
    const std::filesystem::path workbook = work.path() / "katalog.XLSX";
    QvtoolRun run = runQvtool({"export", catalogue.string(), workbook.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + workbook.string() +
                           ": row 2: its Obsah výtisku has 32768 characters, more than a cell "
                           "of a spreadsheet holds (32767)\n");
    EXPECT_EQ(directoryListing(work.path()), (std::vector<std::string>{"katalog", "seznam.csv"}));

    std::ofstream(workbook) << "mine";
    run = runQvtool({"export", catalogue.string(), workbook.string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(fileBytes(workbook), "mine");
}

}  // namespace
}  // namespace quorvel::testing

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!quorvel::testing::libreOfficeInstalled()) {
        std::printf("LibreOffice (soffice) is not installed: skipped\n");
        return quorvel::testing::skipped;
    }
    return RUN_ALL_TESTS();
}
