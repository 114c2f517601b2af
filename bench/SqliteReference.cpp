#include "SqliteReference.h"

#include <stdexcept>

namespace quorvel::bench {

namespace {

class Prepared {
  public:
    Prepared(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
            throw std::runtime_error(std::string(sqlite3_errmsg(db)) + ": " + sql);
        }
    }
    ~Prepared() { sqlite3_finalize(stmt_); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

  private:
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

SqliteReference::SqliteReference(const std::filesystem::path& directory) {
    const std::filesystem::path rows = directory / "qv.db";
    const std::filesystem::path memos = directory / "qv.mb";
    if (sqlite3_open_v2(rows.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        fail(rows.string());
    }
    {
        Prepared attach(db_, "ATTACH ?1 AS mb");
        sqlite3_bind_text(attach.get(), 1, memos.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(attach.get()) != SQLITE_DONE) {
            fail(memos.string());
        }
    }
    if (sqlite3_exec(db_, "PRAGMA case_sensitive_like=ON", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        fail("PRAGMA case_sensitive_like");
    }
    if (count("SELECT 'a' LIKE 'A'") != 0) {
        throw std::runtime_error("this SQLite can't make like case-sensitive");
    }
}

SqliteReference::~SqliteReference() {
    sqlite3_close(db_);
}

void SqliteReference::fail(const std::string& what) const {
    throw std::runtime_error(what + ": " + sqlite3_errmsg(db_));
}

ReferenceResult SqliteReference::run(const std::string& sql,
                                     const std::optional<std::string>& parameter, int keyColumn) {
    Prepared statement(db_, sql);
    sqlite3_stmt* stmt = statement.get();
    if (parameter) {
        sqlite3_bind_text(stmt, 1, parameter->data(), static_cast<int>(parameter->size()),
                          SQLITE_TRANSIENT);
    }
    ReferenceResult result;
    const int columns = sqlite3_column_count(stmt);
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        // Asking for the text makes SQLite fetch it (a memo from its overflow pages too).
        for (int c = 0; c < columns; ++c) {
            sqlite3_column_text(stmt, c);
            sqlite3_column_bytes(stmt, c);
        }
        if (result.rows < 20) {
            result.firstIds.push_back(sqlite3_column_int64(stmt, 0));
            const auto* key = reinterpret_cast<const char*>(sqlite3_column_text(stmt, keyColumn));
            result.firstKeys.emplace_back(key != nullptr ? key : "");
        }
        ++result.rows;
    }
    if (rc != SQLITE_DONE) {
        fail(sql);
    }
    return result;
}

std::int64_t SqliteReference::count(const std::string& sql) {
    Prepared statement(db_, sql);
    if (sqlite3_step(statement.get()) != SQLITE_ROW) {
        fail(sql);
    }
    return sqlite3_column_int64(statement.get(), 0);
}

}  // namespace quorvel::bench
