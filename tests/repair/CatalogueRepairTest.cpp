// Repairs of damaged catalogues: copies of the demo catalogue, each damaged in one way, repaired
// and checked. A repair that goes on leaves a catalogue that the check passes and the program
// opens, holding every row, memo text and value of a user's column that could be read by its id
// before (with the WAL's committed changes, and without a journal that isn't the files' own),
// unchanged, with the damaged files kept byte for byte, and nothing a stopped repair left. A
// repair that stops changes neither file, and only stops when no row could be read or a file
// says it is of a newer format.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <iostream>
#include <map>

#include "CatalogueDamage.h"
#include "TempCatalogue.h"
#include "catalogues/DemoCatalogue.h"
#include "check/CatalogueCheck.h"
#include "engine/Engine.h"
#include "repair/CatalogueRepair.h"
#include "repair/RepairFailure.h"

namespace quorvel::testing {
namespace {

// What a lookup by id reads of each id the demo gave out, as text: rows' three fields, memos.
struct ReadById {
    std::map<std::int64_t, std::string> rows;
    std::map<std::int64_t, std::string> memos;
    std::map<std::int64_t, std::string> notes;  // a column of the user's
};

// Read as the files are, journals left out; a WAL read in (from a copy, so nothing is made
// beside the files).
ReadById readById(const std::filesystem::path& dir, std::int64_t lastId) {
    ReadById read;
    std::filesystem::path from = dir;
    TempDir copy;
    std::string options = "?mode=ro&immutable=1";
    if (std::filesystem::exists(dir / "qv.db-wal") || std::filesystem::exists(dir / "qv.mb-wal")) {
        for (const char* name : {"qv.db", "qv.mb", "qv.db-wal", "qv.mb-wal"}) {
            if (std::filesystem::exists(dir / name)) {
                std::filesystem::copy_file(dir / name, copy.path() / name);
            }
        }
        from = copy.path();
        options = "?mode=rw";
    }
    sqlite3* db = nullptr;
    const std::string uri = "file:" + (from / "qv.db").string() + options;
    const std::string attach = "ATTACH 'file:" + (from / "qv.mb").string() + options + "' AS mb";
    if (sqlite3_open_v2(uri.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) ==
        SQLITE_OK) {
        sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
        for (const auto& [sql, into] :
             {std::pair{"SELECT coalesce(CAST(vytisk AS TEXT), '<null>') || '|' || "
                        "coalesce(CAST(cislo AS TEXT), '<null>') || '|' || "
                        "coalesce(CAST(nejzajimavejsi_casti AS TEXT), '<null>') "
                        "FROM main.qv WHERE id = ?1",
                        &read.rows},
              std::pair{"SELECT CAST(obsah AS TEXT) FROM mb.memo WHERE id = ?1", &read.memos},
              std::pair{"SELECT quote(poznamka) FROM main.qv WHERE id = ?1", &read.notes}}) {
            sqlite3_stmt* lookup = nullptr;
            if (sqlite3_prepare_v2(db, sql, -1, &lookup, nullptr) == SQLITE_OK) {
                for (std::int64_t id = 1; id <= lastId; ++id) {
                    sqlite3_bind_int64(lookup, 1, id);
                    if (sqlite3_step(lookup) == SQLITE_ROW) {
                        const auto* text =
                            reinterpret_cast<const char*>(sqlite3_column_text(lookup, 0));
                        (*into)[id] = text != nullptr ? text : "";
                    }
                    sqlite3_reset(lookup);
                }
            }
            sqlite3_finalize(lookup);
        }
    }
    sqlite3_close(db);
    return read;
}

// Each entry of before is in after, the same.
void expectKept(const std::map<std::int64_t, std::string>& before,
                const std::map<std::int64_t, std::string>& after, const char* what,
                const std::string& description) {
    for (const auto& [id, text] : before) {
        const auto found = after.find(id);
        EXPECT_TRUE(found != after.end() && found->second == text)
            << what << " " << id << " lost or changed by the repair: " << description;
    }
}

struct Tally {
    std::array<int, 3> ways{};  // by RepairWay
    int refused = 0;
    int lossesNamed = 0;  // of those that went on, repairs that named what they couldn't keep
    std::size_t rowsBefore = 0;
    std::size_t rowsAfter = 0;
};

TEST(CatalogueRepair, EveryDamageEndsSoundWithEveryRowThatCouldBeRead) {
    // 10,000 pass too, in about 17 minutes under the sanitizers: too long beside the others.
    const int cases = shortRuns() ? 350 : 4000;
    TempDir pristine;
    tools::writeDemoCatalogue(pristine.path());
    const std::string rows = readFile(pristine.path() / "qv.db");
    const std::string memos = readFile(pristine.path() / "qv.mb");
    const auto lastId = static_cast<std::int64_t>(tools::demoIssues().size());
    TempDir work;
    std::array<Tally, damageKindCount> tallies{};
    for (int index = 0; index < cases && !::testing::Test::HasFailure(); ++index) {
        const auto kind = static_cast<DamageKind>(index % damageKindCount);
        const std::filesystem::path dir = work.path() / "case";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directory(dir);
        writeFile(dir / "qv.db", rows);
        writeFile(dir / "qv.mb", memos);
        const std::string description =
            std::string(nameOf(kind)) + " (seed " + std::to_string(index) +
            "): " + CatalogueDamage(kind, static_cast<std::uint64_t>(index)).apply(dir);
        const std::string damagedRows = readFile(dir / "qv.db");
        const std::string damagedMemos = readFile(dir / "qv.mb");
        const ReadById before = readById(dir, lastId);
        Tally& tally = tallies.at(static_cast<std::size_t>(kind));
        tally.rowsBefore += before.rows.size();
        try {
            const repair::RepairReport report = repair::CatalogueRepair(dir).run([](auto&) {});
            ++tally.ways.at(static_cast<std::size_t>(report.way));
            for (const check::CheckFinding& finding : report.remaining) {
                EXPECT_FALSE(finding.mendable) << finding.sentence << ": " << description;
            }
            for (const check::CheckFinding& finding : check::CatalogueCheck(dir).run(nullptr)) {
                EXPECT_FALSE(finding.mendable) << finding.sentence << ": " << description;
            }
            EXPECT_NO_THROW(Engine(dir).database()) << description;
            const ReadById after = readById(dir, lastId);
            tally.rowsAfter += after.rows.size();
            expectKept(before.rows, after.rows, "row", description);
            expectKept(before.memos, after.memos, "memo text", description);
            expectKept(before.notes, after.notes, "user's value", description);
            tally.lossesNamed += report.lostSomething() ? 1 : 0;
            for (const auto& entry : std::filesystem::directory_iterator(dir)) {
                EXPECT_FALSE(entry.path().filename().string().starts_with(".qv-"))
                    << entry.path() << " left: " << description;
            }
            if (report.way != repair::RepairWay::NothingToDo) {
                EXPECT_EQ(readFile(report.originals / "qv.db"), damagedRows) << description;
                EXPECT_EQ(readFile(report.originals / "qv.mb"), damagedMemos) << description;
            }
        } catch (const repair::RepairFailure& failure) {
            ++tally.refused;
            // A file that says it is newer is never rewritten by this qvtool, rows or not.
            const bool newer = std::string(failure.what()).find("newer") != std::string::npos;
            EXPECT_TRUE(before.rows.empty() || newer) << failure.what() << ": " << description;
            EXPECT_EQ(readFile(dir / "qv.db"), damagedRows) << description;
            EXPECT_EQ(readFile(dir / "qv.mb"), damagedMemos) << description;
        }
    }
    std::cout << cases << " damaged catalogues repaired:\n";
    for (int kind = 0; kind < damageKindCount; ++kind) {
        const Tally& tally = tallies.at(static_cast<std::size_t>(kind));
        std::cout << "  " << nameOf(static_cast<DamageKind>(kind)) << ": " << tally.ways[0]
                  << " found sound, " << tally.ways[1] << " mended in place, " << tally.ways[2]
                  << " rebuilt (" << tally.lossesNamed << " naming losses), " << tally.refused
                  << " refused; rows readable before " << tally.rowsBefore << ", after "
                  << tally.rowsAfter << "\n";
    }
}

}  // namespace
}  // namespace quorvel::testing
