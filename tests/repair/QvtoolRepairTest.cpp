// qvtool repair (and check) on catalogues left as other programs and failures leave them: a WAL
// of committed changes, a journal of another catalogue, a user's columns, tables and triggers,
// a disk too small, a repair that was stopped. Nothing committed is lost, every loss is named
// with its own exit status, and check makes nothing beside the files.
#include <gtest/gtest.h>

#include <grp.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "EDBEngineError.h"
#include "OtherProgram.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "engine/Engine.h"
#include "repair/RepairFailure.h"
#include "repair/RepairLock.h"

namespace quorvel::testing {
namespace {

// The files of from, as they are this moment, copied into to: what a program killed now leaves
// (but the WAL's index, which the next opening makes afresh).
void copyFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        if (!entry.path().string().ends_with("-shm")) {
            std::filesystem::copy_file(entry.path(), to / entry.path().filename());
        }
    }
}

// An integer read from the files in directory as SQLite reads them, a WAL read in and a hot
// journal rolled back: on a copy, so nothing is made or changed beside them.
std::int64_t readInteger(const std::filesystem::path& directory, const std::string& sql) {
    TemporaryDirectory copy;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        if (entry.is_regular_file()) {
            std::filesystem::copy_file(entry.path(), copy.path() / entry.path().filename());
        }
    }
    sqlite3* db = nullptr;
    std::int64_t value = -1;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_open((copy.path() / "qv.db").c_str(), &db) == SQLITE_OK &&
        sqlite3_exec(db, ("ATTACH '" + (copy.path() / "qv.mb").string() + "' AS mb").c_str(),
                     nullptr, nullptr, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        value = sqlite3_column_int64(statement, 0);
    }
    EXPECT_NE(value, -1) << sql << ": " << sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return value;
}

