// The export as the user meets it: new names, existing names, sources gone, sizes at the edges
// of a step, and the table's own files chosen as the target by every spelling.
#include <unistd.h>

#include "ExportFixture.h"

namespace quorvel {
namespace {

using export_text::copyFailed;
using testing::ExportFixture;
using testing::readFile;
using testing::writeFile;

using ExportOfTheCatalogue = ExportFixture;

TEST_F(ExportOfTheCatalogue, ToANewNameCopiesBothFilesByteForByteAndTheCopyOpensAsTheTable) {
    EXPECT_EQ(exportTo(out("kopie")), testing::noMessages);
    expectCopyOfTable(out("kopie"));
    expectEngineReads();

    testing::TempDir restored;
    std::filesystem::copy_file(out("kopie.db"), restored.path() / "qv.db");
    std::filesystem::copy_file(out("kopie.mb"), restored.path() / "qv.mb");
    Engine engine(restored.path());
    std::unique_ptr<Cursor> cursor = engine.database().openCursor(testing::statementOf(), true);
    EXPECT_EQ(testing::rowWithId(*cursor, ids_[0]).strings[0], "Starý titulek");
    EXPECT_EQ(cursor->readMemo(ids_[0]), testing::longMemo("Starý obsah výtisku, řádek", 400));
}

TEST_F(ExportOfTheCatalogue, AnExistingFileChosenKeepsItsNameAndGetsBothExtensions) {
    writeFile(out("kopie.db"), "jiný soubor");
    EXPECT_EQ(exportTo(out("kopie.db")), testing::noMessages);
    expectCopyOfTable(out("kopie.db"));
    EXPECT_EQ(readFile(out("kopie.db")), "jiný soubor");
}

TEST_F(ExportOfTheCatalogue, AnExistingPairIsOverwrittenWhole) {
    const std::string longer(readFile(catalogue_.memoPath()).size() * 2, 'x');
    writeFile(out("kopie.db"), longer);
    writeFile(out("kopie.mb"), longer);
    EXPECT_EQ(exportTo(out("kopie")), testing::noMessages);
    expectCopyOfTable(out("kopie"));
}

TEST_F(ExportOfTheCatalogue, TableFilesGoneFromTheDirectoryFailOncePerFileAndLeaveTargetsAlone) {
    database();  // the table is open while its files are removed
    writeFile(out("kopie.db"), "stará záloha db");
    writeFile(out("kopie.mb"), "stará záloha mb");
    std::filesystem::remove(catalogue_.rowsPath());
    std::filesystem::remove(catalogue_.memoPath());

    EXPECT_EQ(exportTo(out("kopie")), (std::vector<std::string>{copyFailed, copyFailed}));
    EXPECT_EQ(readFile(out("kopie.db")), "stará záloha db");
    EXPECT_EQ(readFile(out("kopie.mb")), "stará záloha mb");
}

// Sources of chosen sizes in a directory of their own, copied in steps of 2,048 bytes.
struct SizedSource {
    std::size_t size;
    std::vector<std::size_t> reads;  // of one file, the final 0 included
};

void PrintTo(const SizedSource& param, std::ostream* out) {
    *out << param.size << " bytes";
}

class ExportOfSizedSources : public ExportFixture,
                             public ::testing::WithParamInterface<SizedSource> {};

TEST_P(ExportOfSizedSources, AreCopiedWholeInStepsOfTheBuffer) {
    const SizedSource& source = GetParam();
    testing::TempDir dir;
    std::string bytes;
    for (std::size_t i = 0; i < source.size; ++i) {
        bytes += static_cast<char>('a' + i % 26);
    }
    writeFile(dir.path() / "qv.db", bytes);
    writeFile(dir.path() / "qv.mb", bytes + "m");
    testing::ScriptedIo io;

    EXPECT_EQ(CatalogueExport(database(), io, 2048).run(dir.path().string(), out("kopie")),
              testing::noMessages);
    EXPECT_EQ(readFile(out("kopie.db")), bytes);
    EXPECT_EQ(readFile(out("kopie.mb")), bytes + "m");
    ASSERT_GE(io.reads.size(), source.reads.size());
    EXPECT_EQ(std::vector<std::size_t>(io.reads.begin(),
                                       io.reads.begin() + static_cast<long>(source.reads.size())),
              source.reads);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExportOfSizedSources,
                         ::testing::Values(SizedSource{0, {0}}, SizedSource{2048, {2048, 0}},
                                           SizedSource{2049, {2048, 1, 0}},
                                           SizedSource{5000, {2048, 2048, 904, 0}}));

// A base name whose targets are the table's own files, however it is spelled.
struct OwnFileSpelling {
    const char* name;
    // Makes what the spelling needs in dir (outside the catalogue) and gives the base name.
    std::function<std::string(const std::filesystem::path& catalogue,
                              const std::filesystem::path& dir)>
        base;
};

void PrintTo(const OwnFileSpelling& param, std::ostream* out) {
    *out << param.name;
}

class ExportOntoItself : public ExportFixture,
                         public ::testing::WithParamInterface<OwnFileSpelling> {};

TEST_P(ExportOntoItself, IsRefusedForBothFilesAndTouchesNothing) {
    database();
    const std::string base = GetParam().base(catalogue_.dir(), outDir_.path());
    const testing::DirSnapshot tableBefore = testing::snapshot(catalogue_.dir());
    const testing::DirSnapshot outBefore = testing::snapshot(outDir_.path());

    EXPECT_EQ(exportTo(base), (std::vector<std::string>{copyFailed, copyFailed}));
    EXPECT_EQ(testing::snapshot(catalogue_.dir()), tableBefore);
    EXPECT_EQ(testing::fileNames(testing::snapshot(outDir_.path())), testing::fileNames(outBefore));
    expectEngineReads();
}

// Runs with the working directory set to dir, as the program does from where it was started.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const std::filesystem::path& dir)
        : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~WorkingDirectory() { std::filesystem::current_path(before_); }

