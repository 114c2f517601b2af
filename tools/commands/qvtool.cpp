// qvtool: makes catalogues for Quorvel, which never creates one itself: an empty one, the demo,
// or a large generated one for benchmarks; moves rows in and out of one as CSV; checks and
// repairs one; backs one up and restores it. See usageText() for the commands.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

#include "EDBEngineError.h"
#include "catalogues/CatalogueGenerator.h"
#include "catalogues/DemoCatalogue.h"
#include "check/CatalogueCheck.h"
#include "commands/CatalogueBackup.h"
#include "commands/Progress.h"
#include "commands/Usage.h"
#include "engine/CatalogueSchema.h"
#include "engine/Engine.h"
#include "holdings/Holdings.h"
#include "lists/CsvDryRun.h"
#include "lists/CsvExport.h"
#include "lists/CsvImport.h"
#include "repair/CatalogueRepair.h"
#include "report/HoldingsPage.h"
#include "report/HoldingsReport.h"
#include "report/RepairReportText.h"
#include "report/RestoreReportText.h"
#include "restore/CatalogueRestore.h"

namespace {

using namespace quorvel;

enum ExitCode { exitDone = 0, exitFailed = 1, exitUsage = 2, exitRepairedWithLosses = 3 };

// The largest N generate takes: far beyond any benchmark, and below what a 64-bit row count or
// the disk could trouble.
constexpr std::uint64_t mostRows = 1'000'000'000;

struct UsageError {
    std::string problem;
};

// A whole decimal number of digits only (no sign, no spaces); nullopt otherwise or when it
// doesn't fit.
std::optional<std::uint64_t> parseNumber(const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text[0] == '+' || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return value;
}

void requireOperands(const std::vector<std::string>& arguments, std::size_t least, std::size_t most,
                     const char* form) {
    const std::size_t operands = arguments.size() - 1;
    if (operands < least || operands > most) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
}

// The options after a command's operands, from arguments[first] on, each given at most once: a
// flag stands alone, any other option takes the argument after it as its value (a flag's value
// is empty). Anything else is wrong usage.
std::map<std::string, std::string> readOptions(const std::vector<std::string>& arguments,
                                               std::size_t first,
                                               const std::set<std::string>& flags,
                                               const std::set<std::string>& valued,
                                               const char* form) {
    std::map<std::string, std::string> options;
    for (std::size_t i = first; i < arguments.size(); ++i) {
        const std::string& name = arguments[i];
        const bool flag = flags.count(name) != 0;
        if ((!flag && (valued.count(name) == 0 || i + 1 >= arguments.size())) ||
            options.count(name) != 0) {
            throw UsageError{std::string("usage: qvtool ") + form};
        }
        options[name] = flag ? std::string() : arguments[++i];
    }
    return options;
}

// A missing directory is a failure rather than something to create: a mistyped path should
// not quietly get a catalogue of its own. Throws, for main to report as qvtool's failure.
void requireDirectory(const std::filesystem::path& directory) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(directory, error);
    if (!std::filesystem::exists(status)) {
        throw std::runtime_error(directory.string() + ": no such directory");
    }
    if (!std::filesystem::is_directory(status)) {
        throw std::runtime_error(directory.string() + ": not a directory");
    }
}

// Whatever qvtool wrote must open as the program opens it.
void checkOpens(const std::filesystem::path& directory) {
    Engine engine(directory);
    engine.database();
}

// A progress line only where someone watches it: on a terminal, not in a log or a pipe.
std::unique_ptr<tools::Progress> terminalProgress(const std::string& label, std::uint64_t total) {
    if (::isatty(STDERR_FILENO) == 0) {
        return nullptr;
    }
    return std::make_unique<tools::Progress>(std::cerr, label, total);
}

