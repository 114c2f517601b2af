#include "repair/CatalogueSalvage.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "repair/RepairConnection.h"
#include "repair/RepairFailure.h"
#include "repair/TolerantScan.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::repair {

namespace {

// Row ids as a raw statement reads them until it can't read on.
void collectIds(sqlite3* db, const std::string& sql, std::vector<std::int64_t>& ids) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        while (sqlite3_step(statement) == SQLITE_ROW) {
            ids.push_back(sqlite3_column_int64(statement, 0));
        }
    }
    sqlite3_finalize(statement);
}

// The highest id the damaged table ever gave (AUTOINCREMENT's record), 0 when it can't be read.
std::int64_t oldSequence(sqlite3* db) {
    std::vector<std::int64_t> sequence;
    collectIds(db, "SELECT seq FROM main.sqlite_sequence WHERE name = 'qv'", sequence);
    return sequence.empty() ? 0 : sequence.front();
}

// Whether sql prepares on db: a table with such columns can be read.
bool prepares(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    const bool prepared = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK;
    sqlite3_finalize(statement);
    return prepared;
}

// A field as read from the damaged file: a text, or no value; anything else damage made of it
// is taken as its text.
std::optional<std::string> fieldOf(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row, column));
    return std::string(text != nullptr ? text : "",
                       static_cast<std::size_t>(sqlite3_column_bytes(row, column)));
}

}  // namespace