// Overwrites the end of page of qv.db (numbered from 1) with other bytes, or the whole page with
// zeros.
void damagePage(const std::filesystem::path& directory, std::int64_t page, bool zeroed) {
    std::fstream file(directory / "qv.db", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(zeroed ? (page - 1) * 4096 : page * 4096 - 200);
    file << (zeroed ? std::string(4096, '\0') : std::string(150, '\x5a'));
}

std::int64_t pageOf(const std::filesystem::path& directory, const std::string& sql) {
    return sqliteInteger(directory, sql);
}

bool hasLeftovers(const std::filesystem::path& directory) {
    const std::vector<std::string> names = directoryListing(directory);
    return std::any_of(names.begin(), names.end(), [](const std::string& name) {
        return name.starts_with(".qv-") || name.ends_with("-shm");
    });
}

std::filesystem::path keptOriginals(const std::filesystem::path& directory) {
    for (const std::string& name : directoryListing(directory)) {
        if (name.starts_with("qv-before-repair-")) {
            return directory / name;
        }
    }
    return {};
}

constexpr const char* editedRows =
    "SELECT count(*) FROM qv WHERE nejzajimavejsi_casti LIKE 'edit %'";
constexpr const char* editedMemos = "SELECT count(*) FROM mb.memo WHERE obsah LIKE 'edit %'";

TEST(QvtoolRepair, CommittedWalChangesSurviveADiskTooSmallAndAreKeptWithTheOriginals) {
    TemporaryDirectory made;
    TemporaryDirectory work;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"generate", made.path().string(), "3000"}).exitCode, 0);
    {
        // 100 edits committed in WAL mode by another program, which is then killed.
        OtherProgram other(made.path());
        other.run(
            "PRAGMA main.journal_mode=WAL; PRAGMA mb.journal_mode=WAL; "
            "PRAGMA wal_autocheckpoint=0");
        for (int id = 7; id <= 700; id += 7) {
            other.run("UPDATE main.qv SET nejzajimavejsi_casti = 'edit " + std::to_string(id) +
                      "' WHERE id = " + std::to_string(id) +
                      "; UPDATE mb.memo SET obsah = 'edit ' || printf('%.20000c', 'x') "
                      "WHERE id = " +
                      std::to_string(id));
        }
        copyFiles(made.path(), dir);
    }
    ASSERT_TRUE(std::filesystem::exists(dir / "qv.mb-wal"));
    damagePage(dir,
               pageOf(made.path(),
                      "SELECT rootpage FROM sqlite_master "
                      "WHERE name = 'qv_by_cislo'"),
               false);
    const std::vector<std::string> names = directoryListing(dir);
    std::vector<std::string> bytes;
    for (const std::string& name : names) {
        bytes.push_back(fileBytes(dir / name));
    }
    const auto unchanged = [&] {
        EXPECT_EQ(directoryListing(dir), names);
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_TRUE(fileBytes(dir / names[i]) == bytes[i]) << names[i];
        }
    };

    const QvtoolRun check = runQvtool({"check", dir.string()});
    EXPECT_EQ(check.exitCode, 1) << check.out << check.err;
    unchanged();  // no -wal or -shm made, no frame checkpointed

    // Too small for a copy of qv.mb: nothing changed, nothing left.
    const QvtoolRun noBackup = runQvtool({"repair", dir.string()}, 1'000'000);
    EXPECT_EQ(noBackup.exitCode, 1);
    EXPECT_NE(noBackup.err.find("the disk is full"), std::string::npos) << noBackup.err;
    unchanged();
    EXPECT_FALSE(hasLeftovers(dir));

    // Room for the kept originals, not for the rebuilt qv.mb with the WAL's texts in it.
    const QvtoolRun noRebuild = runQvtool({"repair", dir.string()}, 5'500'000);
    EXPECT_EQ(noRebuild.exitCode, 1);
    EXPECT_NE(noRebuild.err.find("The new catalogue couldn't be made: the disk is full"),
              std::string::npos)
        << noRebuild.err;
    EXPECT_EQ(noRebuild.err.find("couldn't all be put back"), std::string::npos) << noRebuild.err;
    const std::filesystem::path kept = keptOriginals(dir);
    ASSERT_FALSE(kept.empty());
    std::filesystem::remove_all(kept);
    unchanged();
    EXPECT_FALSE(hasLeftovers(dir));

    const QvtoolRun repair = runQvtool({"repair", dir.string()});
    EXPECT_EQ(repair.exitCode, 0) << repair.out << repair.err;
    EXPECT_TRUE(std::filesystem::exists(keptOriginals(dir) / "qv.mb-wal"));
    EXPECT_EQ(readInteger(dir, editedRows), 100);
    EXPECT_EQ(readInteger(dir, editedMemos), 100);
    EXPECT_EQ(readInteger(keptOriginals(dir), editedMemos), 100);
}

// The journals of a change to other left unfinished by a kill: the change is big enough that
// SQLite wrote some of it into the files already.
void killedImport(const std::filesystem::path& other, const std::filesystem::path& leftAt) {
    OtherProgram program(other);
    program.run(
        "PRAGMA main.cache_size=5; PRAGMA mb.cache_size=5; BEGIN; "
        "INSERT INTO main.qv(vytisk, cislo, vytisk_key, cislo_key) "
        "SELECT vytisk, cislo, vytisk_key, cislo_key FROM main.qv WHERE id <= 500; "
        "INSERT INTO mb.memo(id, obsah) SELECT id + 5000, obsah FROM mb.memo "
        "WHERE id <= 500");
    copyFiles(other, leftAt);
    program.run("ROLLBACK");
}

