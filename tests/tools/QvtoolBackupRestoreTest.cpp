// qvtool backup and restore on real catalogues: a backup taken beside a running program is the
// catalogue's two files and restores whole; each backup that can't be trusted is refused with
// its reason, the catalogue untouched; a journal and a WAL left beside the catalogue go with
// the kept files and never reach the restored ones.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "EDBEngineError.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "engine/Engine.h"
#include "restore/RestoreLock.h"

namespace quorvel::testing {
namespace {

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Every file of a directory by name, with its bytes; a directory by its name alone.
std::map<std::string, std::string> filesOf(const std::filesystem::path& directory) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        files[entry.path().filename().string()] =
            entry.is_directory() ? "<directory>" : fileBytes(entry.path());
    }
    return files;
}

// Runs sql on qv.db (qv.mb attached) in a process that ends without committing, after SQLite
// has had to write changed pages into qv.db: a crash that leaves a hot journal beside it.
void crashMidChange(const std::filesystem::path& directory, const std::string& sql) {
    const pid_t child = ::fork();
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open((directory / "qv.db").c_str(), &db);
        const std::string attach = "ATTACH '" + (directory / "qv.mb").string() + "' AS mb";
        sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
        sqlite3_exec(db, "PRAGMA main.cache_size=10; PRAGMA mb.cache_size=10; BEGIN", nullptr,
                     nullptr, nullptr);
        sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

class QvtoolBackupRestore : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(catalogue());
        ASSERT_EQ(runQvtool({"demo", catalogue().string()}).exitCode, 0);
    }
    std::filesystem::path catalogue() const { return work_.path() / "katalog"; }
    std::string backup(const char* name = "kopie") const { return (work_.path() / name).string(); }

    TemporaryDirectory work_;
};

