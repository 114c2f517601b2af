#include "repair/InPlaceMend.h"

#include <algorithm>
#include <string>

#include "engine/CatalogueSchema.h"
#include "engine/FormatUpgrade.h"
#include "repair/RepairConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::repair {

namespace {

std::uint64_t changes(sqlite3* db, const std::string& sql) {
    sqlite::execute(db, sql.c_str());
    return static_cast<std::uint64_t>(sqlite3_changes64(db));
}

}  // namespace

InPlaceResult mendInPlace(const std::filesystem::path& directory) {
    RepairConnection connection(directory / schema::rowsFileName, FileUse::Mend);
    sqlite3* db = connection.handle();
    connection.attach(directory / schema::memoFileName, "mb", FileUse::Mend);
    InPlaceResult result;
    if (formatVersionOf(db, "main") == schema::unkeyedFormatVersion) {
        schema::upgradeToSortKeys(db);
    }
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
    for (const auto& [schemaName, file] :
         {std::pair{"main", schema::rowsFileName}, std::pair{"mb", schema::memoFileName}}) {
        std::vector<std::string> triggers;
        {
            sqlite::Statement named(db, std::string("SELECT name FROM ") + schemaName +
                                            ".sqlite_master WHERE type = 'trigger'");
            while (named.step()) {
                triggers.push_back(named.text(0).value_or(""));
            }
        }
        for (const std::string& trigger : triggers) {
            std::string quoted = "\"";
            for (const char c : trigger) {
                quoted += c == '"' ? "\"\"" : std::string(1, c);
            }
            sqlite::execute(
                db, ("DROP TRIGGER " + std::string(schemaName) + "." + quoted + "\"").c_str());
            result.triggersDropped.push_back(std::string(file) + ": trigger " + trigger);
        }
    }
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        sqlite::execute(db, ("DROP INDEX IF EXISTS main." + schema::sortIndexName(c)).c_str());
    }
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        const std::string key = schema::sortKeyColumns[c];
        const std::string made = std::string("czech_key(") + schema::columns[c].sqlName + ")";
        result.keysMade += changes(
            db, "UPDATE main.qv SET " + key + " = " + made + " WHERE " + key + " IS NOT " + made);
    }
    {
        sqlite::Statement orphans(db,
                                  "SELECT m.id FROM mb.memo AS m WHERE NOT EXISTS "
                                  "(SELECT 1 FROM main.qv WHERE qv.id = m.id) ORDER BY m.id");
        while (orphans.step()) {
            result.memoIdsGivenRows.push_back(orphans.integer(0));
        }
    }
    {
        sqlite::Statement counts(db, schema::commitCountsSql);
        if (counts.step() && counts.integer(0) != counts.integer(1)) {
            result.rowsCommits = counts.integer(0);
            result.memoCommits = counts.integer(1);
        }
    }
    if (result.rowsCommits != result.memoCommits) {
        const std::string higher = std::to_string(std::max(result.rowsCommits, result.memoCommits));
        sqlite::execute(db, ("UPDATE main.qv_pair SET rowid = " + higher).c_str());
        sqlite::execute(db, ("UPDATE mb.qv_pair SET rowid = " + higher).c_str());
    }
    result.memosGivenRows = changes(db,
                                    "INSERT INTO main.qv(id) SELECT m.id FROM mb.memo AS m "
                                    "WHERE NOT EXISTS (SELECT 1 FROM main.qv WHERE qv.id = m.id)");
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        sqlite::execute(db, schema::createSortIndexSql(c).c_str());
    }
    // Written into a table whose own pages are damaged, the changes could lose rows that a
    // rebuild from the files as they were would keep: they are committed only onto sound pages.
    for (const auto& [schemaName, file] :
         {std::pair{"main", schema::rowsFileName}, std::pair{"mb", schema::memoFileName}}) {
        sqlite::Statement check(db, std::string("PRAGMA ") + schemaName + ".integrity_check(1)");
        if (!check.step() || check.text(0) != std::optional<std::string>("ok")) {
            throw InPlaceDamage(std::string(file) +
                                ": its pages are damaged: " + check.text(0).value_or("") + ".");
        }
    }
    transaction.commit();
    return result;
}

}  // namespace quorvel::repair
