// A medium that fails under the copy: targets that can't be made, removals that fail, a full
// medium. A partial target never stays behind without a word. Faults at every step of the copy
// are injected one by one in the fault harness.
#include "ExportFixture.h"

namespace quorvel {
namespace {

using export_text::copyFailed;
using export_text::removeFailed;
using testing::ExportFixture;
using testing::ScriptedIo;
using ExportFailures = ExportFixture;

TEST_F(ExportFailures, ARemovalThatFailsAsksTheUserToRemoveTheFileNamingIt) {
    ScriptedIo io;
    io.failsWrite = true;
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
