// qvtool check and repair on real catalogues: a sound one passes, beside a program that holds
// the files, without a byte or a time of them changed; each kind of damage, made as SQLite or
// another program would leave it, fails and is named with its file and count, and a repair
// then leaves it sound with every row and memo as they were. A repair and a running program
// never work on one catalogue at once.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "CatalogueReading.h"
#include "EDBEngineError.h"
#include "OtherProgram.h"
#include "QvtoolProcess.h"
#include "TemporaryDirectory.h"
#include "engine/Engine.h"
#include "repair/RepairLock.h"

namespace quorvel::testing {
namespace {

void withWriter(const std::filesystem::path& directory, const std::string& sql) {
    OtherProgram(directory).run(sql);
}

struct FileState {
    std::string bytes;
    std::int64_t mtimeNs;
    bool operator==(const FileState&) const = default;
};

FileState stateOf(const std::filesystem::path& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0);
    return {fileBytes(path), status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
}

class QvtoolCheck : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(runQvtool({"demo", work_.path().string()}).exitCode, 0); }
    std::string dir() const { return work_.path().string(); }

    TemporaryDirectory work_;
};

TEST_F(QvtoolCheck, SoundCatalogueBesideAWriterPassesChangingNothing) {
    const FileState rows = stateOf(work_.path() / "qv.db");
    const FileState memos = stateOf(work_.path() / "qv.mb");
    const std::vector<std::string> names = directoryListing(work_.path());
    {
        // A program in the middle of a write holds both files' reserved locks: a check that
        // wanted more than a read lock would fail here.
        OtherProgram program(work_.path());
        program.run(
            "BEGIN IMMEDIATE; UPDATE main.qv_pair SET token = token; "
            "UPDATE mb.qv_pair SET token = token");
        const QvtoolRun run = runQvtool({"check", dir()});
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        EXPECT_EQ(run.out, "The catalogue in " + dir() + " is sound.\n");
        EXPECT_EQ(run.err, "");  // no progress off a terminal
        program.run("ROLLBACK");
    }
    const QvtoolRun shown = runQvtoolOnTerminal({"check", dir()});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_NE(shown.out.find("qvtool: checking " + dir() + ": 100%"), std::string::npos)
        << shown.out;
    EXPECT_EQ(stateOf(work_.path() / "qv.db"), rows);
    EXPECT_EQ(stateOf(work_.path() / "qv.mb"), memos);
    EXPECT_EQ(directoryListing(work_.path()), names);
}

// Runs sql while the index qv_by_vytisk isn't kept up: for that while it is a partial index
// of no rows, so it keeps the entries of the rows before. Each change of the schema is read
// afresh by a connection of its own.
void pastIndex(const std::filesystem::path& directory, const std::string& sql) {
    const std::string index = "CREATE INDEX qv_by_vytisk ON qv(vytisk_key)";
    const auto define = [&directory](const std::string& text) {
        withWriter(directory, "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = '" + text +
                                  "' WHERE name = 'qv_by_vytisk'");
    };
    define(index + " WHERE 0");
    withWriter(directory, sql);
    define(index);
}

// Rows 1..3 given other rows' titles: the keys agree with the fields, the index does not.
const std::string retitled =
    "UPDATE main.qv SET (vytisk, vytisk_key) = (SELECT o.vytisk, o.vytisk_key FROM main.qv AS o "
    "WHERE o.vytisk <> qv.vytisk ORDER BY o.id LIMIT 1) WHERE id <= 3";

// Bytes of a page of qv.db overwritten in place.
void overwritePage(const std::filesystem::path& directory, const std::string& rootOf) {
    const std::int64_t page = sqliteInteger(
        directory, "SELECT rootpage FROM sqlite_master WHERE name = '" + rootOf + "'");
    const std::int64_t size = sqliteInteger(directory, "PRAGMA page_size");
    std::fstream file(directory / "qv.db", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * size + size - 200);
    file << std::string(150, '\x5a');
}

struct Damage {
    const char* name;
    std::function<void(const std::filesystem::path&)> make;
    std::vector<std::string> said;  // each a whole line of the report
    // Our own words within a line whose rest is SQLite's, which its versions word differently.
    std::vector<std::string> saidWithin = {};
};

// Each row's fields, and each memo's length, in id order: what a repair must keep. A row
// without a title (a memo given a row by the repair) is left out.
std::string keptContents(const std::filesystem::path& directory) {
    return sqliteText(directory,
                      "SELECT group_concat(id || '|' || vytisk || '|' || coalesce(cislo, '') || "
                      "'|' || coalesce(nejzajimavejsi_casti, ''), char(10)) "
                      "FROM (SELECT * FROM qv NOT INDEXED ORDER BY id)") +
           sqliteText(directory,
                      "SELECT group_concat(id || ':' || length(obsah)) "
                      "FROM (SELECT * FROM mb.memo ORDER BY id)");
}

