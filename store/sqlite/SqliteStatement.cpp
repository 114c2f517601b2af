#include "sqlite/SqliteStatement.h"

#include <cerrno>

#include <cassert>

#include "EDBEngineError.h"

namespace quorvel::sqlite {

EngineCode engineCodeFor(int rc) {
    namespace c = engine_code;
    switch (rc & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return c::tableBusy;
        case SQLITE_CORRUPT:
            return c::corruptFile;
        case SQLITE_NOTADB:
            return c::notATableFile;
        case SQLITE_FULL:
            return c::diskFull;
        case SQLITE_IOERR:
            return c::ioError;
        case SQLITE_NOMEM:
            return c::outOfMemory;
        case SQLITE_READONLY:
            return c::readOnlyFile;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return c::accessDenied;
        case SQLITE_TOOBIG:
            return c::valueTooLarge;
        case SQLITE_NOTFOUND:
            return c::recordNotFound;
        default:
            return c::internalError;
    }
}

void raise(sqlite3* db, int rc, const std::string& context) {
    EngineCode code = engineCodeFor(rc);
    std::vector<EngineErrorEntry> entries;
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    // SQLite calls only a short write with ENOSPC a full disk; a write past the quota or the
    // process's file size limit is the same to the user.
    if (db != nullptr && (rc & 0xff) == SQLITE_IOERR) {
        const int error = sqlite3_system_errno(db);
        if (error == ENOSPC || error == EDQUOT || error == EFBIG) {
            code = engineCodeFor(SQLITE_FULL);
            message = sqlite3_errstr(SQLITE_FULL);
        }
    }
    entries.push_back({code, rc, message != nullptr ? message : ""});
    if (!context.empty()) {
        entries.push_back({code, 0, context});
    }
    throw EDBEngineError(code, std::move(entries));
}

void execute(sqlite3* db, const char* sql) {
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        raise(db, rc);
    }
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        raise(db, rc);
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

void Statement::bind(int index, const std::optional<std::string>& text) {
    const int rc = text ? sqlite3_bind_text(stmt_, index, text->data(),
                                            static_cast<int>(text->size()), SQLITE_TRANSIENT)
                        : sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

void Statement::bind(int index, std::int64_t value) {
    const int rc = sqlite3_bind_int64(stmt_, index, value);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

void Statement::bindValue(int index, const sqlite3_value* value) {
    const int rc = sqlite3_bind_value(stmt_, index, value);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

void Statement::bind(int index, const SqlValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        bind(index, std::optional<std::string>(*text));
    } else if (const auto* blob = std::get_if<SqlBlob>(&value)) {
        const int rc = sqlite3_bind_blob(stmt_, index, blob->bytes.data(),
                                         static_cast<int>(blob->bytes.size()), SQLITE_TRANSIENT);
        if (rc != SQLITE_OK) {
            raise(db_, rc);
        }
    } else if (const auto* integer = std::get_if<long long>(&value)) {
        bind(index, static_cast<std::int64_t>(*integer));
    } else {
        const int rc = sqlite3_bind_double(stmt_, index, std::get<double>(value));
        if (rc != SQLITE_OK) {
            raise(db_, rc);
        }
    }
}

void Statement::bindStatic(int index, std::optional<std::string_view> text) {
    const int rc = text ? sqlite3_bind_text(stmt_, index, text->data(),
                                            static_cast<int>(text->size()), SQLITE_STATIC)
                        : sqlite3_bind_null(stmt_, index);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

void Statement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob, never NULL, even when data() is null.
    const int rc = sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                                     static_cast<int>(bytes.size()), SQLITE_STATIC);
    if (rc != SQLITE_OK) {
        raise(db_, rc);
    }
}

bool Statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    sqlite3_reset(stmt_);
    raise(db_, rc);
}

void Statement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::optional<std::string> Statement::text(int column) const {
    const std::optional<std::string_view> view = textView(column);
    return view ? std::optional<std::string>(*view) : std::nullopt;
}

std::optional<std::string_view> Statement::textView(int column) const {
    // Asked for the text first: a NULL gives none, so only then is the type asked too.
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (bytes == nullptr) {
        if (sqlite3_column_type(stmt_, column) == SQLITE_NULL) {
            return std::nullopt;
        }
        raise(db_, SQLITE_NOMEM);
    }
    return std::string_view(bytes, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string Statement::blob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes != nullptr ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}

bool Statement::isNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}

Transaction::Transaction(sqlite3* db, Kind kind) : db_(db), owner_(sqlite3_get_autocommit(db)) {
    if (owner_) {
        execute(db_, kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN");
    }
}

Transaction::~Transaction() {
    if (owner_) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void Transaction::commit() {
    if (!owner_) {
        return;
    }
    const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        raise(db_, rc);  // the destructor rolls back
    }
    owner_ = false;
}

}  // namespace quorvel::sqlite
