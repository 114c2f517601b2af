#include "check/ProgramLimits.h"

#include <string>

#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::check {

namespace {

// How many ids a finding names before it says "...".
constexpr int idsNamed = 10;

}  // namespace

std::vector<CheckFinding> checkProgramLimits(sqlite3* db) {
    std::vector<CheckFinding> findings;
    for (const auto& [schemaName, file] :
         {std::pair{"main", schema::rowsFileName}, std::pair{"mb", schema::memoFileName}}) {
        sqlite::Statement triggers(db, std::string("SELECT name, tbl_name FROM ") + schemaName +
                                           ".sqlite_master WHERE type = 'trigger' ORDER BY name");
        while (triggers.step()) {
            findings.push_back(
                {file, 1,
                 std::string(file) + ": a trigger the program didn't make, " +
                     triggers.text(0).value_or("") + " on " + triggers.text(1).value_or("") +
                     "; the program lets its writes touch only its own table, so Save and import "
                     "fail when it writes elsewhere or raises an error."});
        }
    }
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        const TableColumn& column = schema::columns[c];
        const std::string field = column.sqlName;
        sqlite::Statement over(db, "SELECT id FROM main.qv NOT INDEXED WHERE typeof(" + field +
                                       ") NOT IN ('text', 'null') OR length(" + field + ") > " +
                                       std::to_string(column.size) + " ORDER BY id");
        std::uint64_t count = 0;
        std::string ids;
        while (over.step()) {
            if (++count <= idsNamed) {
                ids += (count > 1 ? ", " : "") + std::to_string(over.integer(0));
            }
        }
        if (count > 0) {
            findings.push_back({schema::rowsFileName, count,
                                std::string(schema::rowsFileName) + ": " + std::to_string(count) +
                                    (count == 1 ? " row whose " : " rows whose ") +
                                    column.fieldName + " is not a text of at most " +
                                    std::to_string(column.size) +
                                    " characters, the program's limit (id " + ids +
                                    (count > idsNamed ? ", ..." : "") +
                                    "); the program shows it cut and cuts it when the row is "
                                    "saved. The repair leaves it as it is.",
                                false});
        }
    }
    return findings;
}

}  // namespace quorvel::check
