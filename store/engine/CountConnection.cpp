#include "engine/CountConnection.h"

#include <optional>

#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"
#include "text/LikePattern.h"

namespace quorvel {

CountConnection::CountConnection(const CatalogueFiles& files) {
    const int rc = sqlite3_open_v2(sqlite::fileUri(files.rows, "ro").c_str(), &db_,
                                   SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                                   files.vfs.empty() ? nullptr : files.vfs.c_str());
    try {
        if (rc != SQLITE_OK) {
            sqlite::raise(db_, rc);
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite::execute(db_, "PRAGMA case_sensitive_like=ON");
        {
            sqlite::Statement attach(db_, "ATTACH ? AS mb");
            attach.bind(1, std::optional<std::string>(sqlite::fileUri(files.memos, "ro")));
            attach.step();
        }
        LikePattern::install(db_);
        collator_.installOn(db_);
    } catch (...) {
        // On the opening thread, which holds none of the files' locks on another connection
        // at this moment or takes them only after this returns.
        sqlite3_close(db_);
        throw;
    }
}

CountConnection::~CountConnection() {
    sqlite3_close(db_);
}

}  // namespace quorvel
