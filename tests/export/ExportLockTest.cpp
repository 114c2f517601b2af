// The export beside a second running copy of the program that writes. For the whole export the
// engine's shared lock on both files holds, even after the export opened and closed a descriptor
// of a table file itself (a target that was the table): a commit to qv.db alone or to both
// files is locked out, so the copy is one committed version. Afterwards the lock is gone.
#include <spawn.h>
#include <sys/wait.h>

#include "ExportFixture.h"

extern char** environ;

namespace quorvel {
namespace {

using testing::readFile;

// Runs the second writer on the catalogue's row: its exit status (0 committed, 3 locked out).
int secondWriter(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), SECOND_WRITER);
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A base name in the output directory ("h": h.db is a hard link to qv.db, so refused), and
// whether the kernel copies the bytes (else reads and writes do).
using Case = std::tuple<const char*, bool>;

class ExportBesideAWriter : public testing::ExportFixture,
                            public ::testing::WithParamInterface<Case> {};

TEST_P(ExportBesideAWriter, LocksTheWriterOutForTheWholeExportAndCopiesOneVersion) {
    const auto& [name, inKernel] = GetParam();
    std::filesystem::create_hard_link(catalogue_.rowsPath(), out("h.db"));
    const std::string oldRows = readFile(catalogue_.rowsPath());
    const std::string oldMemos = readFile(catalogue_.memoPath());
    const std::string row = std::to_string(ids_[0]);
    std::vector<int> exits;  // at the start of each file's copy: title alone, then title and memo
    testing::ScriptedIo io;
    io.rangeCopies = inKernel;
    io.onRead = [&](int, std::uint64_t offset) {
        if (offset == 0) {
            exits.push_back(secondWriter({startDir(), row, "Nový"}));
            exits.push_back(secondWriter({startDir(), row, "Nový", "nový obsah"}));
        }
    };
    const bool refused = std::string(name) == "h";
    EXPECT_EQ(CatalogueExport(database(), io).run(startDir(), out(name)).size(), refused ? 1u : 0u);

    EXPECT_EQ(exits, std::vector<int>(refused ? 2 : 4, 3));
    EXPECT_EQ(io.reads.empty(), inKernel) << "the road the bytes took";
    EXPECT_TRUE(readFile(catalogue_.rowsPath()) == oldRows);
    EXPECT_TRUE(readFile(catalogue_.memoPath()) == oldMemos);
    EXPECT_TRUE(readFile(out(name) + ".mb") == oldMemos);
    if (!refused) {
        EXPECT_TRUE(readFile(out(name) + ".db") == oldRows);
    }
    EXPECT_EQ(secondWriter({startDir(), row, "Nový", "nový obsah"}), 0);
    std::unique_ptr<Cursor> cursor = Cursor::open(database(), testing::statementOf(), true);
    EXPECT_EQ(testing::rowWithId(*cursor, ids_[0]).strings[0], "Nový");
}

INSTANTIATE_TEST_SUITE_P(Roads, ExportBesideAWriter,
                         ::testing::Values(Case{"kopie", true}, Case{"kopie", false},
                                           Case{"h", true}));

}  // namespace
}  // namespace quorvel