int importCsv(const std::vector<std::string>& arguments) {
    const char* form =
        "import FILE DIR [--delimiter ,|;|tab] [--encoding NAME] [--sheet NAME] [--ignore-extra] "
        "[--dry-run]";
    requireOperands(arguments, 1, 10, form);
    const std::filesystem::path csv = arguments[1];
    // A dry run opens no catalogue and so needs no DIR.
    const bool hasDirectory = arguments.size() > 2 && !arguments[2].starts_with("--");
    const std::filesystem::path directory = hasDirectory ? arguments[2] : "";
    const std::map<std::string, std::string> options =
        readOptions(arguments, hasDirectory ? 3 : 2, {"--ignore-extra", "--dry-run"},
                    {"--delimiter", "--encoding", "--sheet"}, form);
    const bool dryRun = options.count("--dry-run") != 0;
    if (!hasDirectory && !dryRun) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
    tools::CsvReadOptions read;
    read.ignoreExtra = options.count("--ignore-extra") != 0;
    if (const auto given = options.find("--sheet"); given != options.end()) {
        read.sheet = given->second;
    }
    if (const auto given = options.find("--delimiter"); given != options.end()) {
        read.delimiter = tools::delimiterNamed(given->second);
        if (!read.delimiter) {
            throw UsageError{"--delimiter takes , or ; or tab, not '" + given->second + "'"};
        }
    }
    if (const auto given = options.find("--encoding"); given != options.end()) {
        read.encoding = tools::encodingNamed(given->second);
        if (!read.encoding) {
            throw UsageError{
                "--encoding takes utf-8, utf-16le, utf-16be, windows-1250 or iso-8859-2, not '" +
                given->second + "'"};
        }
    }
    if (dryRun) {
        return tools::dryRunImport(csv, read, std::cout) ? exitDone : exitFailed;
    }
    requireDirectory(directory);
    tools::CsvImport import(csv, directory, read);
    const auto progress =
        terminalProgress("qvtool: importing " + csv.string() + ":", import.size());
    const std::uint64_t rows = import.run([&progress](std::uint64_t bytes) {
        if (progress) {
            progress->advance(bytes);
        }
    });
    if (progress) {
        progress->finish();
    }
    const std::uint64_t empty = import.emptyRecords();
    std::cout << "Imported " << rows << (rows == 1 ? " issue" : " issues") << " from "
              << csv.string() << " into " << directory.string()
              << (empty == 0   ? ""
                  : empty == 1 ? "; 1 empty row skipped"
                               : "; " + std::to_string(empty) + " empty rows skipped")
              << ".\n";
    return exitDone;
}

int exportCsv(const std::vector<std::string>& arguments) {
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
    const tools::CsvDialect dialect =
        options.count("--excel") != 0 ? tools::spreadsheetDialect : tools::rfc4180Dialect;
    requireDirectory(directory);
    tools::CsvExport exporter(directory, order);
    const auto progress =
        terminalProgress("qvtool: exporting " + csv.string() + ":", exporter.rowCount());
    const auto advance = [&progress](std::uint64_t done) {
        if (progress) {
            progress->advance(done);
        }
    };
    // A workbook by the name's extension, as a spreadsheet program saves one.
    std::string extension = csv.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::uint64_t rows = extension == ".xlsx" ? exporter.writeWorkbook(csv, advance)
                                                    : exporter.write(csv, advance, dialect);
    if (progress) {
        progress->finish();
    }
    std::cout << "Exported " << rows << " issues from " << directory.string() << " to "
              << csv.string() << ".\n";
    return exitDone;
}

// Only reads: the findings go to stdout, a sentence each; the status tells whether there were any.
int checkCatalogue(const std::vector<std::string>& arguments) {
    requireOperands(arguments, 1, 1, "check DIR");
    const std::filesystem::path directory = arguments[1];
    requireDirectory(directory);
    check::CatalogueCheck check(directory);
    const auto progress =
        terminalProgress("qvtool: checking " + directory.string() + ":", check.work());
    const std::vector<check::CheckFinding> findings = check.run([&progress](std::uint64_t done) {
        if (progress) {
            progress->advance(done);
        }
    });
    if (progress) {
        progress->finish();
    }
    for (const check::CheckFinding& finding : findings) {
        std::cout << finding.sentence << '\n';
    }
    if (findings.empty()) {
        std::cout << "The catalogue in " << directory.string() << " is sound.\n";
        return exitDone;
    }
    std::cout << "The catalogue in " << directory.string()
              << " is damaged or inconsistent: " << findings.size()
              << (findings.size() == 1 ? " finding" : " findings") << ".\n";
    return exitFailed;
}

