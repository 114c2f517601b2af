// The export against a second running copy of the program that writes. While the export runs,
// the engine's shared lock on both files holds: a commit to qv.db alone or to both files waits,
// even after the export opened and closed a descriptor of a table file itself (a target that was
// the table). The copy is one committed version, and after the export the lock is gone.
#include <spawn.h>
#include <sys/wait.h>

#include "ExportFixture.h"

extern char** environ;

namespace quorvel {
namespace {

using testing::ExportFixture;
using testing::readFile;
using ExportLocks = ExportFixture;

// Runs the second writer and gives its exit status (0 committed, 3 locked out).
int secondWriter(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{SECOND_WRITER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Target {
    const char* name;
    // The base name in dir; may lay links to the table's files first.
    std::function<std::string(const std::filesystem::path& catalogue,
                              const std::filesystem::path& dir)>
        base;
    std::vector<std::string> messages;
    bool inKernel;  // copied by copy_file_range, else by reads and writes
};

void PrintTo(const Target& param, std::ostream* out) {
    *out << param.name;
}

class ExportBesideAWriter : public ExportFixture, public ::testing::WithParamInterface<Target> {
  protected:
    std::vector<std::string> commitTitle(const std::string& title) {
        return {"commit", startDir(), std::to_string(ids_[0]), title};
    }
    std::vector<std::string> commitBoth(const std::string& title, const std::string& memo) {
        return {"commit", startDir(), std::to_string(ids_[0]), title, memo};
    }
};

TEST_P(ExportBesideAWriter, WaitsForTheWholeExportAndGetsOneVersion) {
    database();
    const std::string oldRows = readFile(catalogue_.rowsPath());
    const std::string oldMemo = readFile(catalogue_.memoPath());
    const std::string base = GetParam().base(catalogue_.dir(), outDir_.path());

    // At the start of each file's copy the other copy of the program tries to commit.
    std::vector<int> titleOnly;
    std::vector<int> both;
    testing::ScriptedIo io;
    io.rangeCopies = GetParam().inKernel;
    io.onRead = [&](int, std::uint64_t offset) {
        if (offset == 0) {
            titleOnly.push_back(secondWriter(commitTitle("Nový titulek")));
            both.push_back(secondWriter(commitBoth("Nový titulek", "Nový obsah")));
        }
    };
    EXPECT_EQ(CatalogueExport(database(), io, 4096).run(startDir(), base), GetParam().messages);

    ASSERT_FALSE(titleOnly.empty());
    if (GetParam().inKernel) {
        EXPECT_TRUE(io.reads.empty()) << "the table's files were not copied inside the kernel";
    }
    EXPECT_EQ(titleOnly, std::vector<int>(titleOnly.size(), 3));
    EXPECT_EQ(both, std::vector<int>(both.size(), 3));
    EXPECT_TRUE(readFile(catalogue_.rowsPath()) == oldRows) << "qv.db changed";
    EXPECT_TRUE(readFile(catalogue_.memoPath()) == oldMemo) << "qv.mb changed";
    EXPECT_TRUE(readFile(base + ".mb") == oldMemo) << "the copy of qv.mb is another version";
    if (GetParam().messages.empty()) {
        EXPECT_TRUE(readFile(base + ".db") == oldRows) << "the copy of qv.db is another version";
    }

    // The lock ends with the export: the writer commits, and the engine reads its change.
    EXPECT_EQ(secondWriter(commitBoth("Nový titulek", "Nový obsah")), 0);
    std::unique_ptr<Cursor> cursor = database().openCursor(testing::statementOf(), true);
    EXPECT_EQ(testing::rowWithId(*cursor, ids_[0]).strings[0], "Nový titulek");
    EXPECT_EQ(cursor->readMemo(ids_[0]), "Nový obsah");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ExportBesideAWriter,
    ::testing::Values(
        Target{"NewPair", [](auto&, auto& dir) { return (dir / "kopie").string(); }, {}, true},
        Target{"NewPairByReadsAndWrites",
               [](auto&, auto& dir) { return (dir / "kopie").string(); },
               {},
               false},
        Target{"FirstTargetIsTheTable",
               [](auto& catalogue, auto& dir) {
                   std::filesystem::create_hard_link(catalogue / "qv.db", dir / "h.db");
                   return (dir / "h").string();
               },
               {export_text::copyFailed},
               true}),
    [](const ::testing::TestParamInfo<Target>& param) { return param.param.name; });

TEST_F(ExportLocks, RowLocksOfAnEditSurviveTheExport) {
    std::unique_ptr<Cursor> cursor = database().openCursor(testing::statementOf(), true);
    cursor->lockRow(testing::rowWithId(*cursor, ids_[0]));
    const std::vector<std::string> lockRow{"lockrow", startDir(), std::to_string(ids_[0])};
    ASSERT_EQ(secondWriter(lockRow), 3);

    EXPECT_EQ(exportTo(out("kopie")), testing::noMessages);
    EXPECT_EQ(secondWriter(lockRow), 3);
}

}  // namespace
}  // namespace quorvel
