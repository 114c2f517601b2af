#include "engine/CountConnection.h"

#include "sqlite/SqliteStatement.h"
#include "text/LikePattern.h"

namespace quorvel {

CountConnection::CountConnection(const CatalogueFiles& files)
    : connection_(files.rows, {sqlite::Access::ReadOnly, 0, files.vfs}) {
    sqlite3* db = connection_.handle();
    sqlite::execute(db, "PRAGMA case_sensitive_like=ON");
    connection_.attach(files.memos, "mb", sqlite::Access::ReadOnly);
    LikePattern::install(db);
    collator_.installOn(db);
}

}  // namespace quorvel
