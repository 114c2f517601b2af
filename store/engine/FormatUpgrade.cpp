#include "engine/FormatUpgrade.h"

#include <string>

#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::schema {

void upgradeToSortKeys(sqlite3* db) {
    using sqlite::execute;
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
    {
        // Asked again under the write lock: another copy may have done it while we waited.
        sqlite::Statement version(db, "PRAGMA main.user_version");
        if (!version.step() || version.integer(0) != unkeyedFormatVersion) {
            return;
        }
    }
    std::string fill = "UPDATE main.qv SET ";
    for (int c = 0; c < keyedColumnCount; ++c) {
        execute(db, (std::string("ALTER TABLE main.qv ADD COLUMN ") + sortKeyColumns[c] +
                     " BLOB NOT NULL DEFAULT x''")
                        .c_str());
        fill += std::string(c == 0 ? "" : ", ") + sortKeyColumns[c] + " = czech_key(" +
                columns[c].sqlName + ")";
    }
    execute(db, fill.c_str());
    for (int c = 0; c < keyedColumnCount; ++c) {
        execute(db, ("DROP INDEX IF EXISTS main." + sortIndexName(c)).c_str());
        execute(db, createSortIndexSql(c).c_str());
    }
    execute(db, ("PRAGMA main.user_version=" + std::to_string(formatVersion)).c_str());
    execute(db, ("PRAGMA mb.user_version=" + std::to_string(formatVersion)).c_str());
    transaction.commit();
}

}  // namespace quorvel::schema
