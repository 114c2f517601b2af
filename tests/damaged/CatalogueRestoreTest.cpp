// A restore killed at random moments. The catalogue and the backup are the same catalogue at two
// moments (one pairing token), so a directory left holding one file of each would open without a
// word: only an install that changes both files or neither passes. After each kill the
// directory is opened as the program opens it and must hold, whole, the old catalogue or the
// backup's, and pass the check.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <random>
#include <thread>

#include "TempCatalogue.h"
#include "catalogues/CatalogueGenerator.h"
#include "check/CatalogueCheck.h"
#include "engine/Engine.h"
#include "restore/CatalogueRestore.h"

namespace quorvel::testing {
namespace {

// What a catalogue holds, as one text: every row's id and fields, every memo's id and length,
// the counter the next id is taken from.
std::string contentsOf(const std::filesystem::path& dir) {
    PlainConnection plain(dir);
    return plain.text(
               "SELECT group_concat(id || '|' || coalesce(vytisk, '') || '|' || "
               "coalesce(cislo, '') || '|' || coalesce(nejzajimavejsi_casti, ''), '/') "
               "FROM (SELECT * FROM main.qv ORDER BY id)") +
           "#" +
           plain.text(
               "SELECT group_concat(id || '|' || length(obsah), '/') "
               "FROM (SELECT * FROM mb.memo ORDER BY id)");
}

void copyCatalogue(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::remove_all(to);
    std::filesystem::create_directory(to);
    std::filesystem::copy_file(from / "qv.db", to / "qv.db");
    std::filesystem::copy_file(from / "qv.mb", to / "qv.mb");
}

constexpr const char* installStep = "putting the backup in place";

// Runs the restore in a child process and kills it delay after it began, or, when inInstall,
// delay after it began putting the backup in place; unless it ended before.
void restoreKilledAfter(const std::filesystem::path& base, const std::filesystem::path& dir,
                        std::chrono::microseconds delay, bool inInstall) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        try {
            restore::CatalogueRestore(base, dir).run([&fds](const std::string& step) {
                if (step == installStep) {
                    [[maybe_unused]] const ssize_t n = ::write(fds[1], "I", 1);
                }
            });
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    if (inInstall) {
        char byte = '\0';
        [[maybe_unused]] const ssize_t n = ::read(fds[0], &byte, 1);
    }
    std::this_thread::sleep_for(delay);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(fds[0]);
}

TEST(CatalogueRestore, AKilledRestoreLeavesTheOldCatalogueOrTheRestoredOne) {
    const int kills = shortRuns() ? 12 : 150;
    TempDir work;
    const std::filesystem::path backupDir = work.path() / "backup";
    std::filesystem::create_directory(backupDir);
    tools::generateCatalogue(backupDir, shortRuns() ? 600 : 3000, 7, [](std::uint64_t) {});
    // Its last row deleted before the backup: the next id is still past it.
    PlainConnection(backupDir).exec(
        "DELETE FROM mb.memo WHERE id = (SELECT max(id) FROM main.qv); "
        "DELETE FROM main.qv WHERE id = (SELECT max(id) FROM main.qv)");
    const std::filesystem::path base = work.path() / "kopie";
    std::filesystem::copy_file(backupDir / "qv.db", base.string() + ".db");
    std::filesystem::copy_file(backupDir / "qv.mb", base.string() + ".mb");
    const std::string restored = contentsOf(backupDir);
    // The catalogue later: more rows with memos, and the older rows' memos gone.
    const std::filesystem::path pristine = work.path() / "pristine";
    copyCatalogue(backupDir, pristine);
    {
        Engine engine(pristine);
        std::vector<Entry> added;
        for (int i = 0; i < 200; ++i) {
            added.push_back({"Přidaný " + std::to_string(i), std::to_string(i), "části",
                             std::string(1500, static_cast<char>('a' + i % 26))});
        }
        insertAll(engine.database(), added);
    }
    PlainConnection(pristine).exec("DELETE FROM mb.memo WHERE id % 3 = 0");
    const std::string old = contentsOf(pristine);
    ASSERT_NE(old, restored);

    // How long one restore takes here, so that the kills fall across the whole of it.
    const std::filesystem::path dir = work.path() / "catalogue";
    copyCatalogue(pristine, dir);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point installStart = start;
    Clock::time_point installEnd = start;
    restore::CatalogueRestore(base, dir).run([&](const std::string& step) {
        (step == installStep ? installStart : installEnd) = Clock::now();
    });
    const auto micros = [](Clock::duration span) {
        return std::chrono::duration_cast<std::chrono::microseconds>(span).count();
    };
    const long whole = micros(Clock::now() - start);
    const long install = micros(installEnd - installStart);
    ASSERT_EQ(contentsOf(dir), restored);

    // Half the kills anywhere in the restore, half while the backup is put in place.
    std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<long> anywhere(0, whole * 5 / 4);
    std::uniform_int_distribution<long> installing(0, install * 5 / 4);
    int leftOld = 0;
    int leftRestored = 0;
    for (int kill = 0; kill < kills && !::testing::Test::HasFailure(); ++kill) {
        copyCatalogue(pristine, dir);
        const bool inInstall = kill % 2 == 1;
        const long at = inInstall ? installing(random) : anywhere(random);
        restoreKilledAfter(base, dir, std::chrono::microseconds(at), inInstall);
        const std::string where = "killed " + std::to_string(at) + " µs into " +
                                  (inInstall ? "the install, of " + std::to_string(install)
                                             : "the restore, of " + std::to_string(whole)) +
                                  " µs";
        ASSERT_NO_THROW(Engine(dir).database()) << where;
        EXPECT_TRUE(check::CatalogueCheck(dir).run(nullptr).empty()) << where;
        const std::string now = contentsOf(dir);
        EXPECT_TRUE(now == old || now == restored) << where << ": neither catalogue";
        (now == old ? leftOld : leftRestored) += 1;
        // A restore run again after the kill ends with the backup in place.
        if (kill % 4 == 0) {
            restore::CatalogueRestore(base, dir).run([](const std::string&) {});
            EXPECT_EQ(contentsOf(dir), restored) << where << ", then run again";
        }
    }
    std::cout << kills << " restores killed: " << leftOld << " left the old catalogue, "
              << leftRestored << " the restored one\n";
}

}  // namespace
}  // namespace quorvel::testing
