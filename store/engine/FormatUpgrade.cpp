#include "engine/FormatUpgrade.h"

#include <string>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::schema {

namespace {

// "vytisk_key = czech_key(vytisk)": the key column of column c filled from its field.
std::string keyFill(int c) {
    return std::string(sortKeyColumns[c]) + " = czech_key(" + columns[c].sqlName + ")";
}

// Rows of column c that another program wrote without the key: the key is empty (the column's
// default, or text an older script put there) while the field has a key. Only rows with an
// empty key are read, and the key's index hands over exactly those.
std::string keylessRows(int c) {
    const std::string key = sortKeyColumns[c];
    const std::string field = columns[c].sqlName;
    return " FROM main.qv INDEXED BY " + sortIndexName(c) + " WHERE " + key + " IN (x'', '') AND " +
           field + " <> '' AND czech_key(" + field + ") <> x''";
}

}  // namespace

bool anyRowsWithoutKeys(sqlite3* db) {
    for (int c = 0; c < keyedColumnCount; ++c) {
        sqlite::Statement probe(db, "SELECT 1" + keylessRows(c) + " LIMIT 1");
        if (probe.step()) {
            return true;
        }
    }
    return false;
}

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
        fill += std::string(c == 0 ? "" : ", ") + keyFill(c);
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

void keyRowsWrittenByOthers(sqlite3* db, int busyTimeoutMs) {
    try {
        if (!anyRowsWithoutKeys(db)) {
            return;
        }
        // Not worth a wait: the rows sort as they did until an opening finds the files free.
        sqlite3_busy_timeout(db, 0);
        sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
        // The version stays: the fields are unchanged, so an edit another copy has under way
        // must not be refused as if the row had changed; that edit writes its own keys anyway.
        for (int c = 0; c < keyedColumnCount; ++c) {
            sqlite::execute(db, ("UPDATE main.qv SET " + keyFill(c) + " WHERE id IN (SELECT id" +
                                 keylessRows(c) + ")")
                                    .c_str());
        }
        transaction.commit();
    } catch (const EDBEngineError&) {
        // Busy, or a failure the catalogue's own use will meet and report; nothing was changed.
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
}

}  // namespace quorvel::schema
