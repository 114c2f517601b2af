// The export as the user meets it: new and existing names, sources gone, sizes at the edges of
// a step, and the table's own files chosen as the target by any spelling.
#include "ExportFixture.h"

namespace quorvel {
namespace {

using export_text::copyFailed;
using testing::ExportFixture;
using testing::readFile;
using testing::writeFile;
using ExportOfTheCatalogue = ExportFixture;
const std::vector<std::string> twoFailures{copyFailed, copyFailed};

TEST_F(ExportOfTheCatalogue, ToANewNameCopiesBothFilesByteForByte) {
    EXPECT_EQ(exportTo(out("kopie")), testing::noMessages);
    expectCopyOfTable(out("kopie"));
}

TEST_F(ExportOfTheCatalogue, AnExistingFileChosenGetsBothExtensionsAndStaysAsItWas) {
    writeFile(out("kopie.db"), "jiný soubor");
    EXPECT_EQ(exportTo(out("kopie.db")), testing::noMessages);
    expectCopyOfTable(out("kopie.db"));
    EXPECT_EQ(readFile(out("kopie.db")), "jiný soubor");
}

TEST_F(ExportOfTheCatalogue, AnExistingLongerPairIsOverwrittenWhole) {
    const std::string longer(readFile(catalogue_.memoPath()).size() * 2, 'x');
    writeFile(out("kopie.db"), longer);
    writeFile(out("kopie.mb"), longer);
    EXPECT_EQ(exportTo(out("kopie")), testing::noMessages);
    expectCopyOfTable(out("kopie"));
}

TEST_F(ExportOfTheCatalogue, TableFilesGoneFromTheDirectoryFailOncePerFileAndLeaveTargetsAlone) {
    database();  // the table stays open while its files are removed
    writeFile(out("kopie.db"), "stará záloha db");
    writeFile(out("kopie.mb"), "stará záloha mb");
    std::filesystem::remove(catalogue_.rowsPath());
    std::filesystem::remove(catalogue_.memoPath());
    EXPECT_EQ(exportTo(out("kopie")), twoFailures);
    EXPECT_EQ(readFile(out("kopie.db")), "stará záloha db");
    EXPECT_EQ(readFile(out("kopie.mb")), "stará záloha mb");
}

// Files of a given size in a directory of their own (no table of the engine's), copied in
// steps of 2,048 bytes: the counts read from qv.db, the final 0 included.
class ExportOfSizedSources : public ExportFixture,
                             public ::testing::WithParamInterface<std::vector<std::size_t>> {};

TEST_P(ExportOfSizedSources, AreCopiedWholeInStepsOfTheBuffer) {
    std::size_t size = 0;
    for (const std::size_t count : GetParam()) {
        size += count;
    }
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>('a' + i % 26);
    }
    testing::TempDir dir;
    writeFile(dir.path() / "qv.db", bytes);
    writeFile(dir.path() / "qv.mb", "m");
    testing::ScriptedIo io;
    EXPECT_EQ(CatalogueExport(database(), io, 2048).run(dir.path().string(), out("kopie")),
              testing::noMessages);
    EXPECT_EQ(readFile(out("kopie.db")), bytes);
    EXPECT_EQ(readFile(out("kopie.mb")), "m");
    EXPECT_EQ(std::vector<std::size_t>(io.reads.begin(), io.reads.begin() + GetParam().size()),
              GetParam());
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExportOfSizedSources,
                         ::testing::Values(std::vector<std::size_t>{0},
                                           std::vector<std::size_t>{2048, 0},
                                           std::vector<std::size_t>{2048, 1, 0},
                                           std::vector<std::size_t>{2048, 2048, 904, 0}));

// A base name whose targets are the table's own files. In the spelling, C stands for the
// catalogue's directory and O for the output directory, which holds "odkaz", a symlink to the
// catalogue's directory, s.db and s.mb symlinks to qv.db and qv.mb, x.db and x.mb the same
// crossed, and h.db and h.mb hard links to them.
class ExportOntoItself : public ExportFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(ExportOntoItself, IsRefusedForBothFilesAndTouchesNothing) {
    namespace fs = std::filesystem;
    const fs::path& table = catalogue_.dir();
    const fs::path& dir = outDir_.path();
    fs::create_directory_symlink(table, dir / "odkaz");
    fs::create_symlink(table / "qv.db", dir / "s.db");
    fs::create_symlink(table / "qv.mb", dir / "s.mb");
    fs::create_symlink(table / "qv.mb", dir / "x.db");
    fs::create_symlink(table / "qv.db", dir / "x.mb");
    fs::create_hard_link(table / "qv.db", dir / "h.db");
    fs::create_hard_link(table / "qv.mb", dir / "h.mb");
    std::string base = GetParam();
    base.replace(0, 1, base[0] == 'C' ? table.string() : dir.string());
    const size_t name = base.find("NAME");
    if (name != std::string::npos) {
        base.replace(name, 4, table.filename().string());
    }
    const testing::DirSnapshot tableBefore = testing::snapshot(table);
    const testing::DirSnapshot outBefore = testing::snapshot(dir);

    EXPECT_EQ(exportTo(base), twoFailures) << base;
    EXPECT_EQ(testing::snapshot(table), tableBefore);
    EXPECT_EQ(testing::snapshot(dir), outBefore);
    std::unique_ptr<Cursor> cursor = Cursor::open(database(), testing::statementOf(), true);
    EXPECT_EQ(testing::idsOf(testing::walkForward(*cursor, 10)), ids_);
}

INSTANTIATE_TEST_SUITE_P(Spellings, ExportOntoItself,
                         ::testing::Values("C/qv", "C/./qv", "C/../NAME/qv", "C//qv", "O/odkaz/qv",
                                           "O/odkaz/../odkaz/./qv", "O/s", "O/x", "O/h"));

}  // namespace
}  // namespace quorvel
