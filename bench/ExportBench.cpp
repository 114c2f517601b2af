// qvbench export DIR: the export of DIR's catalogue (CatalogueExport, as the menu command runs
// it, with the engine holding the table open) against cp of the same two files, alternately in
// the same run, into a temporary directory beside the system's others. Before every timed copy
// the targets of the last one are removed and the system's dirty pages are written out
// (neither is timed), so that no copy pays for the writeback of the one before. The copies are
// compared byte for byte at the end. One case follows the copy's progress as the program's
// window does: a clock read at every report, the kernel's copy in steps of progressStep.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchFiles.h"
#include "BenchReport.h"
#include "Subcommands.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "export/CatalogueExport.h"

namespace quorvel::bench {

namespace {

namespace fs = std::filesystem;

constexpr int runs = 5;

bool sameBytes(const fs::path& a, const fs::path& b) {
    if (fs::file_size(a) != fs::file_size(b)) {
        return false;
    }
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    std::vector<char> x(1 << 20);
    std::vector<char> y(1 << 20);
    while (first && second) {
        first.read(x.data(), static_cast<std::streamsize>(x.size()));
        second.read(y.data(), static_cast<std::streamsize>(y.size()));
        if (first.gcount() != second.gcount() ||
            !std::equal(x.begin(), x.begin() + first.gcount(), y.begin())) {
            return false;
        }
    }
    return true;
}

// Times one export step against cp: the median of runs rounds after a warm-up round.
// The file operations without the kernel's copy: every byte through a buffer of the program.
class ReadWriteIo : public CopyIo {
  public:
    std::optional<std::size_t> copyRange(CopySource&, std::uint64_t, int, std::size_t) override {
        return std::nullopt;
    }
};

PairTimes measure(Database& database, const std::string& directory, const fs::path& out, CopyIo& io,
                  std::size_t step, const CopyProgress& progress = {}) {
    const std::string base = (out / "kopie").string();
    const fs::path cpDir = out / "cp";
    fs::create_directories(cpDir);
    // Each side's targets of the round before go just before that side copies again.
    auto clear = [](const std::vector<fs::path>& targets) {
        for (const fs::path& target : targets) {
            fs::remove(target);
        }
        ::sync();
    };
    const std::vector<fs::path> ourTargets{base + ".db", base + ".mb"};
    const std::vector<fs::path> cpTargets{cpDir / "qv.db", cpDir / "qv.mb"};
    auto ours = [&] {
        const std::vector<std::string> messages =
            CatalogueExport(database, io, step).run(directory, base, progress);
        if (!messages.empty()) {
            throw std::runtime_error("the export failed: " + messages.front());
        }
    };
    auto cp = [&] { runCp({directory + "/qv.db", directory + "/qv.mb", cpDir.string() + "/"}); };
    std::vector<double> oursMs;
    std::vector<double> cpMs;
    for (int round = 0; round <= runs; ++round) {
        clear(ourTargets);
        const double oursTook = timeMs(ours);
        clear(cpTargets);
        const double cpTook = timeMs(cp);
        if (round > 0) {  // the first round warms the cache
            oursMs.push_back(oursTook);
            cpMs.push_back(cpTook);
        }
    }
    std::string samples = "samples ours/cp ms:";
    for (std::size_t i = 0; i < oursMs.size(); ++i) {
        samples += " " + std::to_string(static_cast<int>(oursMs[i])) + "/" +
                   std::to_string(static_cast<int>(cpMs[i]));
    }
    printComment(samples);
    if (!sameBytes(base + ".db", cpDir / "qv.db") || !sameBytes(base + ".mb", cpDir / "qv.mb")) {
        throw std::runtime_error("the export's copy differs from cp's");
    }
    return {median(oursMs), median(cpMs), runs};
}

}  // namespace

int runExportBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench export DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const std::string directory = arguments[0];
    Engine engine(directory);
    Database& database = engine.database();
    ScratchDirectory out("export");

    printComment("qvbench export " + directory);
    printComment("qv.db " + std::to_string(fs::file_size(directory + "/qv.db")) + " bytes, qv.mb " +
                 std::to_string(fs::file_size(directory + "/qv.mb")) + " bytes, into " +
                 out.path().string());
    printComment("median of " + std::to_string(runs) +
                 " runs after a warm-up run, ours and cp alternating; targets removed and sync "
                 "before each copy, untimed");
    printComment("case ours_ms cp_ms ratio (the second column is cp of the same two files)");
    printComment(
        "export: as the program copies; -progress: with its progress followed; -readwrite: every "
        "byte read and written by the program, in steps of 1 MiB or 2,048 bytes");
    CopyIo io;
    ReadWriteIo readWrite;
    printCase("export", measure(database, directory, out.path(), io, CatalogueExport::defaultStep));
    // As the progress window's report: most calls end at the clock; every 30 ms one goes on.
    long reports = 0;
    long handled = 0;
    auto lastHandled = std::chrono::steady_clock::now();
    const CopyProgress follow = [&](std::uint64_t, std::uint64_t) {
        ++reports;
        const auto now = std::chrono::steady_clock::now();
        if (now - lastHandled >= std::chrono::milliseconds(30)) {
            lastHandled = now;
            ++handled;
        }
    };
    printCase("export-progress",
              measure(database, directory, out.path(), io, CatalogueExport::defaultStep, follow));
    printComment("export-progress: " + std::to_string(reports / (runs + 1)) + " reports a copy, " +
                 std::to_string(handled / (runs + 1)) + " of them 30 ms apart");
    printCase("export-readwrite",
              measure(database, directory, out.path(), readWrite, CatalogueExport::defaultStep));
    printCase("export-readwrite-2048", measure(database, directory, out.path(), readWrite, 2048));
    printComment("peak RSS " + std::to_string(peakRssMb()) + " MB");
    return 0;
}

}  // namespace quorvel::bench
