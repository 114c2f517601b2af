#include "CatalogueReading.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"

namespace quorvel::testing {

namespace {

class Connection {
  public:
    explicit Connection(const std::filesystem::path& directory) {
        if (sqlite3_open_v2((directory / "qv.db").c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) !=
            SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        const std::string attach = "ATTACH '" + (directory / "qv.mb").string() + "' AS mb";
        if (sqlite3_exec(db_, attach.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    ~Connection() { sqlite3_close(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The first column of the first row.
    template <typename Read>
    auto single(const std::string& sql, Read read) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK ||
            sqlite3_step(stmt) != SQLITE_ROW) {
            sqlite3_finalize(stmt);
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + ": " + sql);
        }
        auto value = read(stmt);
        sqlite3_finalize(stmt);
        return value;
    }

  private:
    sqlite3* db_ = nullptr;
};

std::string statementText(const std::string& filter) {
    return joinStatementLines(statementLines({"select * from qv", filter, ""}));
}

}  // namespace

std::vector<tools::CatalogueIssue> readCatalogue(const std::filesystem::path& directory) {
    Engine engine(directory);
    const std::unique_ptr<Cursor> cursor =
        Cursor::open(engine.database(), statementText(""), false);
    std::vector<tools::CatalogueIssue> issues;
    std::vector<RowData> rows = cursor->readFirst(100);
    while (!rows.empty()) {
        for (const RowData& row : rows) {
            tools::CatalogueIssue issue;
            issue.title = row.strings[0].value_or("");
            issue.number = row.strings[1].value_or("");
            issue.parts = row.strings[2].value_or("");
            if (row.memoHasValue()) {
                issue.contents = cursor->readMemo(row.id).value_or("");
            }
            issues.push_back(std::move(issue));
        }
        rows = cursor->readAfter(rows.back(), 100);
    }
    return issues;
}

std::int64_t countSearch(const std::filesystem::path& directory, int column,
                         const std::string& text) {
    static constexpr SearchField fields[] = {SearchField::Title, SearchField::IssueNumber,
                                             SearchField::InterestingParts, SearchField::Contents};
    Engine engine(directory);
    const std::unique_ptr<Cursor> cursor =
        Cursor::open(engine.database(), statementText(searchClause(fields[column], text)), false);
    // A search is counted in the background; its count is what is asked for here.
    if (!cursor->numbersRows()) {
        cursor->waitForCount(std::chrono::minutes(2));
        cursor->takeCount();
    }
    if (!cursor->numbersRows()) {
        throw std::runtime_error("the search was not counted");
    }
    return cursor->rowCount();
}

std::int64_t sqliteInteger(const std::filesystem::path& directory, const std::string& sql) {
    Connection connection(directory);
    return connection.single(sql, [](sqlite3_stmt* stmt) { return sqlite3_column_int64(stmt, 0); });
}

std::string sqliteText(const std::filesystem::path& directory, const std::string& sql) {
    Connection connection(directory);
    return connection.single(sql, [](sqlite3_stmt* stmt) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        return std::string(text != nullptr ? text : "");
    });
}

std::vector<std::string> directoryListing(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::size_t characters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

bool hasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace quorvel::testing