// The report goes to stdout; the status tells whether the catalogue is sound at the end.
int repairCatalogue(const std::vector<std::string>& arguments) {
    requireOperands(arguments, 1, 1, "repair DIR");
    const std::filesystem::path directory = arguments[1];
    requireDirectory(directory);
    repair::CatalogueRepair repair(directory);
    const bool watched = ::isatty(STDERR_FILENO) != 0;
    const repair::RepairReport report = repair.run([watched](const std::string& step) {
        if (watched) {
            std::cerr << "qvtool: " << step << "...\n";
        }
    });
    std::cout << tools::repairReportText(report, directory);
    const bool unmended =
        std::any_of(report.remaining.begin(), report.remaining.end(),
                    [](const check::CheckFinding& finding) { return finding.mendable; });
    if (unmended) {
        return exitFailed;
    }
    return report.lostSomething() ? exitRepairedWithLosses : exitDone;
}

int backupCatalogue(const std::vector<std::string>& arguments) {
    requireOperands(arguments, 2, 2, "backup DIR NAME");
    const std::filesystem::path directory = arguments[1];
    const std::filesystem::path base = arguments[2];
    requireDirectory(directory);
    std::unique_ptr<tools::Progress> progress;
    const std::uint64_t bytes = tools::writeBackup(
        directory, base, [&progress, &base](std::uint64_t copied, std::uint64_t total) {
            if (!progress) {
                progress = terminalProgress("qvtool: backing up " + base.string() + ":", total);
            }
            if (progress) {
                progress->advance(copied);
            }
        });
    if (progress) {
        progress->finish();
    }
    std::cout << "Backed up the catalogue in " << directory.string() << " as " << base.string()
              << ".db and " << base.string() << ".mb (" << bytes << " bytes).\n";
    return exitDone;
}

// NAME as the user gave it, or without the ".db" or ".mb" they added when only that names a
// backup: "kopie.db" is taken for the backup kopie.
std::filesystem::path backupName(const std::string& given) {
    std::error_code error;
    if (std::filesystem::exists(given + ".db", error) || given.size() < 4) {
        return given;
    }
    const std::string extension = given.substr(given.size() - 3);
    const std::string stripped = given.substr(0, given.size() - 3);
    if ((extension == ".db" || extension == ".mb") &&
        std::filesystem::exists(stripped + ".db", error)) {
        return stripped;
    }
    return given;
}

// The report goes to stdout; the status tells whether the restored catalogue is sound and whole.
int restoreCatalogue(const std::vector<std::string>& arguments) {
    requireOperands(arguments, 2, 2, "restore NAME DIR");
    const std::filesystem::path base = backupName(arguments[1]);
    const std::filesystem::path directory = arguments[2];
    requireDirectory(directory);
    restore::CatalogueRestore restore(base, directory);
    const bool watched = ::isatty(STDERR_FILENO) != 0;
    const restore::RestoreReport report = restore.run([watched](const std::string& step) {
        if (watched) {
            std::cerr << "qvtool: " << step << "...\n";
        }
    });
    std::cout << tools::restoreReportText(report, base, directory);
    return tools::restoreSucceeded(report) ? exitDone : exitFailed;
}

int holdings(const std::vector<std::string>& arguments) {
    const char* form = "holdings DIR [--title TEXT] [--missing] [--csv FILE] [--html FILE]";
    requireOperands(arguments, 1, 8, form);
    const std::filesystem::path directory = arguments[1];
    const std::map<std::string, std::string> options =
        readOptions(arguments, 2, {"--missing"}, {"--title", "--csv", "--html"}, form);
    const bool missing = options.count("--missing") != 0;
    const auto option = [&options](const char* name) {
        const auto found = options.find(name);
        return found != options.end() ? std::optional<std::string>(found->second) : std::nullopt;
    };
    const std::optional<std::string> title = option("--title");
    const std::optional<std::string> csv = option("--csv");
    const std::optional<std::string> html = option("--html");
    if (missing && (csv || html)) {
        throw UsageError{std::string("usage: qvtool ") + form};
    }
    requireDirectory(directory);
    Engine engine(directory);
    const std::vector<TitleHoldings> titles = readHoldings(engine.database(), title);
    if (title && titles.empty()) {
        std::cerr << "qvtool: " << directory.string() << ": no periodical titled '" << *title
                  << "'\n";
        return exitFailed;
    }
    if (csv) {
        tools::writeHoldingsCsv(*csv, titles);
        std::cout << "Wrote the holdings of " << titles.size() << " periodicals to " << *csv
                  << ".\n";
    }
    if (html) {
        const std::size_t pages = tools::writeHoldingsPages(*html, titles, directory.string());
        std::cout << "Wrote the holdings page of " << titles.size() << " periodicals to " << *html;
        if (pages > 1) {
            std::cout << ", its charts in " << pages - 1 << " pages beside it ("
                      << holdingsPageName(std::filesystem::path(*html).filename().string(), 1)
                      << " and on)";
        }
        std::cout << ".\n";
    }
    if (missing) {
        tools::writeWantList(std::cout, titles);
    } else if (!csv && !html) {
        tools::writeHoldingsText(std::cout, titles, directory.string());
    }
    return exitDone;
}

