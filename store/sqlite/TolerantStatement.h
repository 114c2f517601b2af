// A prepared statement for reading files that may be damaged: where sqlite::Statement throws,
// this one reports, and the caller decides what a failure means (a stretch of damage to leap
// over, a table that isn't there, a column that can't be read). It never throws but for memory.
// Like Statement, it is finalised when it goes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::sqlite {

class TolerantStatement {
  public:
    enum class Step { Row, Done, Failed };

    TolerantStatement(sqlite3* db, std::string_view sql);
    ~TolerantStatement();
    TolerantStatement(const TolerantStatement&) = delete;
    TolerantStatement& operator=(const TolerantStatement&) = delete;

    // Whether the statement compiled; if not, code() is why and every step fails.
    bool prepared() const { return stmt_ != nullptr; }
    // The result code of the last prepare, bind or step that failed; SQLITE_OK if none did.
    int code() const { return rc_; }
    // SQLite's text for that failure.
    const std::string& message() const { return message_; }

    // A failed bind fails every step after it.
    void bind(int index, std::int64_t value);
    void bind(int index, std::string_view text);
    Step step();
    // Ends the statement's read; the parameters stay bound.
    void reset();
    // Steps through every row and resets; false when a step failed.
    bool run();

    int columnCount() const;
    int type(int column) const;
    std::int64_t integer(int column) const;
    // Null for a NULL column.
    const char* text(int column) const;
    // The column's bytes as a blob; empty for NULL. Valid until the next step or reset.
    std::string_view bytes(int column) const;
    // The column's value as it is stored, valid until the next step or reset.
    const sqlite3_value* value(int column) const;
    // The steps of SQLite's machine the statement has taken since it was prepared.
    std::uint64_t machineSteps() const;

  private:
    // Records a failure with SQLite's text for it.
    void fail(int rc);

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_OK;
    std::string message_;
    bool bindFailed_ = false;
};

}  // namespace quorvel::sqlite
