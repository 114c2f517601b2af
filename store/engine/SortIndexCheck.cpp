#include "engine/SortIndexCheck.h"

#include <optional>
#include <string>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "engine/FormatUpgrade.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::schema {

namespace {

std::int64_t countOf(sqlite3* db, const std::string& source) {
    sqlite::Statement count(db, "SELECT count(*) FROM main.qv " + source);
    return count.step() ? count.integer(0) : 0;
}

}  // namespace

std::vector<int> miscountedSortIndexes(sqlite3* db, const std::vector<int>& present) {
    std::vector<int> wrong;
    if (present.empty()) {
        return wrong;
    }
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Read);
    std::vector<std::optional<std::int64_t>> entries;
    for (const int column : present) {
        try {
            // A bare count(*) is answered by whichever index SQLite likes; a range over the key
            // makes it walk this one.
            entries.push_back(countOf(db, "INDEXED BY " + sortIndexName(column) + " WHERE " +
                                              sortKeyColumns[column] + " >= x''"));
        } catch (const EDBEngineError& error) {
            if (error.errorCode() == engine_code::tableBusy) {
                throw;  // nothing was read
            }
            entries.push_back(std::nullopt);  // its pages can't be read
        }
    }
    // Two indexes that agree are taken for right: damage that takes the same number of entries
    // from both is beyond belief. Only otherwise is the table, several times their size, read.
    if (entries.size() > 1 && entries[0] && entries == std::vector(entries.size(), entries[0])) {
        transaction.commit();
        return wrong;
    }
    const std::int64_t rows = countOf(db, "NOT INDEXED");
    for (std::size_t i = 0; i < present.size(); ++i) {
        if (entries[i] != rows) {
            wrong.push_back(present[i]);
        }
    }
    transaction.commit();
    return wrong;
}

SortIndexFindings findSortIndexFaults(sqlite3* db, const std::vector<int>& present,
                                      bool lookForKeyless) {
    SortIndexFindings findings;
    try {
        findings.miscounted = miscountedSortIndexes(db, present);
        findings.keyless = lookForKeyless && findings.miscounted.empty() && anyRowsWithoutKeys(db);
    } catch (const EDBEngineError& error) {
        if (error.errorCode() == engine_code::tableBusy) {
            throw;
        }
        // The table can't be counted, or the check was interrupted: nothing found.
    }
    return findings;
}

bool rebuildSortIndexes(sqlite3* db, const std::vector<int>& keyed, int busyTimeoutMs) {
    bool rebuilt = false;
    try {
        sqlite3_busy_timeout(db, 0);
        sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
        for (const int column : keyed) {
            sqlite::execute(db, ("DROP INDEX main." + sortIndexName(column)).c_str());
            sqlite::execute(db, createSortIndexSql(column).c_str());
        }
        transaction.commit();
        rebuilt = true;
    } catch (const EDBEngineError&) {
        // Busy, or pages too damaged to free: the transaction was rolled back.
    }
    sqlite3_busy_timeout(db, busyTimeoutMs);
    return rebuilt;
}

}  // namespace quorvel::schema