TEST(QvtoolRepair, AJournalIsRolledInOnlyWhenItIsTheFilesOwn) {
    TemporaryDirectory mine;
    TemporaryDirectory other;
    TemporaryDirectory killed;
    ASSERT_EQ(runQvtool({"generate", mine.path().string(), "5000", "1"}).exitCode, 0);
    ASSERT_EQ(runQvtool({"generate", other.path().string(), "5000", "2"}).exitCode, 0);
    const std::string contents =
        "SELECT sum(length(vytisk)) + (SELECT sum(length(obsah)) "
        "FROM mb.memo) * 1000000 FROM qv";
    const std::int64_t mineBefore = readInteger(mine.path(), contents);
    const std::int64_t otherBefore = readInteger(other.path(), contents);
    killedImport(other.path(), killed.path());
    ASSERT_TRUE(std::filesystem::exists(killed.path() / "qv.mb-journal"));

    const struct {
        const char* name;
        std::filesystem::path catalogue;
        std::vector<const char*> journals;  // taken from the killed import
        const char* said;
        std::int64_t contentsAfter;
    } cases[] = {
        {"its own journals", killed.path(), {}, "rolled back, as the program will", otherBefore},
        {"another's qv.db-journal",
         mine.path(),
         {"qv.db-journal"},
         "qv.db: qv.db-journal beside it is no change of this catalogue's",
         mineBefore},
        {"another's qv.mb-journal",
         mine.path(),
         {"qv.mb-journal"},
         "qv.mb: qv.mb-journal beside it is no change of this catalogue's",
         mineBefore},
    };
    for (const auto& c : cases) {
        TemporaryDirectory work;
        copyFiles(c.catalogue, work.path());
        for (const char* journal : c.journals) {
            std::filesystem::copy_file(killed.path() / journal, work.path() / journal);
        }
        const QvtoolRun check = runQvtool({"check", work.path().string()});
        EXPECT_EQ(check.exitCode, 1) << c.name;
        EXPECT_NE(check.out.find(c.said), std::string::npos) << c.name << '\n' << check.out;
        for (const std::string file : {"qv.db", "qv.mb"}) {
            const bool journaled =
                c.journals.empty() || std::string(c.journals.front()).starts_with(file);
            EXPECT_EQ(check.out.find(file + ":") != std::string::npos, journaled)
                << c.name << ": " << file << " blamed or not\n"
                << check.out;
        }
        const QvtoolRun repair = runQvtool({"repair", work.path().string()});
        EXPECT_EQ(repair.exitCode, 0) << c.name << '\n' << repair.out << repair.err;
        EXPECT_EQ(readInteger(work.path(), contents), c.contentsAfter) << c.name;
        EXPECT_EQ(runQvtool({"check", work.path().string()}).exitCode, 0) << c.name;
        for (const char* journal : c.journals) {
            EXPECT_TRUE(std::filesystem::exists(keptOriginals(work.path()) / journal)) << c.name;
        }
    }
}

// A change killed after it wrote all its pages but before its journals were removed: the files
// are sound as they are, and sound with the journals rolled back, and hold other rows. Both are
// kept, the files as they are in the catalogue's place.
TEST(QvtoolRepair, WhenBothReadingsAreSoundBothAreKept) {
    TemporaryDirectory work;
    TemporaryDirectory killed;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"generate", dir.string(), "2000"}).exitCode, 0);
    const std::string change =
        "UPDATE main.qv SET nejzajimavejsi_casti = 'changed' WHERE id <= 300; "
        "UPDATE mb.memo SET obsah = 'changed' WHERE id <= 300";
    const std::string changed = "SELECT count(*) FROM mb.memo WHERE obsah = 'changed'";
    copyFiles(dir, killed.path());
    {
        OtherProgram program(killed.path());
        program.run("PRAGMA main.cache_size=5; PRAGMA mb.cache_size=5; BEGIN; " + change);
        for (const char* journal : {"qv.db-journal", "qv.mb-journal"}) {
            std::filesystem::copy_file(killed.path() / journal, dir / (std::string(journal) + "~"));
        }
        program.run("ROLLBACK");
    }
    OtherProgram(dir).run(change);
    for (const char* journal : {"qv.db-journal", "qv.mb-journal"}) {
        std::filesystem::rename(dir / (std::string(journal) + "~"), dir / journal);
    }

    const QvtoolRun check = runQvtool({"check", dir.string()});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find("the catalogue is sound both with it rolled back and without it, "
                             "yet holds other rows each way. A repair keeps both."),
              std::string::npos)
        << check.out;
    const QvtoolRun repair = runQvtool({"repair", dir.string()});
    EXPECT_EQ(repair.exitCode, 0) << repair.out << repair.err;
    std::filesystem::path rolledBack;
    for (const std::string& name : directoryListing(dir)) {
        if (name.starts_with("qv-journal-rolled-back-")) {
            rolledBack = dir / name;
        }
    }
    ASSERT_FALSE(rolledBack.empty()) << repair.out;
    EXPECT_NE(repair.out.find("is kept whole in " + rolledBack.string()), std::string::npos)
        << repair.out;
    EXPECT_EQ(sqliteInteger(dir, changed), 300);
    // As SQLite rolls the kept originals back, journals and all.
    EXPECT_LT(sqliteInteger(rolledBack, changed), 300);
    EXPECT_EQ(sqliteInteger(rolledBack, changed), readInteger(keptOriginals(dir), changed));
    EXPECT_EQ(runQvtool({"check", rolledBack.string()}).exitCode, 0);
}

