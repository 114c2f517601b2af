#include "check/KeyCheck.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "engine/SortKey.h"
#include "sqlite/SqliteStatement.h"
#include "text/CzechCollator.h"

namespace quorvel::check {

namespace {

// "SELECT id, vytisk, cislo, vytisk_key, cislo_key FROM main.qv NOT INDEXED"
std::string rowsSql() {
    std::string sql = "SELECT id";
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        sql += std::string(", ") + schema::columns[c].sqlName;
    }
    for (const char* key : schema::sortKeyColumns) {
        sql += std::string(", ") + key;
    }
    return sql + " FROM main.qv NOT INDEXED";
}

std::string rows(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " row" : " rows");
}

}  // namespace

std::vector<CheckFinding> checkSortKeys(sqlite3* db, std::uint64_t units, std::uint64_t base,
                                        const CheckProgress& progress) {
    const std::string file = schema::rowsFileName;
    std::int64_t lastId = 0;
    {
        sqlite::Statement last(db, "SELECT max(id) FROM main.qv");
        lastId = last.step() ? last.integer(0) : 0;
    }
    CzechCollator collator;
    std::array<std::uint64_t, schema::keyedColumnCount> keyless{};
    std::array<std::uint64_t, schema::keyedColumnCount> wrong{};
    std::vector<CheckFinding> findings;
    std::uint64_t read = 0;
    sqlite::Statement walk(db, rowsSql());
    try {
        while (walk.step()) {
            for (int c = 0; c < schema::keyedColumnCount; ++c) {
                const std::optional<std::string_view> field = walk.textView(1 + c);
                const std::string stored = walk.blob(1 + schema::keyedColumnCount + c);
                const std::string_view key = schema::sortKeyOf(collator, field);
                if (stored == key) {
                    continue;
                }
                ++(stored.empty() ? keyless : wrong)[c];
            }
            if (++read % 4096 == 0 && progress && lastId > 0) {
                const auto id =
                    static_cast<std::uint64_t>(std::max<std::int64_t>(walk.integer(0), 0));
                progress(base + std::min(units, units * id / static_cast<std::uint64_t>(lastId)));
            }
        }
    } catch (const EDBEngineError& failure) {
        findings.push_back({file, 1,
                            file +
                                ": the table's rows can't all be read, so their sort keys "
                                "were checked only in the " +
                                rows(read) + " read before: " + failure.entries().front().text +
                                "."});
    }
    for (int c = 0; c < schema::keyedColumnCount; ++c) {
        const std::string field = schema::columns[c].fieldName;
        if (keyless[c] > 0) {
            findings.push_back({file, keyless[c],
                                file + ": " + rows(keyless[c]) + " with a " + field +
                                    " but no sort key for it, as another program writes them; "
                                    "they sort among the empty fields."});
        }
        if (wrong[c] > 0) {
            findings.push_back({file, wrong[c],
                                file + ": " + rows(wrong[c]) + " whose sort key for " + field +
                                    " is not the key of its text; they sort in the wrong "
                                    "place."});
        }
    }
    if (progress) {
        progress(base + units);
    }
    return findings;
}

}  // namespace quorvel::check
