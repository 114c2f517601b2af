// The table qv as two SQLite files: qv.db holds the rows (the three string fields, a hidden row
// id and a version counter), qv.mb holds each row's memo text under the same id. Both carry an
// application id, a format version and a pairing token, so that a foreign, newer or mismatched
// file is recognised before anything is read or written.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

enum class FieldType { String, Memo };

// One column of the table as the program knows it.
struct TableColumn {
    const char* fieldName;  // the name results report ("Vytisk")
    const char* sqlName;    // the column's name in SQLite
    FieldType type;
    int size;  // characters, for strings; 0 for the memo
};

namespace schema {

inline constexpr std::array<TableColumn, 4> columns{{
    {"Vytisk", "vytisk", FieldType::String, 50},
    {"Cislo", "cislo", FieldType::String, 15},
    {"Nejzajimavejsi_casti", "nejzajimavejsi_casti", FieldType::String, 150},
    {"Obsah_vytisku", "obsah", FieldType::Memo, 0},
}};
inline constexpr int stringColumnCount = 3;
inline constexpr int memoColumn = 3;

inline constexpr const char* rowsFileName = "qv.db";
inline constexpr const char* memoFileName = "qv.mb";
inline constexpr const char* tableName = "qv";

inline constexpr std::int32_t rowsApplicationId = 0x51565442;  // "QVTB"
inline constexpr std::int32_t memoApplicationId = 0x5156424D;  // "QVBM"
inline constexpr int formatVersion = 1;

// The column of the table called name, compared without regard to case; nullopt if none.
std::optional<int> findColumn(std::string_view name);

// The expression an order by a string column sorts on; an index on exactly this expression
// (qv_by_<column>) lets a sorted result be walked without sorting.
std::string sortExpression(int column);
std::string sortIndexName(int column);

// Creates an empty table in directory (which must exist). Refuses, touching nothing, when
// either file exists already. Throws EDBEngineError.
void createTable(const std::filesystem::path& directory);

}  // namespace schema
}  // namespace quorvel