TEST(QvtoolRepair, ARebuildKeepsTheUsersAdditionsAndNamesWhatItLost) {
    TemporaryDirectory work;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"generate", dir.string(), "2000"}).exitCode, 0);
    {
        OtherProgram user(dir);
        user.run(
            "ALTER TABLE main.qv ADD COLUMN poznamka TEXT; "
            "UPDATE main.qv SET poznamka = 'p' || id WHERE id % 10 = 0; "
            "UPDATE main.qv SET nejzajimavejsi_casti = x'00ff' WHERE id = 5; "
            "CREATE TABLE main.mine(a, b); "
            "INSERT INTO main.mine VALUES (1, 'x'), (2, x'01'), (3, NULL); "
            "CREATE INDEX main.mine_a ON mine(a); "
            "CREATE VIEW main.titles AS SELECT vytisk FROM qv; "
            "CREATE TRIGGER main.stamp AFTER UPDATE ON qv BEGIN SELECT 1; END");
    }
    const std::int64_t leaf = pageOf(dir,
                                     "SELECT pageno FROM dbstat WHERE name = 'qv' AND "
                                     "pagetype = 'leaf' ORDER BY pageno LIMIT 1 OFFSET 5");
    const std::int64_t notesBefore = sqliteInteger(dir, "SELECT count(poznamka) FROM qv");
    damagePage(dir, leaf, true);

    const QvtoolRun check = runQvtool({"check", dir.string()});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_EQ(check.out.find("qv.mb:"), std::string::npos) << check.out;  // qv.mb is sound

    const QvtoolRun repair = runQvtool({"repair", dir.string()});
    EXPECT_EQ(repair.exitCode, 3) << repair.out << repair.err;
    const std::string lostIds =
        "WITH RECURSIVE s(id) AS (SELECT 1 UNION ALL SELECT id + 1 FROM s WHERE id < 2000) "
        "SELECT %(id) FROM s WHERE id NOT IN (SELECT id FROM qv WHERE vytisk IS NOT NULL)";
    const auto lost = [&](const char* aggregate) {
        std::string sql = lostIds;
        sql.replace(sql.find('%'), 1, aggregate);
        return sqliteInteger(dir, sql);
    };
    const std::int64_t first = lost("min");
    const std::int64_t last = lost("max");
    EXPECT_EQ(lost("count"), last - first + 1);
    ASSERT_LT(first, last);
    for (const std::string& said :
         {"couldn't be read, ids " + std::to_string(first) + "-" + std::to_string(last) + "\n",
          std::string("qv.db: column poznamka TEXT of qv, with its values"),
          std::string("qv.db: table mine (3 rows)"), std::string("qv.db: index mine_a"),
          std::string("qv.db: view titles"),
          std::string("qv.db: trigger stamp (the program allows no trigger)")}) {
        EXPECT_NE(repair.out.find(said), std::string::npos) << said << '\n' << repair.out;
    }
    const std::int64_t notesLost = (last / 10) - ((first - 1) / 10);
    EXPECT_EQ(sqliteInteger(dir, "SELECT count(poznamka) FROM qv"), notesBefore - notesLost);
    EXPECT_EQ(sqliteText(dir, "SELECT typeof(nejzajimavejsi_casti) FROM qv WHERE id = 5"), "blob");
    EXPECT_EQ(sqliteInteger(dir,
                            "SELECT count(*) FROM sqlite_master "
                            "WHERE name IN ('mine', 'mine_a', 'titles')"),
              3);
    EXPECT_EQ(sqliteText(dir, "SELECT quote(b) FROM mine WHERE a = 2"), "X'01'");
}