  private:
    std::filesystem::path before_;
};

TEST_F(ExportOfTheCatalogue, OntoItselfByARelativePathIsRefused) {
    database();
    const testing::DirSnapshot before = testing::snapshot(catalogue_.dir());
    std::vector<std::string> messages;
    {
        WorkingDirectory inCatalogue(catalogue_.dir());
        messages = CatalogueExport(database()).run(".", "./qv");
    }
    EXPECT_EQ(messages, (std::vector<std::string>{copyFailed, copyFailed}));
    EXPECT_EQ(testing::snapshot(catalogue_.dir()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, ExportOntoItself,
    ::testing::Values(
        OwnFileSpelling{"SamePath",
                        [](auto& catalogue, auto&) { return (catalogue / "qv").string(); }},
        OwnFileSpelling{"DotSegments",
                        [](auto& catalogue, auto&) { return catalogue.string() + "/././qv"; }},
        OwnFileSpelling{"ParentSegments",
                        [](auto& catalogue, auto&) {
                            return catalogue.string() + "/../" + catalogue.filename().string() +
                                   "/qv";
                        }},
        OwnFileSpelling{"DoubledSlashes",
                        [](auto& catalogue, auto&) { return catalogue.string() + "//qv"; }},
        OwnFileSpelling{"SymlinkedDirectory",
                        [](auto& catalogue, auto& dir) {
                            std::filesystem::create_directory_symlink(catalogue, dir / "odkaz");
                            return (dir / "odkaz" / "qv").string();
                        }},
        OwnFileSpelling{"SymlinksToTheFiles",
                        [](auto& catalogue, auto& dir) {
                            std::filesystem::create_symlink(catalogue / "qv.db", dir / "s.db");
                            std::filesystem::create_symlink(catalogue / "qv.mb", dir / "s.mb");
                            return (dir / "s").string();
                        }},
        OwnFileSpelling{"CrossedSymlinks",
                        [](auto& catalogue, auto& dir) {
                            std::filesystem::create_symlink(catalogue / "qv.mb", dir / "x.db");
                            std::filesystem::create_symlink(catalogue / "qv.db", dir / "x.mb");
                            return (dir / "x").string();
                        }},
        OwnFileSpelling{"HardLinks",
                        [](auto& catalogue, auto& dir) {
                            std::filesystem::create_hard_link(catalogue / "qv.db", dir / "h.db");
                            std::filesystem::create_hard_link(catalogue / "qv.mb", dir / "h.mb");
                            return (dir / "h").string();
                        }}),
    [](const ::testing::TestParamInfo<OwnFileSpelling>& param) { return param.param.name; });

}  // namespace
}  // namespace quorvel
