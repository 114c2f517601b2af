// qvbench: times Quorvel's layers against SQLite itself, in the same run on the same files.
// Each subcommand benchmarks one layer; the table below lists them.
#include <cstdio>
#include <exception>
#include <string>

#include "Exceptions.h"
#include "Subcommands.h"

namespace {

using namespace quorvel::bench;

struct Subcommand {
    const char* name;
    const char* arguments;
    const char* summary;
    int (*run)(const Arguments&);
};

constexpr Subcommand subcommands[] = {
    {"store", "DIR",
     "the engine (Engine, Database, Cursor) on a catalogue made by\n"
     "                  'qvtool generate DIR N'",
     runStoreBench},
    {"recordset", "DIR",
     "the record set Query1 with a window of 30 rows (moves, edits) on a\n"
     "                  catalogue made by 'qvtool generate DIR N'; adds and removes rows",
     runRecordSetBench},
#ifdef QUORVEL_GRID_BENCH
    {"grid", "DIR",
     "the data grid DBGrid1 of 12 lines, offscreen (keys, clicks, Edit, first\n"
     "                  paints); second column the record set's own operation",
     runGridBench},
    {"start", "DIR...",
     "the main window's start, offscreen, until its grid has painted its first\n"
     "                  rows, cold and warm, and the opening's checks one by one, on each\n"
     "                  catalogue; second column SQLite opening the files and stepping 20 rows",
     runStartBench},
#endif
    {"export", "DIR",
     "the export of DIR's catalogue (both files copied under the engine's\n"
     "                  shared lock) against cp of the same two files; second column cp's",
     runExportBench},
    {"backup", "DIR",
     "qvtool backup of DIR's catalogue, and qvtool restore over a copy of it,\n"
     "                  against cp of the two files; second column cp's",
     runBackupBench},
    {"holdings", "DIR",
     "the holdings of every periodical (numbers held, missing, twice) against\n"
     "                  SQLite's scan of the two fields they are read from",
     runHoldingsBench},
    {"import", "DIR",
     "the import of DIR's rows from CSV and .xlsx into a new catalogue against\n"
     "                  SQLite copying them; the dry runs against the export of each file",
     runImportBench},
};

void printUsage(std::FILE* out) {
    std::fprintf(out, "Usage:\n");
    for (const Subcommand& subcommand : subcommands) {
        std::fprintf(out, "  qvbench %s %s\n", subcommand.name, subcommand.arguments);
    }
    std::fprintf(out, "  qvbench --help\n\nSubcommands:\n");
    for (const Subcommand& subcommand : subcommands) {
        std::fprintf(out, "  %-15s %s\n", subcommand.name, subcommand.summary);
    }
    std::fprintf(out,
                 "\n"
                 "Each case is timed on our side and through SQLite's C API on the same files,\n"
                 "alternately, in the same run: the median of at least 5 runs after one warm-up\n"
                 "run. Output: one line per case \"CASE OURS_MS SQLITE_MS RATIO\" (RATIO = ours\n"
                 "divided by SQLite's); lines starting with # are comments. The last comment is\n"
                 "the process's peak resident set size.\n"
                 "\n"
                 "Exit status: 0 done, 1 failed or results that disagree with SQLite's, 2 wrong\n"
                 "usage.\n");
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        printUsage(stderr);
        return 2;
    }
    if (arguments[0] == "--help" || arguments[0] == "-h") {
        printUsage(stdout);
        return 0;
    }
    for (const Subcommand& subcommand : subcommands) {
        if (arguments[0] == subcommand.name) {
            try {
                return subcommand.run(Arguments(arguments.begin() + 1, arguments.end()));
            } catch (const quorvel::Exception& error) {
                std::fprintf(stderr, "qvbench: %s\n", error.message().c_str());
            } catch (const std::exception& error) {
                std::fprintf(stderr, "qvbench: %s\n", error.what());
            }
            return 1;
        }
    }
    std::fprintf(stderr, "qvbench: unknown subcommand '%s'\nTry 'qvbench --help'.\n",
                 arguments[0].c_str());
    return 2;
}
