// A medium that fails under the copy: errors and short writes in the middle, targets that can't
// be made, removals that fail. A partial target never stays behind without a word.
#include "ExportFixture.h"

namespace quorvel {
namespace {

using export_text::copyFailed;
using export_text::removeFailed;
using testing::ExportFixture;
using testing::ScriptedIo;
using ExportFailures = ExportFixture;

struct MidCopyFault {
    const char* name;
    std::function<void(ScriptedIo&)> arrange;
};
void PrintTo(const MidCopyFault& fault, std::ostream* out) {
    *out << fault.name;
}

class ExportWithAFaultMidCopy : public ExportFixture,
                                public ::testing::WithParamInterface<MidCopyFault> {};

TEST_P(ExportWithAFaultMidCopy, RemovesThePartialTargetAndStillCopiesTheSecondFile) {
    ScriptedIo io;
    GetParam().arrange(io);
    testing::writeFile(out("kopie.db"), "stará záloha");
    EXPECT_EQ(CatalogueExport(database(), io, 2048).run(startDir(), out("kopie")),
              std::vector<std::string>{copyFailed});
    EXPECT_FALSE(std::filesystem::exists(out("kopie.db")));
    EXPECT_EQ(io.removed, std::vector<std::string>{out("kopie.db")});
    EXPECT_TRUE(testing::readFile(out("kopie.mb")) == testing::readFile(catalogue_.memoPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ExportWithAFaultMidCopy,
    ::testing::Values(
        MidCopyFault{"WriteError",
                     [](ScriptedIo& io) { io.failsWrite = [](int n) { return n == 3; }; }},
        MidCopyFault{"ShortWrite",
                     [](ScriptedIo& io) { io.shortWrite = [](int n) { return n == 2; }; }},
        MidCopyFault{"ReadError",
                     [](ScriptedIo& io) {
                         io.onRead = [](int n, std::uint64_t) {
                             if (n == 3) {
                                 throw CopyFailure("injected read error");
                             }
                         };
                     }},
        MidCopyFault{"InKernelCopyError", [](ScriptedIo& io) {
                         io.rangeCopies = true;
                         io.rangeStep = 4096;
                         io.failsRange = [](int n) { return n == 3; };
                     }}));

TEST_F(ExportFailures, ARemovalThatFailsAsksTheUserToRemoveTheFileNamingIt) {
    ScriptedIo io;
    io.failsWrite = [](int) { return true; };
    io.removeFails = true;
    EXPECT_EQ(CatalogueExport(database(), io).run(startDir(), out("kopie")),
              (std::vector<std::string>{copyFailed, removeFailed(out("kopie.db")), copyFailed,
                                        removeFailed(out("kopie.mb"))}));
    EXPECT_EQ(removeFailed("/tmp/a&b.db"),
              "Nepodařilo se odstranit špatně zkopírovaný soubor! Odstraňte ho prosím "
              "manuálně.(soubor /tmp/a&b.db)");
}

TEST_F(ExportFailures, TargetsThatCantBeCreatedAreNeitherMadeNorRemoved) {
    ScriptedIo io;
    EXPECT_EQ(CatalogueExport(database(), io).run(startDir(), out("chybí/kopie")),
              (std::vector<std::string>{copyFailed, copyFailed}));
    EXPECT_TRUE(io.removed.empty());
}

TEST_F(ExportFailures, AFullMediumFailsEachCopyAndRemovesWhatWasCreated) {
    // /dev/full takes no byte: every write ends in "no space left on device".
    std::filesystem::create_symlink("/dev/full", out("plny.db"));
    std::filesystem::create_symlink("/dev/full", out("plny.mb"));
    EXPECT_EQ(exportTo(out("plny")), (std::vector<std::string>{copyFailed, copyFailed}));
    EXPECT_FALSE(std::filesystem::is_symlink(out("plny.db")));
    EXPECT_FALSE(std::filesystem::is_symlink(out("plny.mb")));
}

}  // namespace
}  // namespace quorvel
