// qvtool export DIR FILE: the table as CSV, or as a workbook when FILE ends in .xlsx.
#include "commands/CommandLine.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "lists/CsvExport.h"

namespace quorvel::tools {

int exportCommand(const Arguments& arguments) {
    const char* form = "export DIR CSV|XLSX [--order vytisk|cislo] [--excel]";
    requireOperands(arguments, 2, 5, form);
    const std::filesystem::path directory = arguments[1];
    const std::filesystem::path csv = arguments[2];
    const std::map<std::string, std::string> options =
        readOptions(arguments, 3, {"--excel"}, {"--order"}, form);
    SortOrder order = SortOrder::Unsorted;
    if (const auto given = options.find("--order"); given != options.end()) {
        if (given->second != "vytisk" && given->second != "cislo") {
            throw UsageError{std::string("usage: qvtool ") + form};
        }
        order = given->second == "vytisk" ? SortOrder::ByTitle : SortOrder::ByIssueNumber;
    }
    const CsvDialect dialect = options.count("--excel") != 0 ? spreadsheetDialect : rfc4180Dialect;
    requireDirectory(directory);
    CsvExport exporter(directory, order);
    TerminalProgress progress("qvtool: exporting " + csv.string() + ":", exporter.rowCount());
    const auto advance = [&progress](std::uint64_t done) { progress.advance(done); };
    // A workbook by the name's extension, as a spreadsheet program saves one.
    std::string extension = csv.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::uint64_t rows = extension == ".xlsx" ? exporter.writeWorkbook(csv, advance)
                                                    : exporter.write(csv, advance, dialect);
    progress.finish();
    std::cout << "Exported " << rows << " issues from " << directory.string() << " to "
              << csv.string() << ".\n";
    return exitDone;
}

}  // namespace quorvel::tools
