// qvbench import DIR: DIR's rows exported once as CSV and as .xlsx, then the import of each into
// a new catalogue (CsvImport, as qvtool import runs it) against SQLite copying the same rows from
// DIR into a plain table of a new file in one statement, and the dry run of each (dryRunImport)
// against the export writing that file again, alternately in the same run. Each new catalogue
// and file is made and the last one removed inside the timed work, which costs milliseconds
// beside seconds. Every import must add all of DIR's rows.
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <streambuf>
#include <string>

#include "BenchFiles.h"
#include "BenchReport.h"
#include "Subcommands.h"
#include "engine/CatalogueSchema.h"
#include "lists/CsvDryRun.h"
#include "lists/CsvExport.h"
#include "lists/CsvImport.h"

namespace quorvel::bench {

namespace {

namespace fs = std::filesystem;

// Timed runs of each case after an unmeasured one: an import of a million rows takes seconds.
constexpr int runs = 2;

// A stream that keeps nothing: the dry run's report.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c; }
};

void execute(sqlite3* db, const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        const std::string text = message != nullptr ? message : "unknown error";
        sqlite3_free(message);
        throw std::runtime_error("SQLite: " + text);
    }
}

// SQLite's side: DIR's rows and memo texts copied into a plain table of a new file.
void sqliteCopy(const fs::path& source, const fs::path& target) {
    sqlite3* db = nullptr;
    if (sqlite3_open(target.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("SQLite can't open " + target.string());
    }
    try {
        execute(db, "ATTACH '" + (source / "qv.db").string() + "' AS src");
        execute(db, "ATTACH '" + (source / "qv.mb").string() + "' AS srcmb");
        execute(db,
                "CREATE TABLE qv (vytisk TEXT, cislo TEXT, nejzajimavejsi_casti TEXT, "
                "obsah TEXT)");
        execute(db,
                "INSERT INTO qv SELECT q.vytisk, q.cislo, q.nejzajimavejsi_casti, m.obsah "
                "FROM src.qv q LEFT JOIN srcmb.memo m ON m.id = q.id");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

}  // namespace

int runImportBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench import DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const fs::path directory = arguments[0];
    const ScratchDirectory scratch("import");
    const fs::path csv = scratch.path() / "seznam.csv";
    const fs::path xlsx = scratch.path() / "seznam.xlsx";
    const auto nothing = [](std::uint64_t) {};
    std::uint64_t rows = tools::CsvExport(directory, SortOrder::Unsorted).write(csv, nothing);
    tools::CsvExport(directory, SortOrder::Unsorted).writeWorkbook(xlsx, nothing);

    printComment("qvbench import " + directory.string() + ": " + std::to_string(rows) +
                 " rows; CSV " + std::to_string(fs::file_size(csv) >> 20) + " MB, xlsx " +
                 std::to_string(fs::file_size(xlsx) >> 20) + " MB");
    printComment("case ours_ms reference_ms ratio");
    printComment("import: reference SQLite copying the same rows into a plain table of a new file");
    printComment("dry run: reference the export writing the same file");
    int made = 0;
    const auto fresh = [&scratch, &made](const char* kind) {
        const fs::path last = scratch.path() / (std::string(kind) + std::to_string(made));
        std::error_code ignored;
        fs::remove_all(last, ignored);
        const fs::path next = scratch.path() / (std::string(kind) + std::to_string(++made));
        fs::create_directory(next);
        return next;
    };
    for (const fs::path& file : {csv, xlsx}) {
        const std::string name = file.extension() == ".csv" ? "csv" : "xlsx";
        const PairTimes import = measurePairRuns(
            [&] {
                const fs::path target = fresh("catalogue");
                schema::createTable(target);
                tools::CsvImport importer(file, target, {});
                if (importer.run(nothing) != rows) {
                    throw std::runtime_error("the import of " + file.string() +
                                             " didn't add every row");
                }
            },
            [&] { sqliteCopy(directory, fresh("sqlite") / "copy.db"); }, runs);
        printCase("import_" + name, import);
        NullBuffer buffer;
        std::ostream out(&buffer);
        const PairTimes dryRun = measurePairRuns(
            [&] {
                if (!tools::dryRunImport(file, {}, out)) {
                    throw std::runtime_error("the dry run refused " + file.string());
                }
            },
            [&] {
                const fs::path target = fresh("export") / file.filename();
                tools::CsvExport exporter(directory, SortOrder::Unsorted);
                if (name == "csv") {
                    exporter.write(target, nothing);
                } else {
                    exporter.writeWorkbook(target, nothing);
                }
            },
            runs);
        printCase("dry_run_" + name, dryRun);
    }
    printComment("peak RSS " + std::to_string(static_cast<int>(peakRssMb())) + " MB");
    return 0;
}

}  // namespace quorvel::bench
