// The yardstick: the same catalogue files read through SQLite's C API the plain way, on a
// connection of its own (qv.db with qv.mb attached as mb, like must be case-sensitive as ours
// is), with the natural SQL for each case. Every column of every row stepped is read, as our
// cursor reads them.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::bench {

struct ReferenceResult {
    std::int64_t rows = 0;
    // Of the first 20 rows: the id, and the text of keyColumn (empty for NULL).
    std::vector<std::int64_t> firstIds;
    std::vector<std::string> firstKeys;
};

class SqliteReference {
  public:
    // Throws std::runtime_error with SQLite's message.
    explicit SqliteReference(const std::filesystem::path& directory);
    ~SqliteReference();
    SqliteReference(const SqliteReference&) = delete;
    SqliteReference& operator=(const SqliteReference&) = delete;

    // Prepares sql, binds parameter (if any) to ?1 and steps to the end.
    ReferenceResult run(const std::string& sql, const std::optional<std::string>& parameter = {},
                        int keyColumn = 0);
    std::int64_t count(const std::string& sql);

  private:
    [[noreturn]] void fail(const std::string& what) const;

    sqlite3* db_ = nullptr;
};

}  // namespace quorvel::bench
