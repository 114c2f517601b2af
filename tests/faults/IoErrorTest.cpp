// The medium fails under the engine: the Nth read, write, sync, lock or delete of an operation
// fails with an I/O error or a full disk, once or from then on, N rising until the operation
// gets through. Each failure reaches the caller as an EDBEngineError saying what happened; the
// record set keeps its state and every pending value and the table is still the committed
// version from before, or, when only reading the rows anew after the write failed, the change
// is in and the set no longer holds it as pending; once the medium is well again the same
// operation succeeds.
#include <algorithm>
#include <iostream>

#include "EDBEngineError.h"
#include "FaultCatalogue.h"

namespace quorvel::faults {
namespace {

struct Fault {
    Call kind;
    int rc;
    bool persistent;
};

std::string describe(const Fault& fault, int n) {
    return std::string(fault.persistent ? "every " : "the ") + nameOf(fault.kind) + " from " +
           std::to_string(n) + (fault.persistent ? " on" : "") + " failing with " +
           sqlite3_errstr(fault.rc);
}

// CI: each fault once; in full, also for good from the Nth call on.
std::vector<Fault> faultsToInject() {
    const Fault once[] = {
        {Call::Read, SQLITE_IOERR_READ, false}, {Call::Write, SQLITE_IOERR_WRITE, false},
        {Call::Write, SQLITE_FULL, false},      {Call::Sync, SQLITE_IOERR_FSYNC, false},
        {Call::Lock, SQLITE_IOERR_LOCK, false}, {Call::Delete, SQLITE_IOERR_DELETE, false},
    };
    std::vector<Fault> faults(std::begin(once), std::end(once));
    if (!testing::shortRuns()) {
        for (Fault fault : once) {
            fault.persistent = true;
            faults.push_back(fault);
        }
    }
    return faults;
}

class IoErrors : public ::testing::TestWithParam<Operation> {};

TEST_P(IoErrors, FailCleanlyKeepThePendingValuesAndTheTableAndLetARetrySucceed) {
    const Operation operation = GetParam();
    const Versions& versions = versionsOf(operation);
    FaultVfs& vfs = FaultVfs::instance();
    int runs = 0;
    int failures = 0;
    int absorbed = 0;       // faults SQLite could do without: the operation succeeded all the same
    int afterTheWrite = 0;  // reported by the reading anew that follows a write
    for (const Fault& fault : faultsToInject()) {
        for (int n = 1;; ++n) {
            const std::string context = std::string(nameOf(operation)) + ", " + describe(fault, n);
            FaultCase run;
            run.prepare(operation);
            const std::string pendingBefore = run.pending();
            vfs.reset();
            vfs.failAt(fault.kind, n, fault.rc, fault.persistent);
            std::optional<EDBEngineError> error;
            try {
                run.act(operation);
            } catch (const EDBEngineError& raised) {
                error = raised;
            }
            const bool injected = vfs.faultsInjected() > 0;
            vfs.reset();  // the medium is well again
            ++runs;
            if (!injected) {
                EXPECT_FALSE(error) << context << ": " << error->what();
                EXPECT_EQ(expectOneVersion(run.dir(), {versions.after}, context), 0);
                break;
            }
            if (!error) {
                ++absorbed;
                EXPECT_EQ(expectOneVersion(run.dir(), {versions.after}, context), 0)
                    << context << ": succeeded without its change";
                continue;
            }
            ++failures;
            const bool full = fault.rc == SQLITE_FULL;
            EXPECT_EQ(error->errorCode(), full ? engine_code::diskFull : engine_code::ioError)
                << context << ": " << error->what();
            EXPECT_NE(std::string(error->what())
                          .find(full ? "Disk is full." : "Disk input/output error."),
                      std::string::npos)
                << context << ": " << error->what();
            // Failed before the write: the set still holds everything pending. Failed once the
            // change was in: the set is in browse (reading the rows anew failed, or the commit
            // failed after its commit point), so a retried Save can't write it twice; only
            // while the medium still fails can the engine not tell, and then the retried Post
            // finds the change in and takes it as written.
            const int version =
                expectOneVersion(run.dir(), {versions.before, versions.after}, context);
            const bool written = version == 1 && versions.before != versions.after;
            const bool pending = run.set().State() != DataSetState::Browse;
            if (written) {
                ++afterTheWrite;
                EXPECT_TRUE(!pending || fault.persistent)
                    << context << ": written, yet the change is still pending: " << error->what();
            } else {
                EXPECT_EQ(run.pending(), pendingBefore) << context;
            }
            try {
                if (written && !pending && operation != Operation::Delete) {
                    run.set().First();
                } else {
                    run.act(operation);
                }
            } catch (const EDatabaseError& retry) {
                ADD_FAILURE() << context << ": the retry failed: " << retry.what();
            }
            run.close();
            EXPECT_EQ(expectOneVersion(run.dir(), {versions.after}, context), 0)
                << context << ": the retry's change is missing";
            if (::testing::Test::HasFailure()) {
                return;  // the first broken case tells all; the rest would repeat it
            }
        }
    }
    EXPECT_GT(failures, 10);
    std::cout << nameOf(operation) << ": " << runs << " runs, " << failures + absorbed
              << " faults injected, " << failures << " reported (" << afterTheWrite
              << " after the write), " << absorbed << " absorbed by SQLite\n";
}

// A COMMIT that finds another program reading waits out the busy timeout and fails with the
// transaction still open: the change is not in the table, so it must stay pending, never be
// taken for a change that made it in after all.
TEST(BusyCommit, FailsAsBusyAndKeepsTheEditPending) {
    const Versions& versions = versionsOf(Operation::PostEdit);
    FaultCase run;
    run.prepare(Operation::PostEdit);
    const std::string pendingBefore = run.pending();
    {
        testing::PlainConnection reader(run.dir());
        ASSERT_EQ(reader.exec("BEGIN"), SQLITE_OK);
        ASSERT_EQ(reader.text("SELECT count(*) FROM qv"), "4");
        const std::optional<EDBEngineError> error =
            testing::engineErrorOf([&run] { run.set().Post(); });
        ASSERT_TRUE(error);
        EXPECT_EQ(error->errorCode(), engine_code::tableBusy) << error->what();
        EXPECT_EQ(run.pending(), pendingBefore);
    }
    EXPECT_EQ(expectOneVersion(run.dir(), {versions.before}, "busy"), 0);
    run.set().Post();
    run.close();
    EXPECT_EQ(expectOneVersion(run.dir(), {versions.after}, "retried"), 0);
}

// While every sync fails, a commit that failed after its commit point can't be told from one
// that failed before it: the row stays pending. Changed and posted again once the medium is
// well, it is written once, with the new value, never added a second time.
class DoubtfulCommit : public ::testing::TestWithParam<Operation> {};

TEST_P(DoubtfulCommit, APostAfterItWritesTheRowOnceWithItsNewValues) {
    const Operation operation = GetParam();
    const Versions& versions = versionsOf(operation);
    FaultVfs& vfs = FaultVfs::instance();
    for (int n = 1; n < 100; ++n) {
        FaultCase run;
        run.prepare(operation);
        vfs.reset();
        vfs.failAt(Call::Sync, n, SQLITE_IOERR_FSYNC, true);
        const bool failed = testing::codeOf([&run, operation] { run.act(operation); }) != 0;
        vfs.reset();
        if (!failed || run.set().State() == DataSetState::Browse ||
            readTable(run.dir()).rows != versions.after) {
            continue;  // not in doubt
        }
        run.set().FieldByName("Cislo").SetAsString("8/2026");
        run.set().Post();
        run.close();
        const std::vector<std::string> rows = readTable(run.dir()).rows;
        EXPECT_EQ(rows.size(), versions.after.size());
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [](const std::string& row) {
                                    return row.find("|8/2026|") != std::string::npos;
                                }),
                  1);
        return;
    }
    FAIL() << "no sync left the commit in doubt";
}

INSTANTIATE_TEST_SUITE_P(RecordSet, DoubtfulCommit,
                         ::testing::Values(Operation::PostInsert, Operation::PostEdit), testNameOf);

INSTANTIATE_TEST_SUITE_P(RecordSet, IoErrors,
                         ::testing::Values(Operation::PostInsert, Operation::PostEdit,
                                           Operation::Delete, Operation::Open),
                         testNameOf);

}  // namespace
}  // namespace quorvel::faults