SalvageResult salvageInto(const std::filesystem::path& directory,
                          const std::filesystem::path& fresh) {
    // The damaged files are read on a connection of their own, each statement its own read:
    // SQLite keeps a file in error for the rest of a transaction once it met damage in it, and
    // the new files' transaction must go on to its commit.
    const std::filesystem::path rowsFile = directory / schema::rowsFileName;
    std::unique_ptr<RepairConnection> damaged;
    try {
        damaged = std::make_unique<RepairConnection>(rowsFile, FileUse::ReadDamaged);
    } catch (const EDBEngineError& failure) {
        throw RepairFailure(rowsFile.string() + " can't be read as a database (" +
                            failure.entries().front().text +
                            "), so there is nothing to rebuild the catalogue from");
    }
    sqlite3* old = damaged->handle();
    const std::string fields = "vytisk, cislo, nejzajimavejsi_casti";
    if (!prepares(old, "SELECT id, " + fields + " FROM main.qv LIMIT 0")) {
        throw RepairFailure(rowsFile.string() +
                            " holds no table of a catalogue's rows that can be read, so there is "
                            "nothing to rebuild the catalogue from");
    }
    // A damaged schema may misname the version column; the rows' fields are what matter.
    const bool versioned = prepares(old, schema::rowColumnsProbe);
    bool memoReadable = true;
    try {
        damaged->attach(directory / schema::memoFileName, "mb", FileUse::ReadDamaged);
    } catch (const EDBEngineError&) {
        memoReadable = false;  // no memo text can be kept
    }

    schema::createTable(fresh);
    RepairConnection connection(fresh / schema::rowsFileName, FileUse::Mend);
    sqlite3* db = connection.handle();
    connection.attach(fresh / schema::memoFileName, "mb", FileUse::Mend);
    SalvageResult result;
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
    sqlite::Statement insertRow(
        db,
        "INSERT OR REPLACE INTO main.qv"
        "(id, vytisk, cislo, nejzajimavejsi_casti, version, vytisk_key, cislo_key) "
        "VALUES(?1, ?2, ?3, ?4, ?5, czech_key(?2), czech_key(?3))");
    std::vector<std::int64_t> kept;
    const RowReader keepRow = [&](sqlite3_stmt* row) {
        insertRow.bind(1, sqlite3_column_int64(row, 0));
        for (int column = 1; column <= 3; ++column) {
            insertRow.bind(column + 1, fieldOf(row, column));
        }
        insertRow.bind(
            5, sqlite3_column_count(row) > 4 && sqlite3_column_type(row, 4) == SQLITE_INTEGER
                   ? sqlite3_column_int64(row, 4)
                   : std::int64_t{1});
        insertRow.step();
        insertRow.reset();
        kept.push_back(sqlite3_column_int64(row, 0));
    };
    // A row whose version can't be read still has its fields; it starts again at 1.
    TolerantScan rows(old, "main.qv", versioned ? fields + ", version" : fields, fields);
    result.rowsDamage = rows.readAll(keepRow);

    // What else knows of rows: the sort indexes, each read as far as it can be, and the memo
    // texts. Those the indexes know of were rows; a memo text may have lost its row earlier.
    std::vector<std::int64_t> indexed;
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        collectIds(old, "SELECT id FROM main.qv INDEXED BY " + schema::sortIndexName(c), indexed);
    }
    std::unique_ptr<TolerantScan> memos;
    if (memoReadable) {
        try {
            memos = std::make_unique<TolerantScan>(old, "mb.memo", "obsah");
        } catch (const EDBEngineError&) {
            // no memo table to be read in it
        }
    }
    sqlite::Statement insertMemo(db, "INSERT OR REPLACE INTO mb.memo(id, obsah) VALUES(?1, ?2)");
    std::vector<std::int64_t> memoIds;
    const RowReader keepMemo = [&](sqlite3_stmt* memo) {
        insertMemo.bind(1, sqlite3_column_int64(memo, 0));
        insertMemo.bind(2, std::optional<std::string>(fieldOf(memo, 1).value_or("")));
        insertMemo.step();
        insertMemo.reset();
        memoIds.push_back(sqlite3_column_int64(memo, 0));
    };
    result.memoDamage = memos ? memos->readAll(keepMemo) : 1;

    // Then each id the scans leapt over, looked up alone: from 1 to the highest ever given or
    // known, and below that those known.
    std::vector<std::int64_t> known = indexed;
    known.insert(known.end(), memoIds.begin(), memoIds.end());
    std::sort(known.begin(), known.end());
    std::sort(kept.begin(), kept.end());
    kept.erase(std::unique(kept.begin(), kept.end()), kept.end());
    const std::int64_t highest = std::max(
        {oldSequence(old), kept.empty() ? 0 : kept.back(), known.empty() ? 0 : known.back()});
    for (auto id = known.begin(); id != known.end() && *id < 1; ++id) {
        if (!std::binary_search(kept.begin(), kept.end(), *id)) {
            rows.readOne(*id, keepRow);
        }
    }
    rows.readMissing(std::vector<std::int64_t>(kept), highest, keepRow);
    if (memos) {
        std::sort(memoIds.begin(), memoIds.end());
        memos->readMissing(std::vector<std::int64_t>(memoIds), highest, keepMemo);
    }
    // An id read twice (damage put it on two rows) is counted once.
    for (std::vector<std::int64_t>* ids : {&kept, &indexed, &memoIds}) {
        std::sort(ids->begin(), ids->end());
        ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
    }
    result.memosKept = memoIds.size();
    for (const std::int64_t id : indexed) {
        result.rowsLost += std::binary_search(kept.begin(), kept.end(), id) ? 0 : 1;
    }
    result.rowsKept = kept.size();

    sqlite::execute(db,
                    "INSERT INTO main.qv(id) SELECT m.id FROM mb.memo AS m "
                    "WHERE NOT EXISTS (SELECT 1 FROM main.qv WHERE qv.id = m.id)");
    result.memosGivenRows = static_cast<std::uint64_t>(sqlite3_changes64(db));
    // No id the damaged table gave out is given again: another running copy, or a memo text
    // left behind, may still know it.
    sqlite::Statement sequence(db,
                               "UPDATE main.sqlite_sequence SET seq = max(seq, ?1) "
                               "WHERE name = 'qv'");
    sequence.bind(1, highest);
    sequence.step();
    if (sqlite3_changes64(db) == 0) {
        sqlite::Statement first(db, "INSERT INTO main.sqlite_sequence(name, seq) VALUES('qv', ?1)");
        first.bind(1, highest);
        first.step();
    }
    transaction.commit();
    return result;
}

}  // namespace quorvel::repair