TEST_F(QvtoolBackupRestore, BackupBesideTheProgramRestoresWholeKeepingTheFilesItReplaced) {
    const std::vector<tools::CatalogueIssue> demo = readCatalogue(catalogue());
    {
        Engine program(catalogue());
        program.database();
        const QvtoolRun run = runQvtool({"backup", catalogue().string(), backup()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    EXPECT_EQ(fileBytes(backup() + ".db"), fileBytes(catalogue() / "qv.db"));
    EXPECT_EQ(fileBytes(backup() + ".mb"), fileBytes(catalogue() / "qv.mb"));
    // The catalogue changes after the backup: other rows, other memo texts.
    std::filesystem::remove(catalogue() / "qv.db");
    std::filesystem::remove(catalogue() / "qv.mb");
    ASSERT_EQ(runQvtool({"generate", catalogue().string(), "120", "3"}).exitCode, 0);
    const std::map<std::string, std::string> replaced = filesOf(catalogue());

    const QvtoolRun run = runQvtool({"restore", backup(), catalogue().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Restored 50 rows and 43 memo texts from " + backup() + " into " +
                           catalogue().string() + ".\nThe catalogue in " + catalogue().string() +
                           " is sound.\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(readCatalogue(catalogue()), demo);
    const std::string keptLine = "are kept in ";
    const std::size_t at = run.out.find(keptLine);
    ASSERT_NE(at, std::string::npos) << run.out;
    const std::filesystem::path kept =
        run.out.substr(at + keptLine.size(), run.out.find(".\n", at) - at - keptLine.size());
    EXPECT_EQ(kept.parent_path(), catalogue());
    EXPECT_EQ(filesOf(kept), replaced);
}

// A restore or repair killed while it kept the catalogue's files leaves a partial copy under
// the name the next one, started within the same second, would write its own into.
TEST_F(QvtoolBackupRestore, WhatAStoppedRunLeftIsRemovedAndNamedNeverInTheWay) {
    ASSERT_EQ(runQvtool({"backup", catalogue().string(), backup()}).exitCode, 0);
    std::vector<std::filesystem::path> leftovers{catalogue() / ".qv-restore-Ab12Cd"};
    const auto now = std::chrono::system_clock::now();
    for (int second = 0; second < 30; ++second) {
        const std::time_t at =
            std::chrono::system_clock::to_time_t(now + std::chrono::seconds(second));
        std::tm local{};
        ::localtime_r(&at, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H%M%S", &local);
        leftovers.push_back(catalogue() / (std::string(".qv-keeping-qv-before-repair-") + stamp));
    }
    for (const std::filesystem::path& leftover : leftovers) {
        std::filesystem::create_directory(leftover);
        writeBytes(leftover / "qv.mb", "half a copy");
    }
    const QvtoolRun run = runQvtool({"restore", backup(), catalogue().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(
        run.out.starts_with("Removed what a repair or restore that was stopped had left:\n  "
                            ".qv-"))
        << run.out;
    for (const std::filesystem::path& leftover : leftovers) {
        EXPECT_FALSE(std::filesystem::exists(leftover)) << leftover;
    }
}

TEST_F(QvtoolBackupRestore, BackupNeverOverwritesAndLeavesNothingWhenRefused) {
    writeBytes(backup() + ".mb", "an older backup");
    QvtoolRun run = runQvtool({"backup", catalogue().string(), backup()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: " + backup() +
                           ".mb exists; a backup never overwrites a file. Choose another NAME "
                           "or move the old backup away.\n");
    EXPECT_EQ(fileBytes(backup() + ".mb"), "an older backup");
    EXPECT_FALSE(std::filesystem::exists(backup() + ".db"));

    // A disk that fills up midway.
    run = runQvtool({"backup", catalogue().string(), backup("plny")}, 20000);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the backup failed (Nepodařilo se zkopírovat soubor!"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(backup("plny") + ".db"));
    EXPECT_FALSE(std::filesystem::exists(backup("plny") + ".mb"));

    // A restore in progress keeps the backup out as it keeps the program out.
    const restore::RestoreLock restoring(catalogue() / "qv.db");
    run = runQvtool({"backup", catalogue().string(), backup("druha")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("qvtool is repairing or restoring the catalogue"), std::string::npos)
        << run.err;
    EXPECT_FALSE(std::filesystem::exists(backup("druha") + ".db"));
    EXPECT_FALSE(std::filesystem::exists(backup("druha") + ".mb"));
    const std::optional<EDBEngineError> opening = [this]() -> std::optional<EDBEngineError> {
        try {
            Engine(catalogue()).database();
        } catch (const EDBEngineError& error) {
            return error;
        }
        return std::nullopt;
    }();
    ASSERT_TRUE(opening.has_value()) << "the program opened a catalogue being restored";
    EXPECT_EQ(opening->errorCode(), engine_code::tableBusy);
}

TEST_F(QvtoolBackupRestore, BackupShowsItsProgressOnATerminal) {
    const QvtoolRun run = runQvtoolOnTerminal({"backup", catalogue().string(), backup()});
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_NE(run.out.find("qvtool: backing up " + backup() + ": 100%"), std::string::npos)
        << run.out;
}

struct Refusal {
    const char* name;
    // Makes the backup kopie from the good one (kopie.db, kopie.mb) and another catalogue's
    // files (cizi/qv.db, cizi/qv.mb).
    std::function<void(const std::string& kopie, const std::filesystem::path& cizi)> make;
    std::vector<std::string> said;
};

TEST_F(QvtoolBackupRestore, RestoreRefusesABackupItCantTrustChangingNothing) {
    const std::filesystem::path cizi = work_.path() / "cizi";
    std::filesystem::create_directory(cizi);
    ASSERT_EQ(runQvtool({"generate", cizi.string(), "20"}).exitCode, 0);
    const std::string advice = "Nothing was changed. To save what it holds, copy ";
    const std::string notPair = " is damaged or its two files are not one pair";
    const std::vector<Refusal> refusals = {
        {"one file missing",
         [](const std::string& kopie, auto&) { std::filesystem::remove(kopie + ".mb"); },
         {".mb: no such file; a backup is the two files NAME.db and NAME.mb. Nothing was "
          "changed.\n"}},
        {"files of two catalogues",
         [](const std::string& kopie, const std::filesystem::path& other) {
             writeBytes(kopie + ".mb", fileBytes(other / "qv.mb"));
         },
         {notPair, "their pairing tokens differ", advice, "run qvtool repair"}},
        {"rows file of one moment, memo file of a later one",
         [this](const std::string& kopie, auto&) {
             writeBytes(kopie + ".mb", fileBytes(backup("pozdejsi") + ".mb"));
         },
         {notPair, "qv.mb: 1 memo text", advice}},
        {"rows file cut short",
         [](const std::string& kopie, auto&) {
             writeBytes(kopie + ".db", fileBytes(kopie + ".db").substr(0, 9000));
         },
         {notPair, "qv.db", advice}},
        {"journal of an unfinished change beside it",
         [](const std::string& kopie, auto&) { writeBytes(kopie + ".db-journal", "pages"); },
         {".db-journal lies beside the backup: its files were copied in the middle of a "
          "change",
          advice}},
    };
    ASSERT_EQ(runQvtool({"backup", catalogue().string(), backup("dobra")}).exitCode, 0);
    // A row with its memo text added after that backup, and a backup of then.
    const std::filesystem::path csv = work_.path() / "novy.csv";
    writeBytes(csv, "Vytisk,Cislo,Obsah_vytisku\r\nNový,1/2026,obsah přidaný později\r\n");
    ASSERT_EQ(runQvtool({"import", csv.string(), catalogue().string()}).exitCode, 0);
    ASSERT_EQ(runQvtool({"backup", catalogue().string(), backup("pozdejsi")}).exitCode, 0);
    const std::map<std::string, std::string> before = filesOf(catalogue());
    for (const Refusal& refusal : refusals) {
        const std::string kopie = backup(refusal.name);
        std::filesystem::copy_file(backup("dobra") + ".db", kopie + ".db");
        std::filesystem::copy_file(backup("dobra") + ".mb", kopie + ".mb");
        refusal.make(kopie, cizi);
        const QvtoolRun run = runQvtool({"restore", kopie, catalogue().string()});
        EXPECT_EQ(run.exitCode, 1) << refusal.name;
        for (const std::string& words : refusal.said) {
            EXPECT_NE(run.err.find(words), std::string::npos) << refusal.name << ": " << run.err;
        }
        EXPECT_EQ(filesOf(catalogue()), before) << refusal.name;
    }
    // And while a copy of the program has the catalogue open.
    Engine program(catalogue());
    program.database();
    const QvtoolRun run = runQvtool({"restore", backup("dobra"), catalogue().string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "qvtool: A copy of Quorvel has the catalogue in " + catalogue().string() +
                           " open; close it and run the restore again. Nothing was changed.\n");
    EXPECT_EQ(filesOf(catalogue()), before);
}

TEST_F(QvtoolBackupRestore, AJournalAndAWalBesideTheCatalogueGoWithTheKeptFiles) {
    const std::vector<tools::CatalogueIssue> demo = readCatalogue(catalogue());
    ASSERT_EQ(runQvtool({"backup", catalogue().string(), backup()}).exitCode, 0);
    std::filesystem::remove(catalogue() / "qv.db");
    std::filesystem::remove(catalogue() / "qv.mb");
    ASSERT_EQ(runQvtool({"generate", catalogue().string(), "1500", "5"}).exitCode, 0);
    // A crash in the middle of a change of both files, and a WAL another program left.
    crashMidChange(catalogue(),
                   "UPDATE main.qv SET nejzajimavejsi_casti = hex(randomblob(70)); "
                   "UPDATE mb.memo SET obsah = hex(randomblob(300))");
    ASSERT_GT(std::filesystem::file_size(catalogue() / "qv.db-journal"), 0U);
    writeBytes(catalogue() / "qv.mb-wal", std::string(4096, 'w'));
    const std::map<std::string, std::string> left = filesOf(catalogue());

    const QvtoolRun run = runQvtool({"restore", backup(), catalogue().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(readCatalogue(catalogue()), demo);
    const std::vector<std::string> names = directoryListing(catalogue());
    ASSERT_EQ(names.size(), 3U);
    EXPECT_EQ(names[0], "qv-before-restore-" + names[0].substr(18));
    EXPECT_EQ(names[1], "qv.db");
    EXPECT_EQ(names[2], "qv.mb");
    EXPECT_EQ(filesOf(catalogue() / names[0]), left);
}

TEST_F(QvtoolBackupRestore, ACatalogueTooDamagedForACommitIsReplacedByRenames) {
    const std::vector<tools::CatalogueIssue> demo = readCatalogue(catalogue());
    ASSERT_EQ(runQvtool({"backup", catalogue().string(), backup()}).exitCode, 0);
    writeBytes(catalogue() / "qv.db", std::string(8192, 'x'));
    const QvtoolRun run = runQvtool({"restore", backup(), catalogue().string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("couldn't take the backup in one commit"), std::string::npos) << run.out;
    EXPECT_EQ(readCatalogue(catalogue()), demo);
    EXPECT_EQ(directoryListing(catalogue()).size(), 3U);
}

}  // namespace
}  // namespace quorvel::testing
