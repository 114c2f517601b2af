// Thin RAII over SQLite's C API: prepared statements, transactions, and the translation of
// SQLite's result codes into the engine's failures. Every statement is reset when the call that
// used it ends, so that no read is left open between two commands: an unfinished read would
// block another running copy's writes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "EngineCodes.h"
#include "sqlite/SqlValue.h"

namespace quorvel::sqlite {

// The engine code that stands for an SQLite result code.
EngineCode engineCodeFor(int rc);

// Raises EDBEngineError for rc, with SQLite's own message (and context, when given) on the
// error stack.
[[noreturn]] void raise(sqlite3* db, int rc, const std::string& context = {});

// Runs sql that returns no rows; throws on failure.
void execute(sqlite3* db, const char* sql);

class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1. An absent text binds NULL.
    void bind(int index, const std::optional<std::string>& text);
    void bind(int index, std::int64_t value);
    void bind(int index, const SqlValue& value);
    // Bound without a copy: the bytes must stay as they are until the statement is reset.
    // An absent text binds NULL.
    void bindStatic(int index, std::optional<std::string_view> text);
    void bindBlob(int index, std::string_view bytes);
    // A value another statement read, bound with its type (a blob stays a blob).
    void bindValue(int index, const sqlite3_value* value);

    // Advances to the next row; false at the end. Throws on failure (and resets).
    bool step();
    // Ends the statement's read and clears its parameters.
    void reset();

    std::int64_t integer(int column) const;
    std::optional<std::string> text(int column) const;
    // The same without a copy, valid until the next step or reset.
    std::optional<std::string_view> textView(int column) const;
    // The column's bytes as a blob; empty for NULL.
    std::string blob(int column) const;
    bool isNull(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement when the scope that used it ends, however it ends.
class ResetGuard {
  public:
    explicit ResetGuard(Statement& statement) : statement_(statement) {}
    ~ResetGuard() { statement_.reset(); }
    ResetGuard(const ResetGuard&) = delete;
    ResetGuard& operator=(const ResetGuard&) = delete;

  private:
    Statement& statement_;
};

// A transaction for the length of one engine call. A read takes a shared lock so the reads of
// one call see one state of the table; a write is IMMEDIATE, so it fails (after the busy
// timeout) before changing anything rather than half-way. Rolled back unless committed. Inside
// an open transaction it does nothing, so calls can nest.
class Transaction {
  public:
    enum class Kind { Read, Write };
    Transaction(sqlite3* db, Kind kind);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    sqlite3* db_;
    bool owner_;
};

}  // namespace quorvel::sqlite