TEST(QvtoolRepair, CheckTellsWhatMakesSaveFailAndFieldsOverTheLimits) {
    TemporaryDirectory work;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"demo", dir.string()}).exitCode, 0);
    OtherProgram(dir).run(
        "UPDATE main.qv SET vytisk = printf('%.60c', 'V') WHERE id = 3; "
        "CREATE TRIGGER main.guard BEFORE UPDATE ON qv "
        "BEGIN SELECT RAISE(ABORT, 'not authorized'); END");
    const QvtoolRun check = runQvtool({"check", dir.string()});
    EXPECT_EQ(check.exitCode, 1);
    EXPECT_NE(check.out.find("qv.db: a trigger the program didn't make, guard on qv;"),
              std::string::npos)
        << check.out;
    const std::string tooLong =
        "qv.db: 1 row whose Vytisk is not a text of at most 50 characters, the program's limit "
        "(id 3)";
    EXPECT_NE(check.out.find(tooLong), std::string::npos) << check.out;

    // The trigger goes, named; the field only its owner can shorten stays.
    const QvtoolRun repair = runQvtool({"repair", dir.string()});
    EXPECT_EQ(repair.exitCode, 3) << repair.out << repair.err;
    EXPECT_NE(repair.out.find("qv.db: trigger guard (the program allows no trigger)"),
              std::string::npos)
        << repair.out;
    EXPECT_NE(repair.out.find("Left as they are:\n  " + tooLong), std::string::npos) << repair.out;
    EXPECT_EQ(sqliteInteger(dir, "SELECT length(vytisk) FROM qv WHERE id = 3"), 60);
    const QvtoolRun after = runQvtool({"check", dir.string()});
    EXPECT_EQ(after.out.find("trigger"), std::string::npos) << after.out;
}

TEST(QvtoolRepair, MemoTextsAreKeptThroughALostFirstPageAndWithoutTheRowsFile) {
    TemporaryDirectory made;
    ASSERT_EQ(runQvtool({"generate", made.path().string(), "3000"}).exitCode, 0);
    const std::string memos = "SELECT sum(length(obsah)) + count(*) * 1000000000 FROM mb.memo";
    const std::int64_t before = sqliteInteger(made.path(), memos);
    const struct {
        const char* name;
        std::function<void(const std::filesystem::path&)> damage;
        const char* said;
        std::int64_t rows;
    } cases[] = {
        {"page 1 of qv.mb zeroed",
         [](const auto& d) {
             std::fstream(d / "qv.mb", std::ios::in | std::ios::out | std::ios::binary)
                 << std::string(4096, '\0');
         },
         "qv.mb's first page, its header and schema, couldn't be read: it was made again", 3000},
        {"qv.db missing", [](const auto& d) { std::filesystem::remove(d / "qv.db"); },
         "qv.db was missing: the memo texts were kept, each with a row of its own.", 3000},
    };
    for (const auto& c : cases) {
        TemporaryDirectory work;
        copyFiles(made.path(), work.path());
        c.damage(work.path());
        const QvtoolRun repair = runQvtool({"repair", work.path().string()});
        EXPECT_EQ(repair.exitCode, 0) << c.name << '\n' << repair.out << repair.err;
        EXPECT_NE(repair.out.find(c.said), std::string::npos) << c.name << '\n' << repair.out;
        EXPECT_EQ(sqliteInteger(work.path(), memos), before) << c.name;
        EXPECT_EQ(sqliteInteger(work.path(), "SELECT count(*) FROM qv"), c.rows) << c.name;
    }
}

