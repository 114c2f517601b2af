// A copy of the program killed in the middle of writing. A child process writes without end,
// touching both files with every change; the parent kills it with SIGKILL at random moments.
// Afterwards the table opens, both files pass SQLite's integrity check, and every change is
// there entirely or not at all: a row's fields and its memo always belong to one version. Also:
// a plain byte copy of the two files taken between two writes is the same table.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "TempCatalogue.h"

namespace quorvel {
namespace {

using testing::PlainConnection;
using testing::TempCatalogue;

struct Version {
    std::string title;
    std::string number;
    std::string parts;
    std::string memo;
};

std::string lines(const std::string& text, int count) {
    std::string result;
    for (int i = 0; i < count; ++i) {
        result += text + " " + std::to_string(i) + "\r\n";
    }
    return result;
}

// Memos of different lengths, both longer than a page, so the two versions differ in the
// number of pages they take in qv.mb.
const Version& olderVersion() {
    static const Version version{"Starý titulek", "1/1999", "staré části",
                                 lines("Starý obsah výtisku, řádek", 900)};
    return version;
}
const Version& newerVersion() {
    static const Version version{"Nový titulek", "2/2024", "nové části",
                                 lines("Nový, delší obsah výtisku: žluťoučký kůň, řádek", 1400)};
    return version;
}

// A child process that runs body and is killed by the parent. body reports through fd.
class Writer {
  public:
    explicit Writer(const std::function<void(int fd)>& body) {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        std::fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            try {
                body(fds[1]);
            } catch (...) {
            }
            ::_exit(1);
        }
        ::close(fds[1]);
        readFd_ = fds[0];
    }
    ~Writer() {
        kill();
        ::close(readFd_);
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Whether the child reported its first finished write within ten seconds.
    bool started() {
        pollfd poll{readFd_, POLLIN, 0};
        char byte = '\0';
        return ::poll(&poll, 1, 10000) == 1 && ::read(readFd_, &byte, 1) == 1 && byte == 'W';
    }
    // Kills the child; false if it had ended already (it never should).
    bool kill() {
        if (pid_ <= 0) {
            return true;
        }
        const bool running = ::kill(pid_, SIGKILL) == 0;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return running && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

  private:
    pid_t pid_ = -1;
    int readFd_ = -1;
};

void reportFirstWrite(int fd) {
    const char byte = 'W';
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
}

class CrashSafety : public ::testing::Test {
  protected:
    CrashSafety() {
        const Version& older = olderVersion();
        ids_ = catalogue_.fill({{"Před", "0", "nic", "obsah před"},
                                {older.title, older.number, older.parts, older.memo},
                                {"Za", "9", std::nullopt, "obsah za"}});
    }

    int kills() const { return testing::shortRuns() ? 6 : 20; }

    // Waits a random time, up to maxMicroseconds.
    void pause(int maxMicroseconds) {
        std::this_thread::sleep_for(std::chrono::microseconds(
            std::uniform_int_distribution<int>(0, maxMicroseconds)(random_)));
    }

    // Whether a rollback journal of either file lies beside it: a commit was interrupted.
    bool journalsPresent() const {
        return std::filesystem::exists(catalogue_.dir() / "qv.db-journal") ||
               std::filesystem::exists(catalogue_.dir() / "qv.mb-journal");
    }

    // After recovery the table is wholly in its two files: a copy of just those two (what the
    // export copies) reads the same row and memo, whatever journals SQLite left beside them.
    void expectTheTwoFilesHoldTheTable(const RowData& row, const std::string& memo) {
        testing::TempDir copy;
        std::filesystem::copy_file(catalogue_.rowsPath(), copy.path() / "qv.db");
        std::filesystem::copy_file(catalogue_.memoPath(), copy.path() / "qv.mb");
        Engine engine(copy.path());
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        const std::optional<RowData> copied = cursor->readRow(row);
        ASSERT_TRUE(copied.has_value());
        EXPECT_EQ(copied->strings, row.strings);
        EXPECT_EQ(cursor->readMemo(row.id), memo);
    }

    void expectIntegrity() {
        PlainConnection plain(catalogue_.dir());
        EXPECT_EQ(plain.text("PRAGMA main.integrity_check"), "ok");
        EXPECT_EQ(plain.text("PRAGMA mb.integrity_check"), "ok");
    }

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    std::mt19937 random_{std::random_device{}()};
};

TEST_F(CrashSafety, AKilledWriterLeavesEachRowWhollyOldOrWhollyNew) {
    const std::filesystem::path dir = catalogue_.dir();
    const std::int64_t id = ids_[1];
    int interrupted = 0;
    std::int64_t lastVersion = 0;
    for (int kill = 0; kill < kills(); ++kill) {
        {
            Writer writer([dir, id](int fd) {
                Engine engine(dir);
                std::unique_ptr<Cursor> cursor =
                    Cursor::open(engine.database(), testing::statementOf(), true);
                RowData row;
                row.id = id;
                for (int i = 0;; ++i) {
                    RowData locked = cursor->lockRow(row);
                    const Version& version = i % 2 == 0 ? newerVersion() : olderVersion();
                    locked.strings = {version.title, version.number, version.parts};
                    locked.memo = version.memo;
                    locked.memoChanged = true;
                    row = cursor->modifyRow(locked);
                    if (i == 0) {
                        reportFirstWrite(fd);
                    }
                }
            });
            ASSERT_TRUE(writer.started()) << "the writer never wrote";
            pause(25000);
            ASSERT_TRUE(writer.kill()) << "the writer ended before it was killed";
        }
        if (journalsPresent()) {
            ++interrupted;
        }

        Engine engine(dir);
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        const std::vector<RowData> rows = testing::walkForward(*cursor, 10);
        ASSERT_EQ(testing::idsOf(rows), ids_);
        const RowData& row = rows[1];
        const std::optional<std::string> memo = cursor->readMemo(id);
        ASSERT_TRUE(memo.has_value());
        const bool isOlder = row.strings[0] == olderVersion().title &&
                             row.strings[1] == olderVersion().number &&
                             row.strings[2] == olderVersion().parts && *memo == olderVersion().memo;
        const bool isNewer = row.strings[0] == newerVersion().title &&
                             row.strings[1] == newerVersion().number &&
                             row.strings[2] == newerVersion().parts && *memo == newerVersion().memo;
        EXPECT_TRUE(isOlder || isNewer)
            << "after kill " << kill << ": title \"" << row.strings[0].value_or("<null>")
            << "\" with a memo of " << memo->size() << " bytes";
        EXPECT_EQ(rows[0].strings[0], "Před");
        EXPECT_EQ(cursor->readMemo(ids_[0]), "obsah před");
        EXPECT_EQ(cursor->readMemo(ids_[2]), "obsah za");
        EXPECT_GT(row.version, lastVersion) << "the writer made no progress";
        lastVersion = row.version;
        cursor.reset();
        expectIntegrity();
        expectTheTwoFilesHoldTheTable(row, *memo);
    }
    // Not a condition of correctness, only of how much the run proved.
    std::printf("%d of %d kills interrupted a commit\n", interrupted, kills());
}

TEST_F(CrashSafety, AKilledWriterOfNewAndDeletedRowsLeavesNoRowWithoutItsMemoOrMemoWithoutRow) {
    const std::filesystem::path dir = catalogue_.dir();
    for (int kill = 0; kill < std::max(2, kills() / 2); ++kill) {
        {
            Writer writer([dir, kill](int fd) {
                Engine engine(dir);
                std::unique_ptr<Cursor> cursor =
                    Cursor::open(engine.database(), testing::statementOf(), true);
                std::optional<RowData> previous;
                for (int i = 0;; ++i) {
                    const std::string tag = std::to_string(kill) + "-" + std::to_string(i);
                    const RowData inserted = cursor->insertRow(testing::rowOf(
                        {"Řádek " + tag, tag, {}, lines("Obsah řádku " + tag, 300)}));
                    if (previous) {
                        cursor->deleteRow(*previous);
                    }
                    previous = inserted;
                    if (i == 0) {
                        reportFirstWrite(fd);
                    }
                }
            });
            ASSERT_TRUE(writer.started()) << "the writer never wrote";
            pause(25000);
            ASSERT_TRUE(writer.kill()) << "the writer ended before it was killed";
        }

        Engine engine(dir);
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        for (const RowData& row : testing::walkForward(*cursor, 10)) {
            const std::string title = row.strings[0].value_or("");
            if (title.rfind("Řádek ", 0) != 0) {
                continue;
            }
            const std::string tag = title.substr(std::string("Řádek ").size());
            EXPECT_EQ(row.strings[1], tag);
            EXPECT_EQ(cursor->readMemo(row.id), lines("Obsah řádku " + tag, 300))
                << "row " << title << " lost its memo";
        }
        cursor.reset();
        PlainConnection plain(dir);
        EXPECT_EQ(plain.integer("SELECT count(*) FROM mb.memo WHERE id NOT IN "
                                "(SELECT id FROM main.qv)"),
                  0)
            << "a memo without its row";
        // Each writer deletes the row before the one it just added: at most two of its own rows.
        EXPECT_LE(plain.integer("SELECT count(*) FROM qv WHERE vytisk LIKE 'Řádek " +
                                std::to_string(kill) + "-%'"),
                  2);
        EXPECT_EQ(plain.text("PRAGMA main.integrity_check"), "ok");
        EXPECT_EQ(plain.text("PRAGMA mb.integrity_check"), "ok");
    }
}

// The export copies the two files while the program runs. Taken between two writes, with a row
// locked for editing, the copy is the table as it was then.
TEST_F(CrashSafety, AByteCopyTakenBetweenTwoWritesOpensAsTheSameTable) {
    testing::TempDir copy;
    Engine engine(catalogue_.dir());
    std::unique_ptr<Cursor> cursor = Cursor::open(engine.database(), testing::statementOf(), true);
    RowData row = cursor->lockRow(cursor->readFirst(2).back());
    row.strings[0] = "Verze při kopii";
    row.memo = "obsah při kopii";
    row.memoChanged = true;
    row = cursor->modifyRow(row);
    cursor->insertRow(testing::rowOf({"Přidaný před kopií", "5", {}, "přidaný obsah"}));
    cursor->lockRow(cursor->readFirst(1).front());

    std::vector<std::vector<std::string>> atCopy;
    {
        PlainConnection plain(catalogue_.dir());
        atCopy = plain.rows(
            "SELECT qv.id, vytisk, cislo, nejzajimavejsi_casti, memo.obsah FROM qv "
            "LEFT JOIN mb.memo ON memo.id = qv.id ORDER BY qv.id");
    }
    std::filesystem::copy_file(catalogue_.rowsPath(), copy.path() / "qv.db");
    std::filesystem::copy_file(catalogue_.memoPath(), copy.path() / "qv.mb");

    row = cursor->lockRow(row);
    row.strings[0] = "Verze po kopii";
    row.memo = "obsah po kopii";
    row.memoChanged = true;
    cursor->modifyRow(row);
    cursor->deleteRow(cursor->readLast(1).front());

    Engine copied(copy.path());
    std::unique_ptr<Cursor> copiedCursor =
        Cursor::open(copied.database(), testing::statementOf(), true);
    const std::vector<RowData> rows = testing::walkForward(*copiedCursor, 10);
    ASSERT_EQ(rows.size(), atCopy.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(std::to_string(rows[i].id), atCopy[i][0]);
        EXPECT_EQ(rows[i].strings[0].value_or("<null>"), atCopy[i][1]);
        EXPECT_EQ(rows[i].strings[1].value_or("<null>"), atCopy[i][2]);
        EXPECT_EQ(rows[i].strings[2].value_or("<null>"), atCopy[i][3]);
        EXPECT_EQ(copiedCursor->readMemo(rows[i].id).value_or("<null>"), atCopy[i][4]);
    }
    EXPECT_EQ(rows[1].strings[0], "Verze při kopii");
    EXPECT_EQ(copiedCursor->readMemo(rows[1].id), "obsah při kopii");
    copiedCursor.reset();
    PlainConnection plain(copy.path());
    EXPECT_EQ(plain.text("PRAGMA main.integrity_check"), "ok");
    EXPECT_EQ(plain.text("PRAGMA mb.integrity_check"), "ok");
}

}  // namespace
}  // namespace quorvel
