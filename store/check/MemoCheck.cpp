#include "check/MemoCheck.h"

#include <string>

#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::check {

std::vector<CheckFinding> checkMemoRows(sqlite3* db) {
    // Each memo's row looked up by id in the table itself, not through an index.
    sqlite::Statement orphans(db,
                              "SELECT count(*) FROM mb.memo AS m "
                              "WHERE NOT EXISTS (SELECT 1 FROM main.qv WHERE qv.id = m.id)");
    const std::uint64_t count = orphans.step() ? static_cast<std::uint64_t>(orphans.integer(0)) : 0;
    if (count == 0) {
        return {};
    }
    const std::string file = schema::memoFileName;
    return {{file, count,
             file + ": " + std::to_string(count) + (count == 1 ? " memo text" : " memo texts") +
                 " without a row in " + schema::rowsFileName + "; the program never shows " +
                 (count == 1 ? "it." : "them.")}};
}

}  // namespace quorvel::check