TEST(QvtoolRepair, WhatAStoppedRepairLeftIsRemovedAndNamed) {
    TemporaryDirectory work;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"demo", dir.string()}).exitCode, 0);
    OtherProgram(dir).run("UPDATE main.qv SET cislo_key = x'01' WHERE id = 2");
    // A kill during the copy of the originals, one in the rebuild, one while putting back.
    std::filesystem::create_directories(dir / ".qv-keeping-qv-before-repair-2026-01-01-000000");
    std::ofstream(dir / ".qv-keeping-qv-before-repair-2026-01-01-000000" / "qv.db").flush();
    std::filesystem::create_directories(dir / ".qv-repair-Ab12Cd");
    std::ofstream(dir / ".qv-repair-Ab12Cd" / "qv.db") << std::string(1000, 'x');
    std::ofstream(dir / ".qv-restoring-qv.mb") << "0123456789";
    const QvtoolRun repair = runQvtool({"repair", dir.string()});
    EXPECT_EQ(repair.exitCode, 0) << repair.out << repair.err;
    EXPECT_TRUE(repair.out.starts_with("Removed what a repair that was stopped had left:\n"))
        << repair.out;
    for (const char* line :
         {"  .qv-keeping-qv-before-repair-2026-01-01-000000 (0 bytes)\n",
          "  .qv-repair-Ab12Cd (1000 bytes)\n", "  .qv-restoring-qv.mb (10 bytes)\n"}) {
        EXPECT_NE(repair.out.find(line), std::string::npos) << line << repair.out;
    }
    EXPECT_FALSE(hasLeftovers(dir));
    const std::filesystem::path kept = keptOriginals(dir);
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(fileBytes(kept / "qv.db").size(), std::filesystem::file_size(dir / "qv.db"));
}

