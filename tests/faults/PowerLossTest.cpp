// The power goes at every moment of a Post or Delete: after each write, truncate, sync and
// delete the operation makes in turn. Whatever the disk then holds of the writes not yet synced
// (none, all, or some of them, some torn), the table opens afterwards, both files pass SQLite's
// integrity check, and the table is exactly the committed version before the operation or the
// one after it, each memo with its row and none without. An operation that reported success
// before the power went is never lost. This is the two-file commit across qv.db and qv.mb.
#include <iostream>

#include "FaultCatalogue.h"

namespace quorvel::faults {
namespace {

struct Cut {
    Loss loss;
    std::uint32_t seed;
};

// CI: every moment, with nothing and with some of the unsynced writes kept. In full: all kept
// too, and eight random fates of the unsynced writes at every moment.
std::vector<Cut> cutsAt(int moment) {
    std::vector<Cut> cuts{{Loss::DropAll, 0}, {Loss::Random, static_cast<std::uint32_t>(moment)}};
    if (!testing::shortRuns()) {
        cuts.push_back({Loss::KeepAll, 0});
        for (std::uint32_t seed = 1; seed < 8; ++seed) {
            cuts.push_back({Loss::Random, seed * 7919 + static_cast<std::uint32_t>(moment)});
        }
    }
    return cuts;
}

class PowerLoss : public ::testing::TestWithParam<Operation> {};

TEST_P(PowerLoss, LeavesOneCommittedVersionAtEveryWritePosition) {
    const Operation operation = GetParam();
    const Versions& versions = versionsOf(operation);
    ASSERT_NE(versions.before, versions.after);
    ASSERT_GT(versions.writeEvents, 4);
    FaultVfs& vfs = FaultVfs::instance();
    int cuts = 0;
    int seen[2] = {0, 0};
    for (int moment = 0; moment <= versions.writeEvents; ++moment) {
        for (const Cut& cut : cutsAt(moment)) {
            const std::string context = std::string(nameOf(operation)) + ", power cut after " +
                                        std::to_string(moment) + " of " +
                                        std::to_string(versions.writeEvents) + " writes, " +
                                        nameOf(cut.loss) + ", seed " + std::to_string(cut.seed);
            bool reportedDone = false;
            {
                FaultCase run;
                run.prepare(operation);
                vfs.reset();
                vfs.cutPowerAfter(moment);
                try {
                    run.act(operation);
                    reportedDone = true;
                } catch (const EDatabaseError&) {
                }
                run.close();
                vfs.restoreAfterPowerCut(cut.loss, cut.seed);
                const int version =
                    expectOneVersion(run.dir(), {versions.before, versions.after}, context);
                if (version >= 0) {
                    ++seen[version];
                }
                if (reportedDone) {
                    EXPECT_EQ(version, 1) << context << ": a Post or Delete that succeeded is lost";
                }
            }
            ++cuts;
            if (::testing::Test::HasFailure()) {
                return;  // the first broken moment tells all; the rest would repeat it
            }
        }
    }
    // Both outcomes occur, or the cuts never fell inside the commit.
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    std::cout << nameOf(operation) << ": " << cuts << " power cuts at " << versions.writeEvents + 1
              << " moments; old version " << seen[0] << " times, new version " << seen[1]
              << " times\n";
}

INSTANTIATE_TEST_SUITE_P(RecordSet, PowerLoss,
                         ::testing::Values(Operation::PostInsert, Operation::PostEdit,
                                           Operation::Delete),
                         testNameOf);

}  // namespace
}  // namespace quorvel::faults
