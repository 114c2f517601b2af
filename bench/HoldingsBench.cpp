// qvbench holdings DIR: the holdings of every periodical (readHoldings, as qvtool holdings and
// the program's overview read them) against SQLite's own scan of the two fields they come from,
// alternately in the same run. The holdings must account for every row the scan steps.
#include <cstdio>
#include <string>

#include "BenchReport.h"
#include "SqliteReference.h"
#include "Subcommands.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "holdings/Holdings.h"

namespace quorvel::bench {

int runHoldingsBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench holdings DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const std::string& directory = arguments[0];
    Engine engine(directory);
    Database& database = engine.database();
    SqliteReference reference(directory);

    printComment("qvbench holdings " + directory);
    printComment("case ours_ms sqlite_ms ratio (SQLite: SELECT vytisk, cislo FROM qv, stepped)");
    std::vector<TitleHoldings> titles;
    std::int64_t scanned = 0;
    const PairTimes times =
        measurePair([&] { titles = readHoldings(database); },
                    [&] { scanned = reference.run("SELECT vytisk, cislo FROM qv").rows; });
    printCase("holdings", times);
    std::uint64_t records = 0;
    std::size_t years = 0;
    std::size_t unread = 0;
    for (const TitleHoldings& title : titles) {
        records += title.records;
        years += static_cast<std::size_t>(title.yearCount);
        unread += title.unread.size();
    }
    printComment(std::to_string(titles.size()) + " titles, " + std::to_string(years) +
                 " title-years, " + std::to_string(unread) + " texts that don't read, of " +
                 std::to_string(records) + " rows");
    printComment("peak resident set " + std::to_string(peakRssMb()) + " MB");
    if (static_cast<std::int64_t>(records) != scanned) {
        std::fprintf(stderr, "qvbench: the holdings count %llu rows, SQLite's scan %lld\n",
                     static_cast<unsigned long long>(records), static_cast<long long>(scanned));
        return 1;
    }
    return 0;
}

}  // namespace quorvel::bench
