#include "sqlite/TolerantStatement.h"

namespace quorvel::sqlite {

TolerantStatement::TolerantStatement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc =
        sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        fail(rc);
    } else if (stmt_ == nullptr) {
        // Only a comment or white space: nothing to run, which is no statement of ours.
        rc_ = SQLITE_MISUSE;
        message_ = sqlite3_errstr(SQLITE_MISUSE);
    }
}

void TolerantStatement::fail(int rc) {
    rc_ = rc;
    const char* text = sqlite3_errmsg(db_);
    message_ = text != nullptr ? text : sqlite3_errstr(rc);
}

TolerantStatement::~TolerantStatement() {
    sqlite3_finalize(stmt_);
}

void TolerantStatement::bind(int index, std::int64_t value) {
    if (stmt_ == nullptr) {
        return;
    }
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) {
        fail(rc);
        bindFailed_ = true;
    }
}

void TolerantStatement::bind(int index, std::string_view text) {
    if (stmt_ == nullptr) {
        return;
    }
    const int rc = sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(),
                                     static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        fail(rc);
        bindFailed_ = true;
    }
}

TolerantStatement::Step TolerantStatement::step() {
    if (stmt_ == nullptr || bindFailed_) {
        return Step::Failed;
    }
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return Step::Row;
    }
    if (rc == SQLITE_DONE) {
        return Step::Done;
    }
    fail(rc);
    return Step::Failed;
}

void TolerantStatement::reset() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
    }
}

bool TolerantStatement::run() {
    Step last = Step::Row;
    while ((last = step()) == Step::Row) {
    }
    reset();
    return last == Step::Done;
}

int TolerantStatement::columnCount() const {
    return sqlite3_column_count(stmt_);
}

int TolerantStatement::type(int column) const {
    return sqlite3_column_type(stmt_, column);
}

std::int64_t TolerantStatement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

const char* TolerantStatement::text(int column) const {
    return reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
}

std::string_view TolerantStatement::bytes(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return data != nullptr ? std::string_view(data, static_cast<std::size_t>(size))
                           : std::string_view();
}

const sqlite3_value* TolerantStatement::value(int column) const {
    return sqlite3_column_value(stmt_, column);
}

std::uint64_t TolerantStatement::machineSteps() const {
    return static_cast<std::uint64_t>(sqlite3_stmt_status(stmt_, SQLITE_STMTSTATUS_VM_STEP, 0));
}

}  // namespace quorvel::sqlite
