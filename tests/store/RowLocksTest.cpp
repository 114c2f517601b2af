// Two running copies of the program on one catalogue. Two engines in one process, each with its
// own connection and its own lock description, behave as two processes; a real second process
// shows that a copy which dies holding a lock leaves the row free.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <set>

#include "TempCatalogue.h"
#include "engine/RowLocks.h"

namespace quorvel {
namespace {

using testing::PlainConnection;
using testing::rowWithId;
using testing::TempCatalogue;

class TwoRunningCopies : public ::testing::Test {
  protected:
    TwoRunningCopies() {
        ids_ = catalogue_.fill({{"Alfa", "1", "a", "obsah alfa"},
                                {"Beta", "2", "b", std::nullopt},
                                {"Gama", "3", "c", "obsah gama"}});
        a_ = Cursor::open(copyA_.database(), testing::statementOf(), true);
        b_ = Cursor::open(copyB_.database(), testing::statementOf(), true);
    }

    TempCatalogue catalogue_;
    std::vector<std::int64_t> ids_;
    Engine copyA_{catalogue_.dir()};
    Engine copyB_{catalogue_.dir()};
    std::unique_ptr<Cursor> a_;
    std::unique_ptr<Cursor> b_;
};

TEST_F(TwoRunningCopies, ARowLockedByOneCopyCantBeLockedOrDeletedByTheOther) {
    const RowData row = rowWithId(*a_, ids_[0]);
    a_->lockRow(row);

    const std::optional<EDBEngineError> lockError =
        testing::engineErrorOf([&] { b_->lockRow(row); });
    ASSERT_TRUE(lockError.has_value());
    EXPECT_EQ(lockError->errorCode(), engine_code::recordLocked);
    EXPECT_EQ(lockError->message(), "Record locked by another user.");
    EXPECT_EQ(testing::codeOf([&] { b_->deleteRow(row); }), engine_code::recordLocked);
    EXPECT_TRUE(b_->readRow(row).has_value()) << "the locked row was deleted";

    // Other rows stay free, and the copy holding the lock may take it again.
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(rowWithId(*b_, ids_[1])); }), engine_code::ok);
    EXPECT_EQ(testing::codeOf([&] { a_->lockRow(row); }), engine_code::ok);
    EXPECT_EQ(testing::codeOf([&] { a_->deleteRow(rowWithId(*a_, ids_[1])); }),
              engine_code::recordLocked);
}

TEST_F(TwoRunningCopies, AfterAModifyTheOtherCopyLocksTheRowAndReadsTheChange) {
    const RowData seenByB = rowWithId(*b_, ids_[2]);
    RowData row = a_->lockRow(rowWithId(*a_, ids_[2]));
    row.strings[0] = "Gama, změněná v A";
    row.memo = "obsah z A";
    row.memoChanged = true;
    a_->modifyRow(row);

    // B's copy of the row is out of date: locking reads it anew.
    const RowData fresh = b_->lockRow(seenByB);
    EXPECT_EQ(fresh.strings[0], "Gama, změněná v A");
    EXPECT_NE(fresh.version, seenByB.version);
    EXPECT_EQ(b_->readMemo(fresh.id), "obsah z A");
    EXPECT_EQ(testing::codeOf([&] { a_->lockRow(row); }), engine_code::recordLocked);

    RowData stale = seenByB;
    stale.strings[0] = "z B, podle staré verze";
    EXPECT_EQ(testing::codeOf([&] { b_->modifyRow(stale); }), engine_code::recordChanged);
    RowData edited = fresh;
    edited.strings[0] = "z B";
    EXPECT_EQ(b_->modifyRow(edited).strings[0], "z B");
    EXPECT_EQ(testing::codeOf([&] { a_->lockRow(row); }), engine_code::ok);
}

TEST_F(TwoRunningCopies, AfterAnUnlockTheOtherCopyCanLock) {
    const RowData row = a_->lockRow(rowWithId(*a_, ids_[1]));
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(row); }), engine_code::recordLocked);
    a_->unlockRow(row);
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(row); }), engine_code::ok);
    EXPECT_EQ(testing::codeOf([&] { a_->lockRow(row); }), engine_code::recordLocked);
}

TEST_F(TwoRunningCopies, ClosingACursorReleasesItsLocks) {
    const RowData first = a_->lockRow(rowWithId(*a_, ids_[0]));
    a_.reset();
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(first); }), engine_code::ok);

    const RowData third = b_->lockRow(rowWithId(*b_, ids_[2]));
    Engine copyC(catalogue_.dir());
    std::unique_ptr<Cursor> c = Cursor::open(copyC.database(), testing::statementOf(), true);
    EXPECT_EQ(testing::codeOf([&] { c->lockRow(third); }), engine_code::recordLocked);
    b_.reset();
    EXPECT_EQ(testing::codeOf([&] { c->lockRow(third); }), engine_code::ok);
}

