// Rows whose every field carries the same tag, written through Query1, and the reading of a
// whole catalogue behind the engine's back: a row torn between two writes, or a memo that
// belongs to another version of its row, shows as fields whose tags differ.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "TempCatalogue.h"
#include "recordset/RecordSet.h"

namespace quorvel::testing {

inline const std::string titlePrefix = "Výtisk ";
inline const std::string partsPrefix = "části ";

// The memo of the row tagged tag: up to 100 KB of text that names the tag throughout, of a
// length chosen by the tag; every seventh tag has no memo at all.
inline std::string memoOf(const std::string& tag) {
    const std::size_t hash = std::hash<std::string>{}(tag);
    if (hash % 7 == 0) {
        return {};
    }
    const std::string unit = "Obsah " + tag + ": žluťoučký kůň úpěl ďábelské ódy.\r\n";
    const std::size_t length = hash % (100 * 1024 + 1);
    std::string memo;
    while (memo.size() + unit.size() <= length) {
        memo += unit;
    }
    return memo.empty() ? unit : memo;
}

// Writes the tagged values into the row in edit or insert.
inline void writeTagged(RecordSet& set, const std::string& tag) {
    set.FieldByName("Vytisk").SetAsString(titlePrefix + tag);
    set.FieldByName("Cislo").SetAsString(tag);
    set.FieldByName("Nejzajimavejsi_casti").SetAsString(partsPrefix + tag);
    set.FieldByName("Obsah_vytisku").SetAsString(memoOf(tag));
}

struct StoredRow {
    std::string tag;
    std::int64_t version = 0;
};

// Every row of the catalogue in dir, by id, read with a plain connection. Fails the test for a
// row whose fields or memo don't all carry its title's tag, for a memo without its row, and for
// either file failing SQLite's integrity check.
inline std::map<std::int64_t, StoredRow> readTaggedTable(const std::filesystem::path& dir) {
    PlainConnection plain(dir);
    EXPECT_EQ(plain.text("PRAGMA main.integrity_check"), "ok");
    EXPECT_EQ(plain.text("PRAGMA mb.integrity_check"), "ok");
    EXPECT_EQ(plain.integer("SELECT count(*) FROM mb.memo WHERE id NOT IN (SELECT id FROM qv)"), 0)
        << "a memo without its row";
    std::map<std::int64_t, StoredRow> table;
    for (const auto& row : plain.rows("SELECT qv.id, version, vytisk, cislo, "
                                      "nejzajimavejsi_casti, coalesce(memo.obsah, '') FROM qv "
                                      "LEFT JOIN mb.memo ON memo.id = qv.id")) {
        const std::string& title = row[2];
        const std::string tag =
            title.rfind(titlePrefix, 0) == 0 ? title.substr(titlePrefix.size()) : "<untagged>";
        EXPECT_EQ(row[3], tag) << "row " << row[0];
        EXPECT_EQ(row[4], partsPrefix + tag) << "row " << row[0];
        EXPECT_TRUE(row[5] == memoOf(tag))
            << "row " << row[0] << " tagged " << tag << " has a memo of " << row[5].size()
            << " bytes, not " << memoOf(tag).size();
        table[std::stoll(row[0])] = {tag, std::stoll(row[1])};
    }
    return table;
}

}  // namespace quorvel::testing
