#include "repair/CatalogueSalvage.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "EDBEngineError.h"
#include "check/CatalogueReadings.h"
#include "engine/CatalogueSchema.h"
#include "repair/RepairConnection.h"
#include "repair/RepairFailure.h"
#include "repair/TolerantScan.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel::repair {

namespace {

// Row ids as a statement reads them until it can't read on.
void collectIds(sqlite3* db, const std::string& sql, std::vector<std::int64_t>& ids) {
    sqlite::TolerantStatement statement(db, sql);
    while (statement.step() == sqlite::TolerantStatement::Step::Row) {
        ids.push_back(statement.integer(0));
    }
}

// The highest id the damaged table ever gave (AUTOINCREMENT's record), 0 when it can't be read.
std::int64_t oldSequence(sqlite3* db) {
    std::vector<std::int64_t> sequence;
    collectIds(db, "SELECT seq FROM main.sqlite_sequence WHERE name = 'qv'", sequence);
    return sequence.empty() ? 0 : sequence.front();
}

// Whether sql prepares on db: a table with such columns can be read.
bool prepares(sqlite3* db, const std::string& sql) {
    return sqlite::TolerantStatement(db, sql).prepared();
}

// The columns of the damaged table qv beyond the program's own, with their declared types.
std::vector<std::pair<std::string, std::string>> userColumns(sqlite3* db) {
    static const std::vector<std::string> own{
        "id", "vytisk", "cislo", "nejzajimavejsi_casti", "version", "vytisk_key", "cislo_key"};
    std::vector<std::pair<std::string, std::string>> columns;
    sqlite::TolerantStatement info(db, "PRAGMA main.table_info(qv)");
    while (info.step() == sqlite::TolerantStatement::Step::Row) {
        const char* name = info.text(1);
        const char* type = info.text(2);
        if (name != nullptr && std::find(own.begin(), own.end(), name) == own.end()) {
            columns.emplace_back(name, type != nullptr ? type : "");
        }
    }
    return columns;
}

std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        text += c == '"' ? "\"\"" : std::string(1, c);
    }
    return text + "\"";
}

// The ids of the gaps, between 1 and highest, that aren't among kept (sorted), as ranges.
std::vector<IdRange> unread(const std::vector<TolerantScan::Gap>& gaps,
                            const std::vector<std::int64_t>& kept, std::int64_t highest) {
    std::vector<IdRange> ranges;
    for (const TolerantScan::Gap& gap : gaps) {
        std::int64_t first = std::max<std::int64_t>(gap.first, 1);
        const std::int64_t last = std::min(gap.last, highest);
        auto next = std::lower_bound(kept.begin(), kept.end(), first);
        while (first <= last) {
            const std::int64_t end = next != kept.end() ? std::min(*next - 1, last) : last;
            if (first <= end) {
                ranges.push_back({first, end});
            }
            if (next == kept.end() || *next > last) {
                break;
            }
            first = *next + 1;
            ++next;
        }
    }
    return ranges;
}

std::uint64_t digestOf(const sqlite::TolerantStatement& row, int column) {
    std::uint64_t hash = 14695981039346656037ULL ^ static_cast<std::uint64_t>(row.type(column));
    for (const char byte : row.bytes(column)) {
        hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ULL;
    }
    return hash;
}

// The size of the pages of the program's files: SQLite's default, which it never changes.
constexpr std::uintmax_t pageSize = 4096;

std::string bytesOf(const std::filesystem::path& file, std::uintmax_t count) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// Whether qv.mb's first page, its header and schema, is gone while its other pages may still
// hold memo texts: no SQLite header there, or one of a memo file whose schema can't be read. A
// file of another kind (the rows file in its place) is never read as a memo file.
bool hasLostItsSchema(const std::filesystem::path& memoFile) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(memoFile, error);
    if (error || size < 2 * pageSize || size % pageSize != 0) {
        return false;
    }
    const std::string header = bytesOf(memoFile, 100);
    if (header.size() < 100 || header.compare(0, 16, std::string("SQLite format 3\0", 16)) != 0) {
        return true;
    }
    std::uint32_t applicationId = 0;
    for (std::size_t i = 68; i < 72; ++i) {
        applicationId = (applicationId << 8) | static_cast<unsigned char>(header[i]);
    }
    return applicationId == static_cast<std::uint32_t>(schema::memoApplicationId);
}

