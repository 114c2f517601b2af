// qvbench backup DIR: qvtool's backup of DIR's catalogue (writeBackup: the export's copy, then
// both files synced) and its restore over a copy of the catalogue (CatalogueRestore: staged copy,
// check, files kept, one commit, check) against cp of the same two files, alternately in the
// same run, in a temporary directory beside the system's others. Before each timed step the
// last one's files are removed and the system's dirty pages written out (neither timed). As the
// backup and the restore sync and cp doesn't, one more reference is cp followed by sync.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "BenchReport.h"
#include "Subcommands.h"
#include "commands/CatalogueBackup.h"
#include "restore/CatalogueRestore.h"

namespace quorvel::bench {

namespace {

namespace fs = std::filesystem;

// Each timed step moves the whole catalogue several times over: a few runs suffice.
constexpr int runs = 3;

void cpFiles(const fs::path& rows, const fs::path& memos, const fs::path& into) {
    runCp({rows.string(), memos.string(), into.string() + "/"});
}

// Empties directory and writes the system's dirty pages out, untimed.
void clear(const fs::path& directory) {
    fs::remove_all(directory);
    fs::create_directories(directory);
    ::sync();
}

struct Triple {
    std::vector<double> ours, cp, cpSync;
};

void report(const std::string& name, const Triple& times) {
    printCase(name, {median(times.ours), median(times.cp), runs});
    printCase(name + "-vs-cp-sync", {median(times.ours), median(times.cpSync), runs});
}

}  // namespace

int runBackupBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench backup DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const fs::path directory = arguments[0];
    const fs::path rows = directory / "qv.db";
    const fs::path memos = directory / "qv.mb";
    printComment("qvbench backup " + directory.string() + ": " +
                 std::to_string((fs::file_size(rows) + fs::file_size(memos)) >> 20) + " MB");
    printComment(
        "backup: qvtool backup, synced; restore: qvtool restore over a copy of the catalogue; "
        "second column cp of the two files, then (-vs-cp-sync) cp followed by sync");
    const ScratchDirectory scratch("backup");
    const fs::path backups = scratch.path() / "backups";
    const fs::path copies = scratch.path() / "cp";
    const fs::path catalogue = scratch.path() / "catalogue";
    const fs::path base = backups / "kopie";
    Triple backup;
    Triple restore;
    for (int round = 0; round <= runs; ++round) {
        clear(backups);
        const double ours = timeMs([&] { tools::writeBackup(directory, base, {}); });
        clear(copies);
        const double cp = timeMs([&] { cpFiles(rows, memos, copies); });
        clear(copies);
        const double cpSync = timeMs([&] {
            cpFiles(rows, memos, copies);
            ::sync();
        });
        clear(catalogue);
        cpFiles(rows, memos, catalogue);
        ::sync();
        std::uint64_t restored = 0;
        const double back = timeMs([&] {
            const restore::RestoreReport done =
                restore::CatalogueRestore(base, catalogue).run([](const std::string&) {});
            if (!done.remaining.empty()) {
                throw std::runtime_error("the restored catalogue is damaged");
            }
            restored = done.restored.rows;
        });
        clear(copies);
        const double backCp =
            timeMs([&] { cpFiles(base.string() + ".db", base.string() + ".mb", copies); });
        clear(copies);
        const double backCpSync = timeMs([&] {
            cpFiles(base.string() + ".db", base.string() + ".mb", copies);
            ::sync();
        });
        if (round == 0) {  // the first round warms the cache
            printComment("restored " + std::to_string(restored) + " rows");
            continue;
        }
        backup.ours.push_back(ours);
        backup.cp.push_back(cp);
        backup.cpSync.push_back(cpSync);
        restore.ours.push_back(back);
        restore.cp.push_back(backCp);
        restore.cpSync.push_back(backCpSync);
        printComment("round " + std::to_string(round) + " ms: backup " +
                     std::to_string(static_cast<int>(ours)) + ", cp " +
                     std::to_string(static_cast<int>(cp)) + ", cp+sync " +
                     std::to_string(static_cast<int>(cpSync)) + "; restore " +
                     std::to_string(static_cast<int>(back)) + ", cp " +
                     std::to_string(static_cast<int>(backCp)) + ", cp+sync " +
                     std::to_string(static_cast<int>(backCpSync)));
    }
    report("backup", backup);
    report("restore", restore);
    printComment("peak RSS " + std::to_string(static_cast<int>(peakRssMb())) + " MB");
    return 0;
}

}  // namespace quorvel::bench
