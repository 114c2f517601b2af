// The table qv as two SQLite files: qv.db holds the rows (the three string fields, a hidden row
// id, a version counter and the Czech sort keys of Vytisk and Cislo), qv.mb holds each row's
// memo text under the same id. Both carry an application id, a format version and a pairing
// token, so that a foreign, newer or mismatched file is recognised before anything is read or
// written.
//
// Format 1 had no sort keys; its indexes sorted coalesce(field, '') bytewise. Format 2 keeps
// each sort key as a plain blob column beside its field (written with the row by RowInsert)
// with a plain index on it, so the files need nothing of ours to be read or checked.
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
inline constexpr int formatVersion = 2;
// The format before the sort keys, which an opening brings up to formatVersion.
inline constexpr int unkeyedFormatVersion = 1;

// Columns that keep a sort key; the key column of column c is sortKeyColumns[c].
inline constexpr int keyedColumnCount = 2;
inline constexpr std::array<const char*, keyedColumnCount> sortKeyColumns{
    {"vytisk_key", "cislo_key"}};

// Statements that read nothing and prepare only when a file's table has the columns the
// program reads: the rows of either format, the sort keys of the current one, the memo texts.
inline constexpr const char* rowColumnsProbe =
    "SELECT id, version, vytisk, cislo, nejzajimavejsi_casti FROM main.qv LIMIT 0";
inline constexpr const char* keyColumnsProbe = "SELECT vytisk_key, cislo_key FROM main.qv LIMIT 0";
inline constexpr const char* memoColumnsProbe = "SELECT id, obsah FROM mb.memo LIMIT 0";

// Each file's row of qv_pair holds the pair's token and, as its rowid, the count of the changes
// written to both files at once: a transaction's first write of a memo text raises it in both
// (RowInsert), so the two files of one moment hold the same count and a
// file put back from another moment holds another. A catalogue made before the count was kept
// has 1 in both, as a new one has.
inline constexpr const char* commitCountsSql =
    "SELECT (SELECT max(rowid) FROM main.qv_pair), (SELECT max(rowid) FROM mb.qv_pair)";
inline constexpr const char* raiseRowsCommitCountSql = "UPDATE main.qv_pair SET rowid = rowid + 1";
inline constexpr const char* raiseMemoCommitCountSql = "UPDATE mb.qv_pair SET rowid = rowid + 1";

// The column of the table called name, compared without regard to case; nullopt if none.
std::optional<int> findColumn(std::string_view name);

// The expression an order by column sorts on, in Czech order with ties left to the id: the
// key column of a keyed column (its index, qv_by_<column>, lets a sorted result be walked
// without sorting), else the key made on the fly by the connection's czech_key function
// (CzechCollator::installOn). Either is a blob that sorts bytewise.
std::string sortExpression(int column);
// The same for a file of the unkeyed format, which only czech_key can sort.
std::string unkeyedSortExpression(int column);
std::string sortIndexName(int column);
// The statements that give qv.db its sort key columns' indexes.
std::string createSortIndexSql(int column);

// Creates an empty table in directory (which must exist). Refuses, touching nothing, when
// either file exists already. Throws EDBEngineError.
void createTable(const std::filesystem::path& directory);

// Whether title is one the program's Save refuses as missing: empty, or exactly one space. Not a
// rule of the table (a row without a title can be stored); Save and the import keep it.
inline bool titleMissing(std::string_view title) {
    return title.empty() || title == " ";
}

}  // namespace schema
}  // namespace quorvel
