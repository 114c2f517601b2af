#include "check/IntegrityEstimate.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "EDBEngineError.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel::check {

namespace {

// Rows each table gets in memory: enough that the steps of one row stand out from the rest.
constexpr int sampleRows = 64;

std::string quotedName(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return text + "\"";
}

// The machine steps of integrity_check on the database in memory.
std::uint64_t stepsOf(sqlite3* memory) {
    sqlite::TolerantStatement check(memory, "PRAGMA integrity_check");
    if (!check.prepared()) {
        return 0;
    }
    while (check.step() == sqlite::TolerantStatement::Step::Row) {
    }
    return check.machineSteps();
}

// sampleRows rows of a text in every column but an integer primary key, which numbers them.
std::string fillSql(sqlite3* memory, const std::string& table) {
    std::string values;
    sqlite::Statement columns(memory, "SELECT pk, type FROM pragma_table_info(?1)");
    columns.bind(1, std::optional<std::string>(table));
    while (columns.step()) {
        const bool rowId = columns.integer(0) == 1 && columns.text(1).value_or("") == "INTEGER";
        values += std::string(values.empty() ? "" : ", ") + (rowId ? "NULL" : "'x'");
    }
    return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(sampleRows) + ") INSERT INTO " + quotedName(table) + " SELECT " + values +
           " FROM n";
}

}  // namespace

IntegrityEstimate estimateIntegrity(sqlite3* db, const char* schemaName) {
    const std::string schema = quotedName(schemaName);
    try {
        sqlite::Connection memory({}, {});
        std::vector<std::pair<std::string, std::uint64_t>> tables;  // name, rows
        {
            // Tables before their indexes; SQLite's own tables it makes itself.
            sqlite::Statement objects(db, "SELECT type, name, sql FROM " + schema +
                                              ".sqlite_master WHERE sql IS NOT NULL AND name "
                                              "NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY "
                                              "type = 'index'");
            while (objects.step()) {
                sqlite::execute(memory.handle(), objects.text(2).value_or("").c_str());
                if (objects.text(0) == "table") {
                    tables.emplace_back(objects.text(1).value_or(""), 0);
                }
            }
        }
        IntegrityEstimate estimate;
        const std::uint64_t emptySteps = stepsOf(memory.handle());
        estimate.steps = emptySteps;
        for (auto& [table, rows] : tables) {
            sqlite::Statement last(db,
                                   "SELECT max(rowid) FROM " + schema + "." + quotedName(table));
            rows = last.step()
                       ? static_cast<std::uint64_t>(std::max<std::int64_t>(last.integer(0), 0))
                       : 0;
            sqlite::execute(memory.handle(), fillSql(memory.handle(), table).c_str());
            const std::uint64_t filled = stepsOf(memory.handle());
            sqlite::execute(memory.handle(), ("DELETE FROM " + quotedName(table)).c_str());
            const std::uint64_t perRow =
                filled > emptySteps ? (filled - emptySteps) / sampleRows : 0;
            estimate.rows += rows;
            estimate.steps += rows * perRow;
        }
        return estimate;
    } catch (const EDBEngineError&) {
        return {};
    }
}

}  // namespace quorvel::check