// qv.db or qv.mb put back from before an import of 100 rows, beside the other from after.
TEST(QvtoolRepair, FilesFromDifferentMomentsAreToldByCheckTheProgramAndRepair) {
    TemporaryDirectory before;
    TemporaryDirectory after;
    ASSERT_EQ(runQvtool({"demo", before.path().string()}).exitCode, 0);
    copyFiles(before.path(), after.path());
    const std::filesystem::path csv = after.path() / "new.csv";
    {
        std::ofstream rows(csv);
        rows << "Vytisk,Cislo,Nejzajimavejsi_casti,Obsah_vytisku\n";
        for (int row = 1; row <= 100; ++row) {
            rows << "Nový " << row << "," << row << "/2020,části,obsah " << row << "\n";
        }
    }
    ASSERT_EQ(runQvtool({"import", csv.string(), after.path().string()}).exitCode, 0);
    std::filesystem::remove(csv);
    const std::string count = "SELECT max(rowid) FROM main.qv_pair";
    const std::string countBefore = std::to_string(sqliteInteger(before.path(), count));
    const std::string countAfter = std::to_string(sqliteInteger(after.path(), count));
    ASSERT_NE(countBefore, countAfter);
    for (const bool rowsOlder : {true, false}) {
        TemporaryDirectory work;
        const std::filesystem::path dir = work.path();
        std::filesystem::copy_file((rowsOlder ? before : after).path() / "qv.db", dir / "qv.db");
        std::filesystem::copy_file((rowsOlder ? after : before).path() / "qv.mb", dir / "qv.mb");
        const std::string older = rowsOlder ? "qv.db is the older" : "qv.mb is the older";
        const QvtoolRun check = runQvtool({"check", dir.string()});
        EXPECT_EQ(check.exitCode, 1);
        EXPECT_NE(check.out.find("qv.mb: qv.db and qv.mb are from different moments: qv.db has " +
                                 (rowsOlder ? countBefore : countAfter) +
                                 " changes of both files, qv.mb " +
                                 (rowsOlder ? countAfter : countBefore) + "; " + older),
                  std::string::npos)
            << check.out;
        try {
            Engine(dir).database();
            ADD_FAILURE() << "files of two moments opened";
        } catch (const EDBEngineError& error) {
            EXPECT_EQ(error.errorCode(), engine_code::filesDoNotMatch);
            EXPECT_NE(error.message().find("The files are from different moments"),
                      std::string::npos)
                << error.message();
        }
        const QvtoolRun repair = runQvtool({"repair", dir.string()});
        EXPECT_EQ(repair.exitCode, 0) << repair.out << repair.err;
        EXPECT_NE(repair.out.find("qv.db and qv.mb were from different moments (" +
                                  (rowsOlder ? countBefore + " and " + countAfter
                                             : countAfter + " and " + countBefore) +
                                  " changes of both files): " + older),
                  std::string::npos)
            << repair.out;
        if (rowsOlder) {
            EXPECT_NE(repair.out.find("without a row each got a row of its own, its fields "
                                      "empty (id 51-150)"),
                      std::string::npos)
                << repair.out;
        }
        EXPECT_NO_THROW(Engine(dir).database());
    }
}

// A copy of the program that may only read the catalogue (another user's, here) holds it open
// as one that writes does, so a repair can't swap the files under it.
TEST(QvtoolRepair, ACopyThatOnlyReadsKeepsARepairOut) {
    TemporaryDirectory work;
    const std::filesystem::path dir = work.path();
    ASSERT_EQ(runQvtool({"demo", dir.string()}).exitCode, 0);
    std::filesystem::permissions(
        dir, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                 std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                 std::filesystem::perms::others_exec);
    for (const char* name : {"qv.db", "qv.mb"}) {
        std::filesystem::permissions(dir / name, std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
    }
    int opened[2];
    int done[2];
    ASSERT_EQ(::pipe(opened), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t reader = ::fork();
    if (reader == 0) {
        constexpr uid_t nobody = 65534;
        char said = 'e';
        if (::geteuid() != 0 ||
            (::setgroups(0, nullptr) == 0 && ::setresgid(nobody, nobody, nobody) == 0 &&
             ::setresuid(nobody, nobody, nobody) == 0)) {
            try {
                Engine engine(dir);
                engine.database();
                said = 'o';
                (void)!::write(opened[1], &said, 1);
                (void)!::read(done[0], &said, 1);
                ::_exit(0);
            } catch (const std::exception&) {
            }
        }
        (void)!::write(opened[1], &said, 1);
        ::_exit(1);
    }
    char said = 0;
    ASSERT_EQ(::read(opened[0], &said, 1), 1);
    EXPECT_EQ(said, 'o') << "the catalogue didn't open for reading";
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
    };
    const auto descriptorsBefore = openDescriptors();
    try {
        repair::RepairLock repairing(dir / "qv.db");
        ADD_FAILURE() << "a repair took the catalogue from a copy that reads it";
    } catch (const repair::RepairFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("A copy of Quorvel has the catalogue"),
                  std::string::npos)
            << failure.what();
    }
    EXPECT_EQ(openDescriptors(), descriptorsBefore) << "the refused lock kept a descriptor";
    (void)!::write(done[1], "x", 1);
    int status = 0;
    ::waitpid(reader, &status, 0);
    for (const int fd : {opened[0], opened[1], done[0], done[1]}) {
        ::close(fd);
    }
}

}  // namespace
}  // namespace quorvel::testing
