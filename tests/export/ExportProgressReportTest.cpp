// The export's progress reports: after every step of both files, through the kernel's copy and
// through reads and writes, never falling, up to the total; a failed file counts as done; a
// report that fails fails its file like a read error.
#include "ExportFixture.h"

namespace quorvel {
namespace {

using export_text::copyFailed;
using testing::ExportFixture;
using testing::ScriptedIo;

class ExportProgressReport : public ExportFixture {
  protected:
    // qv.mb over two of the kernel copy's steps.
    ExportProgressReport() {
        catalogue_.fill({{"Velký", "1/2000", "", std::string(5 << 20, 'v')}});
    }
    std::uint64_t size(const std::filesystem::path& file) {
        return std::filesystem::file_size(file);
    }
};

TEST_F(ExportProgressReport, GrowsStepByStepToTheTotalOfBothFiles) {
    const std::uint64_t total = size(catalogue_.rowsPath()) + size(catalogue_.memoPath());
    for (const int failingRead : {0, -1, 2}) {  // -1: inside the kernel; 2: qv.db's second
        SCOPED_TRACE(failingRead);
        ScriptedIo io;
        io.rangeCopies = failingRead < 0;
        io.onRead = [failingRead](int call, std::uint64_t) {
            if (call == failingRead) {
                throw CopyFailure("injected read error");
            }
        };
        std::uint64_t last = 0, reports = 0;
        const std::uint64_t maxStep = failingRead > 0   ? size(catalogue_.rowsPath())
                                      : failingRead < 0 ? CatalogueExport::progressStep
                                                        : 4096;
        const auto report = [&](std::uint64_t copied, std::uint64_t of) {
            EXPECT_EQ(of, total);
            EXPECT_GE(copied, last);
            EXPECT_LE(copied - last, maxStep);
            last = copied;
            ++reports;
        };
        const std::string base = out("kopie" + std::to_string(failingRead));
        EXPECT_EQ(CatalogueExport(database(), io, 4096).run(startDir(), base, report),
                  std::vector<std::string>(failingRead > 0 ? 1 : 0, copyFailed));
        EXPECT_EQ(last, total);
        EXPECT_GE(reports, failingRead < 0 ? 2 : size(catalogue_.memoPath()) / 4096);
        EXPECT_EQ(std::filesystem::exists(base + ".db"), failingRead <= 0);
        EXPECT_EQ(size(base + ".mb"), size(catalogue_.memoPath()));
    }
}

TEST_F(ExportProgressReport, ThatThrowsFailsItsFileAndRemovesThePartialCopy) {
    ScriptedIo io;
    int calls = 0;
    EXPECT_EQ(CatalogueExport(database(), io, 4096)
                  .run(startDir(), out("kopie"),
                       [&calls](auto, auto) {
                           if (++calls == 1) {
                               throw std::runtime_error("gone");
                           }
                       }),
              std::vector<std::string>{copyFailed});
    EXPECT_EQ(io.removed, std::vector<std::string>{out("kopie.db")});
    EXPECT_FALSE(std::filesystem::exists(out("kopie.db")));
    EXPECT_EQ(size(out("kopie.mb")), size(catalogue_.memoPath()));
}

}  // namespace
}  // namespace quorvel
