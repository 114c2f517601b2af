// RowInsert: the one writer of the table's rows. Everything that puts rows into qv (the record
// set through Cursor, qvtool's generator, qvtool's import) writes through it, so every row
// obeys the same rules:
//   - a string field holds at most its size in characters (code points, never bytes); a longer
//     one is refused with valueTooLarge, "Field: <name>", before anything is written;
//   - an empty text is stored as no value (NULL), in the string fields and the memo alike, so
//     that a search for "%%" finds exactly the fields that hold something;
//   - Vytisk and Cislo get their Czech sort keys (CzechCollator) in their key columns with the
//     row, so the sorted results stay right and walk their indexes.
//
// It works on an open connection with qv.db as "main" and qv.mb attached as "mb", of the
// current format (schema::formatVersion), and prepares its statements once. It opens no
// transaction of its own: the caller writes a row and its memo inside one transaction (a
// BEGIN IMMEDIATE ... COMMIT spanning both files) and commits when it likes, say every few
// thousand rows of an import. Failures are EDBEngineError; a failed call may have written part
// of a row, so the caller rolls its transaction back. Not for use from two threads at once.
#pragma once

#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteStatement.h"
#include "text/CzechCollator.h"

namespace quorvel {

struct RowData;

class RowInsert {
  public:
    // The three string fields in table order (Vytisk, Cislo, Nejzajimavejsi_casti); nullopt
    // is a field without a value. The texts must be UTF-8.
    using Texts = std::array<std::optional<std::string_view>, schema::stringColumnCount>;

    // Prepares the statements on db; throws EDBEngineError.
    explicit RowInsert(sqlite3* db);
    // Lets go of the connection's commit and rollback hooks, which it holds while it lives.
    ~RowInsert();
    RowInsert(const RowInsert&) = delete;
    RowInsert& operator=(const RowInsert&) = delete;

    // The value a text is stored as: nullopt for an empty text.
    static std::optional<std::string_view> stored(std::optional<std::string_view> text);
    static std::optional<std::string> stored(const std::optional<std::string>& text);
    // Refuses (valueTooLarge, naming the first field) a text longer than its field.
    static void checkSizes(const Texts& strings);
    // The string fields of row, as views into it.
    static Texts textsOf(const RowData& row);

    // Adds a row with a new id and returns that id; memo is its memo text (nullopt or empty:
    // none). The memo file is made to hold exactly that under the new id.
    std::int64_t insert(const Texts& strings, std::optional<std::string_view> memo);
    // Writes the strings over row id if its version is version, and raises the version by one;
    // false (nothing written) when there is no row id at that version.
    bool update(std::int64_t id, std::int64_t version, const Texts& strings);
    // Makes row id's memo text memo (nullopt or empty: none), and, the first time in a
    // transaction, raises both files' count of changes written to both
    // (schema::commitCountsSql).
    void writeMemo(std::int64_t id, std::optional<std::string_view> memo);

  private:
    // Binds the strings and their keys from parameter 1 on: the three texts, then the keys.
    void bindRow(sqlite::Statement& statement, const Texts& strings);

    sqlite3* db_;
    CzechCollator collator_;
    std::array<std::string, schema::keyedColumnCount> keys_;  // bound until the step ends
    sqlite::Statement insertRow_;
    sqlite::Statement updateRow_;
    sqlite::Statement storeMemo_;
    sqlite::Statement removeMemo_;
    sqlite::Statement raiseRowsCount_;
    sqlite::Statement raiseMemoCount_;
    // Whether the transaction under way raised the count already; the hooks clear it at its end.
    bool countRaised_ = false;
    static int transactionEnds(void* self);
    static void transactionRolledBack(void* self);
};

}  // namespace quorvel
