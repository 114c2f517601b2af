// qvtool create|demo|generate DIR: a new catalogue, empty, the demo, or N generated rows.
#include "commands/CommandLine.h"

#include <chrono>
#include <iostream>

#include "catalogues/CatalogueGenerator.h"
#include "catalogues/DemoCatalogue.h"
#include "engine/CatalogueSchema.h"

namespace quorvel::tools {

namespace {

// The largest N generate takes: far beyond any benchmark, and below what a 64-bit row count or
// the disk could trouble.
constexpr std::uint64_t mostRows = 1'000'000'000;

}  // namespace

int makeCommand(const Arguments& arguments) {
    const std::string& command = arguments[0];
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
        writeDemoCatalogue(directory);
        checkOpens(directory);
        std::cout << "Wrote the demo catalogue of " << demoIssues().size() << " issues in "
                  << directory.string() << ".\n";
    } else {
        const auto start = std::chrono::steady_clock::now();
        Progress progress(std::clog,
                          "qvtool: generating " + std::to_string(*rows) + " rows:", *rows);
        generateCatalogue(directory, *rows, *seed,
                          [&progress](std::uint64_t done) { progress.advance(done); });
        progress.finish();
        checkOpens(directory);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::cout << "Generated " << *rows << " issues (seed " << *seed << ") in "
                  << directory.string() << " in " << took.count() << " s.\n";
    }
    return exitDone;
}

}  // namespace quorvel::tools