// A copy of memoFile at mended with the first page of a new memo file in place of its own: the
// program makes every qv.mb alike, its memo table's b-tree rooted on page 2, so the new schema
// leads to the old texts. The header says how many pages the file has; its free pages are lost.
void giveSchemaBack(const std::filesystem::path& memoFile, const std::filesystem::path& model,
                    const std::filesystem::path& mended) {
    std::string bytes = bytesOf(memoFile, std::filesystem::file_size(memoFile));
    const std::string first = bytesOf(model, pageSize);
    bytes.replace(0, first.size(), first);
    const auto pages = static_cast<std::uint32_t>(bytes.size() / pageSize);
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[28 + i] = static_cast<char>((pages >> (8 * (3 - i))) & 0xff);
        bytes[32 + i] = 0;  // the first free page: none
        bytes[36 + i] = 0;  // free pages: none
    }
    std::ofstream out(mended, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        throw EDBEngineError(engine_code::diskFull,
                             {{engine_code::diskFull, 0, "File: " + mended.string()}});
    }
}

}  // namespace

SalvageResult salvageInto(const std::filesystem::path& directory,
                          const std::filesystem::path& fresh) {
    // The damaged files are read on a connection of their own, each statement its own read:
    // SQLite keeps a file in error for the rest of a transaction once it met damage in it, and
    // the new files' transaction must go on to its commit.
    // A WAL's committed changes are read from a copy with them folded in: the damaged files
    // themselves are read immutable, which leaves any WAL out.
    std::unique_ptr<check::CatalogueReadings> readings;
    std::filesystem::path source = directory;
    if (check::CatalogueReadings::hasWal(directory)) {
        readings = std::make_unique<check::CatalogueReadings>(directory, fresh);
        source = readings->asFound();
    }
    const FileUse reading = readings ? FileUse::ReadCopy : FileUse::ReadDamaged;
    // An empty catalogue's files: its qv.db stands in for a missing one, so that the memo texts
    // are still kept, and its qv.mb's first page gives a damaged one its schema back.
    const std::filesystem::path model = fresh / ".known-schema";
    std::filesystem::create_directory(model);
    schema::createTable(model);
    std::filesystem::path rowsFile = source / schema::rowsFileName;
    SalvageResult result;
    if (!std::filesystem::exists(rowsFile)) {
        rowsFile = model / schema::rowsFileName;
        result.rowsFileMissing = true;
    }
    std::unique_ptr<RepairConnection> damaged;
    try {
        damaged = std::make_unique<RepairConnection>(rowsFile, reading);
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
        damaged->attach(source / schema::memoFileName, "mb", reading);
    } catch (const EDBEngineError&) {
        memoReadable = false;  // no memo text can be kept
    }

    const std::vector<std::pair<std::string, std::string>> extras = userColumns(old);
    std::string extraNames;
    std::string extraValues;
    for (std::size_t e = 0; e < extras.size(); ++e) {
        extraNames += ", " + quoted(extras[e].first);
        extraValues += ", ?" + std::to_string(e + 6);
    }

    schema::createTable(fresh);
    RepairConnection connection(fresh / schema::rowsFileName, FileUse::Mend);
    sqlite3* db = connection.handle();
    connection.attach(fresh / schema::memoFileName, "mb", FileUse::Mend);
    for (const auto& [name, type] : extras) {
        sqlite::execute(db,
                        ("ALTER TABLE main.qv ADD COLUMN " + quoted(name) + " " + type).c_str());
        result.columnsKept.push_back(name + (type.empty() ? "" : " " + type));
    }
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
    sqlite::Statement insertRow(
        db,
        "INSERT OR REPLACE INTO main.qv"
        "(id, vytisk, cislo, nejzajimavejsi_casti, version, vytisk_key, cislo_key" +
            extraNames + ") VALUES(?1, ?2, ?3, ?4, ?5, czech_key(?2), czech_key(?3)" + extraValues +
            ")");
    std::vector<std::int64_t> kept;
    const int fullColumns = 5 + static_cast<int>(extras.size());
    const RowReader keepRow = [&](const sqlite::TolerantStatement& row) {
        const std::int64_t id = row.integer(0);
        insertRow.bind(1, id);
        for (int column = 1; column <= 3; ++column) {
            insertRow.bindValue(column + 1, row.value(column));
        }
        const bool full = row.columnCount() == fullColumns;
        insertRow.bind(5, full && row.type(4) == SQLITE_INTEGER ? row.integer(4) : std::int64_t{1});
        for (int e = 0; full && e < static_cast<int>(extras.size()); ++e) {
            insertRow.bindValue(6 + e, row.value(5 + e));
        }
        if (!full && !extras.empty()) {
            result.fieldsLostIds.push_back(id);
        }
        insertRow.step();
        insertRow.reset();
        kept.push_back(id);
    };
    // A row whose version can't be read still has its fields; it starts again at 1.
    TolerantScan rows(old, "main.qv", fields + (versioned ? ", version" : ", 1") + extraNames,
                      fields);
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
    const std::filesystem::path memoFile = source / schema::memoFileName;
    if (!memos && hasLostItsSchema(memoFile)) {
        const std::filesystem::path mended = fresh / ".page-one" / schema::memoFileName;
        std::filesystem::create_directory(mended.parent_path());
        giveSchemaBack(memoFile, model / schema::memoFileName, mended);
        try {
            if (memoReadable) {
                sqlite::execute(old, "DETACH mb");
            }
            damaged->attach(mended, "mb", FileUse::ReadDamaged);
            memoReadable = true;
            memos = std::make_unique<TolerantScan>(old, "mb.memo", "obsah");
            result.memoSchemaRebuilt = true;
        } catch (const EDBEngineError&) {
            // its pages are no memo table either
        }
    }
    sqlite::Statement insertMemo(db, "INSERT OR REPLACE INTO mb.memo(id, obsah) VALUES(?1, ?2)");
    std::vector<std::int64_t> memoIds;
    std::unordered_map<std::int64_t, std::uint64_t> memoDigests;
    const RowReader keepMemo = [&](const sqlite::TolerantStatement& memo) {
        const std::int64_t id = memo.integer(0);
        insertMemo.bind(1, id);
        if (memo.type(1) == SQLITE_NULL) {
            insertMemo.bind(2, std::optional<std::string>(""));
        } else {
            insertMemo.bindValue(2, memo.value(1));
        }
        insertMemo.step();
        insertMemo.reset();
        const std::uint64_t digest = digestOf(memo, 1);
        const auto [at, added] = memoDigests.emplace(id, digest);
        if (!added && at->second != digest) {
            result.memosReplaced.push_back(id);
            at->second = digest;
        }
        memoIds.push_back(id);
    };
    result.memoDamage = memos ? memos->readAll(keepMemo) : 1;
    std::error_code noSize;
    result.memoUnreadable = !result.memoSchemaRebuilt && !memos &&
                            std::filesystem::file_size(source / schema::memoFileName, noSize) > 0 &&
                            !noSize;

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
        if (!std::binary_search(kept.begin(), kept.end(), id)) {
            result.rowsLostIds.push_back(id);
        }
    }
    result.rowsLost = result.rowsLostIds.size();
    result.rowsKept = kept.size();
    // Rows named as lost by id aren't told again among the stretches under damage.
    std::vector<std::int64_t> told = kept;
    told.insert(told.end(), result.rowsLostIds.begin(), result.rowsLostIds.end());
    std::sort(told.begin(), told.end());
    result.rowsUnread = unread(rows.gaps(), told, highest);
    if (memos) {
        result.memosUnread = unread(memos->gaps(), memoIds, highest);
    }
    std::sort(result.memosReplaced.begin(), result.memosReplaced.end());
    result.memosReplaced.erase(
        std::unique(result.memosReplaced.begin(), result.memosReplaced.end()),
        result.memosReplaced.end());

    collectIds(db,
               "SELECT m.id FROM mb.memo AS m WHERE NOT EXISTS "
               "(SELECT 1 FROM main.qv WHERE qv.id = m.id) ORDER BY m.id",
               result.memoIdsGivenRows);
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
    // The count of changes of both files goes on from the higher of the two.
    std::vector<std::int64_t> commits;
    collectIds(old, "SELECT max(rowid) FROM main.qv_pair", commits);
    if (memoReadable) {
        collectIds(old, "SELECT max(rowid) FROM mb.qv_pair", commits);
    }
    const std::int64_t mostCommits =
        commits.empty()
            ? 1
            : std::max<std::int64_t>(1, *std::max_element(commits.begin(), commits.end()));
    for (const char* file : {"main", "mb"}) {
        sqlite::execute(db, ("UPDATE " + std::string(file) +
                             ".qv_pair SET rowid = " + std::to_string(mostCommits))
                                .c_str());
    }
    transaction.commit();
    if (memoReadable) {
        // The memo texts are carried by id and text alone: other columns are named.
        sqlite::TolerantStatement info(old, "PRAGMA mb.table_info(memo)");
        while (info.step() == sqlite::TolerantStatement::Step::Row) {
            const char* name = info.text(1);
            const std::string column = name != nullptr ? name : "";
            if (column != "id" && column != "obsah") {
                result.objects.dropped.push_back("qv.mb: column " + column +
                                                 " of memo, with its values");
            }
        }
    }
    carryUserObjects(old, memoReadable, fresh, result.objects);
    return result;
}

}  // namespace quorvel::repair