int run(const std::vector<std::string>& arguments) {
    const std::string& command = arguments[0];
    if (command == "--help" || command == "-h" || command == "help") {
        requireOperands(arguments, 0, 0, "--help");
        std::cout << tools::usageText();
        return exitDone;
    }
    if (command == "import") {
        return importCsv(arguments);
    }
    if (command == "export") {
        return exportCsv(arguments);
    }
    if (command == "holdings") {
        return holdings(arguments);
    }
    if (command == "check") {
        return checkCatalogue(arguments);
    }
    if (command == "repair") {
        return repairCatalogue(arguments);
    }
    if (command == "backup") {
        return backupCatalogue(arguments);
    }
    if (command == "restore") {
        return restoreCatalogue(arguments);
    }
    if (command != "create" && command != "demo" && command != "generate") {
        throw UsageError{"unknown command '" + command + "'"};
    }
    if (command == "generate") {
        requireOperands(arguments, 2, 3, "generate DIR N [SEED]");
    } else {
        requireOperands(arguments, 1, 1, (command + " DIR").c_str());
    }
    const std::filesystem::path directory = arguments[1];
    std::optional<std::uint64_t> rows;
    std::optional<std::uint64_t> seed = 1;
    if (command == "generate") {
        rows = parseNumber(arguments[2]);
        if (!rows || *rows > mostRows) {
            throw UsageError{"N must be a whole number from 0 to " + std::to_string(mostRows) +
                             ", not '" + arguments[2] + "'"};
        }
        if (arguments.size() == 4) {
            seed = parseNumber(arguments[3]);
            if (!seed) {
                throw UsageError{"SEED must be a whole number from 0 to " +
                                 std::to_string(UINT64_MAX) + ", not '" + arguments[3] + "'"};
            }
        }
    }
    requireDirectory(directory);

    if (command == "create") {
        schema::createTable(directory);
        checkOpens(directory);
        std::cout << "Created an empty catalogue in " << directory.string() << ".\n";
    } else if (command == "demo") {
        tools::writeDemoCatalogue(directory);
        checkOpens(directory);
        std::cout << "Wrote the demo catalogue of " << tools::demoIssues().size() << " issues in "
                  << directory.string() << ".\n";
    } else {
        const auto start = std::chrono::steady_clock::now();
        tools::Progress progress(std::cerr,
                                 "qvtool: generating " + std::to_string(*rows) + " rows:", *rows);
        tools::generateCatalogue(directory, *rows, *seed,
                                 [&progress](std::uint64_t done) { progress.advance(done); });
        progress.finish();
        checkOpens(directory);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "Generated " << *rows << " issues (seed " << *seed << ") in "
                  << directory.string() << " in " << took.count() << " s.\n";
    }
    return exitDone;
}

}  // namespace

int main(int argc, char** argv) {
    // A write past the file size limit then fails with EFBIG, reported and cleaned up like a
    // full disk, instead of the signal ending the process with a partial file left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << quorvel::tools::usageText();
        return exitUsage;
    }
    try {
        return run(arguments);
    } catch (const UsageError& error) {
        std::cerr << "qvtool: " << error.problem << "\nTry 'qvtool --help'.\n";
        return exitUsage;
    } catch (const quorvel::EDBEngineError& error) {
        // The engine's own message, as the program would show it.
        std::cerr << "qvtool: " << error.message() << '\n';
        return exitFailed;
    } catch (const std::exception& error) {
        std::cerr << "qvtool: " << error.what() << '\n';
        return exitFailed;
    }
}