TEST_F(QvtoolCheck, EachDamageFailsNamingItsFileAndCountAndRepairMendsIt) {
    const std::vector<Damage> damages{
        {"memos without their rows",
         [](const auto& d) {
             withWriter(d, "DELETE FROM main.qv WHERE id IN (SELECT id FROM mb.memo LIMIT 2)");
         },
         {"qv.mb: 2 memo texts without a row in qv.db; the program never shows them."}},
        {"sort keys not those of the fields",
         [](const auto& d) {
             withWriter(d, "UPDATE main.qv SET cislo_key = x'01' WHERE id IN (2, 4, 6)");
         },
         {"qv.db: 3 rows whose sort key for Cislo is not the key of its text; they sort in "
          "the wrong place."}},
        {"a row another program wrote",
         [](const auto& d) {
             withWriter(d, "INSERT INTO main.qv(vytisk, cislo) VALUES('Cizí', '1/2000')");
         },
         {"qv.db: 1 row with a Vytisk but no sort key for it, as another program writes them; "
          "they sort among the empty fields.",
          "qv.db: 1 row with a Cislo but no sort key for it, as another program writes them; "
          "they sort among the empty fields."}},
        {"index entries stale",
         [](const auto& d) { pastIndex(d, retitled); },
         {"qv.db: 3 rows are missing from the index qv_by_vytisk; a sorted list would leave "
          "them out."}},
        {"a row left out of an index",
         [](const auto& d) {
             pastIndex(d,
                       "INSERT INTO main.qv(vytisk, cislo, vytisk_key, cislo_key) "
                       "SELECT vytisk, cislo, vytisk_key, cislo_key FROM main.qv WHERE id = 1");
         },
         {"qv.db: 1 row is missing from the index qv_by_vytisk; a sorted list would leave it "
          "out.",
          "qv.db: 1 index, qv_by_vytisk, holds a different number of entries than the table "
          "has rows."}},
        {"index page overwritten",
         [](const auto& d) { overwritePage(d, "qv_by_cislo"); },
         {},
         {" in the file's pages or records; SQLite's integrity check says first: ",
          "qv.db: SQLite's integrity check stopped early, at a damaged place it can't read "
          "past: "}},
        {"memo file of another catalogue",
         [](const auto& d) { withWriter(d, "UPDATE mb.qv_pair SET token = 'other'"); },
         {"qv.mb: not the memo file of qv.db (their pairing tokens differ)."}},
    };
    for (const Damage& damage : damages) {
        TemporaryDirectory fresh;
        ASSERT_EQ(runQvtool({"demo", fresh.path().string()}).exitCode, 0);
        damage.make(fresh.path());
        const QvtoolRun run = runQvtool({"check", fresh.path().string()});
        EXPECT_EQ(run.exitCode, 1) << damage.name << '\n' << run.out << run.err;
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line) && !line.starts_with("The catalogue");) {
            EXPECT_TRUE(line.starts_with("qv.db: ") || line.starts_with("qv.mb: "))
                << damage.name << ": " << line;
        }
        for (const std::string& line : damage.said) {
            EXPECT_NE(run.out.find(line + "\n"), std::string::npos)
                << damage.name << ": " << line << "\n"
                << run.out;
        }
        for (const std::string& words : damage.saidWithin) {
            EXPECT_NE(run.out.find(words), std::string::npos)
                << damage.name << ": " << words << "\n"
                << run.out;
        }
        EXPECT_NE(run.out.find("The catalogue in " + fresh.path().string() +
                               " is damaged or inconsistent"),
                  std::string::npos)
            << damage.name << '\n'
            << run.out;

        const std::string kept = keptContents(fresh.path());
        const QvtoolRun repair = runQvtool({"repair", fresh.path().string()});
        EXPECT_EQ(repair.exitCode, 0) << damage.name << '\n' << repair.out << repair.err;
        EXPECT_TRUE(repair.out.ends_with(" is sound now.\n")) << damage.name << '\n' << repair.out;
        EXPECT_EQ(runQvtool({"check", fresh.path().string()}).exitCode, 0) << damage.name;
        EXPECT_EQ(keptContents(fresh.path()), kept) << damage.name;
    }
}

TEST_F(QvtoolCheck, RepairAndTheProgramKeepOutOfEachOther) {
    const std::vector<std::string> names = directoryListing(work_.path());
    {
        Engine program(work_.path());
        program.database();
        const QvtoolRun run = runQvtool({"repair", dir()});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "qvtool: A copy of Quorvel has the catalogue in " + dir() +
                               " open; close it and run the repair again. Nothing was "
                               "changed.\n");
    }
    EXPECT_EQ(directoryListing(work_.path()), names);
    repair::RepairLock repairing(work_.path() / "qv.db");
    try {
        Engine(work_.path()).database();
        ADD_FAILURE() << "opened while a repair held the catalogue";
    } catch (const EDBEngineError& error) {
        EXPECT_EQ(error.errorCode(), engine_code::tableBusy);
        EXPECT_NE(error.message().find("qvtool is repairing or restoring the catalogue"),
                  std::string::npos)
            << error.message();
    }
}

}  // namespace
}  // namespace quorvel::testing