// The export reads the table's files while the program runs. Closing any other descriptor of
// qv.db, in the same process, must not cancel a row lock.
TEST_F(TwoRunningCopies, ALockSurvivesOtherDescriptorsOfTheFileBeingClosed) {
    const RowData row = a_->lockRow(rowWithId(*a_, ids_[0]));
    EXPECT_FALSE(testing::readFile(catalogue_.rowsPath()).empty());
    testing::TempDir copies;
    std::filesystem::copy_file(catalogue_.rowsPath(), copies.path() / "kopie.db");
    { PlainConnection plain(catalogue_.dir()); }
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(row); }), engine_code::recordLocked);
    EXPECT_EQ(testing::codeOf([&] { b_->deleteRow(row); }), engine_code::recordLocked);
}

// Every id SQLite allows locks a byte of its own, clear of SQLite's own lock bytes: both copies
// go on writing the table while the extremes are locked. Row 0 is a row like any other.
TEST_F(TwoRunningCopies, RowsWithIdsAtTheEndsOfTheRangeLockAndEditLikeAnyOther) {
    constexpr std::int64_t most = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t quarter = std::int64_t{1} << 62;
    PlainConnection plain(catalogue_.dir());
    std::set<off_t> bytes;
    for (std::int64_t id : {-most - 1, -quarter - 1, -quarter, std::int64_t{-1}, std::int64_t{0},
                            quarter - 1, quarter, most}) {
        ASSERT_EQ(plain.exec("INSERT INTO qv(id) VALUES(" + std::to_string(id) + ")"), SQLITE_OK);
        bytes.insert(rowLockOffset(id));
        a_->lockRow(rowWithId(*a_, id));
        EXPECT_EQ(testing::codeOf([&] { b_->lockRow(rowWithId(*b_, id)); }),
                  engine_code::recordLocked)
            << id;
    }
    EXPECT_EQ(bytes.size(), 8u);
    EXPECT_GE(*bytes.begin(), off_t{1} << 31);    // SQLite's lock bytes lie at 1 GiB
    EXPECT_EQ(rowLockOffset(0), off_t{1} << 62);  // where row locks have always been
    RowData other = b_->lockRow(rowWithId(*b_, ids_[0]));
    other.strings[0] = "Alfa z B";
    b_->modifyRow(other);
    RowData zero = rowWithId(*a_, 0);
    zero.memo = "obsah nulté";
    zero.memoChanged = true;
    a_->modifyRow(zero);
    EXPECT_EQ(b_->readMemo(0), "obsah nulté");
    a_->deleteRow(rowWithId(*a_, most));
    a_.reset();
    EXPECT_EQ(testing::codeOf([&] { b_->lockRow(rowWithId(*b_, quarter)); }), engine_code::ok);
}

// Runs child in a forked process that reports through a pipe; the parent reads one byte of the
// report. The child never returns into the test.
class ChildProcess {
  public:
    explicit ChildProcess(const std::function<void(int reportFd)>& child) {
        int fds[2];
        if (::pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(fds[0]);
            try {
                child(fds[1]);
            } catch (...) {
                const char failed = 'E';
                [[maybe_unused]] const ssize_t n = ::write(fds[1], &failed, 1);
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        readFd_ = fds[0];
    }
    ~ChildProcess() {
        kill();
        ::close(readFd_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The next byte the child reports; '\0' when it reports nothing within ten seconds.
    char report() {
        pollfd poll{readFd_, POLLIN, 0};
        char byte = '\0';
        if (::poll(&poll, 1, 10000) == 1 && ::read(readFd_, &byte, 1) == 1) {
            return byte;
        }
        return '\0';
    }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

  private:
    pid_t pid_ = -1;
    int readFd_ = -1;
};

void report(int fd, char byte) {
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
}

TEST_F(TwoRunningCopies, ALockHeldByAProcessThatIsKilledIsReleased) {
    const std::filesystem::path dir = catalogue_.dir();
    const std::int64_t id = ids_[1];
    ChildProcess child([dir, id](int fd) {
        Engine engine(dir);
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        RowData row;
        row.id = id;
        cursor->lockRow(row);
        report(fd, 'L');
        for (;;) {
            ::pause();
        }
    });
    ASSERT_EQ(child.report(), 'L');
    const RowData row = rowWithId(*a_, id);
    EXPECT_EQ(testing::codeOf([&] { a_->lockRow(row); }), engine_code::recordLocked);
    EXPECT_EQ(testing::codeOf([&] { b_->deleteRow(row); }), engine_code::recordLocked);

    child.kill();
    RowData locked = a_->lockRow(row);
    locked.strings[0] = "Beta po pádu druhé kopie";
    EXPECT_EQ(a_->modifyRow(locked).strings[0], "Beta po pádu druhé kopie");
}

TEST_F(TwoRunningCopies, AnotherProcessCantLockARowThisOneHolds) {
    const RowData row = a_->lockRow(rowWithId(*a_, ids_[0]));
    const std::filesystem::path dir = catalogue_.dir();
    ChildProcess child([dir, row](int fd) {
        Engine engine(dir);
        std::unique_ptr<Cursor> cursor =
            Cursor::open(engine.database(), testing::statementOf(), true);
        const EngineCode code = testing::codeOf([&] { cursor->lockRow(row); });
        report(fd, code == engine_code::recordLocked ? 'B' : code == engine_code::ok ? 'L' : 'X');
    });
    EXPECT_EQ(child.report(), 'B');
}

}  // namespace
}  // namespace quorvel
