#include "repair/UserObjects.h"

#include <memory>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel::repair {

namespace {

std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        text += c == '"' ? "\"\"" : std::string(1, c);
    }
    return text + "\"";
}

struct Object {
    std::string type;
    std::string name;
    std::string sql;
};

// The user's objects in schemaName, tables first, then indexes, views and triggers; false when
// the schema can't be read to its end.
bool userObjects(sqlite3* old, const std::string& schemaName, std::vector<Object>& objects) {
    const std::string sql = "SELECT type, name, sql FROM " + schemaName +
                            ".sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' "
                            "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 "
                            "WHEN 'view' THEN 2 ELSE 3 END, rowid";
    sqlite::TolerantStatement statement(old, sql);
    sqlite::TolerantStatement::Step step = sqlite::TolerantStatement::Step::Row;
    while ((step = statement.step()) == sqlite::TolerantStatement::Step::Row) {
        const auto text = [&statement](int column) {
            const char* value = statement.text(column);
            return std::string(value != nullptr ? value : "");
        };
        if (!isProgramObject(schemaName, text(1))) {
            objects.push_back({text(0), text(1), text(2)});
        }
    }
    return step == sqlite::TolerantStatement::Step::Done;
}

// Copies the rows of the old table into the new one of the same name; gives the rows copied,
// and whether all could be read.
bool copyRows(sqlite3* old, const std::string& schemaName, sqlite3* fresh, const std::string& name,
              std::uint64_t& rows) {
    sqlite::TolerantStatement read(old, "SELECT * FROM " + schemaName + "." + quoted(name));
    if (!read.prepared()) {
        return false;
    }
    const int columns = read.columnCount();
    std::string values;
    for (int c = 0; c < columns; ++c) {
        values += c == 0 ? "?" : ", ?";
    }
    sqlite::Statement write(fresh, "INSERT INTO " + quoted(name) + " VALUES(" + values + ")");
    sqlite::TolerantStatement::Step step = sqlite::TolerantStatement::Step::Row;
    while ((step = read.step()) == sqlite::TolerantStatement::Step::Row) {
        for (int c = 0; c < columns; ++c) {
            write.bindValue(c + 1, read.value(c));
        }
        write.step();
        write.reset();
        ++rows;
    }
    return step == sqlite::TolerantStatement::Step::Done;
}

}  // namespace

bool isProgramObject(const std::string& schemaName, const std::string& name) {
    if (name == "qv_pair") {
        return true;
    }
    if (schemaName == "mb") {
        return name == "memo";
    }
    return name == schema::tableName || name == schema::sortIndexName(0) ||
           name == schema::sortIndexName(1);
}

void carryUserObjects(sqlite3* old, bool memoReadable, const std::filesystem::path& fresh,
                      UserObjectsCarried& carried) {
    for (const auto& [schemaName, file] :
         {std::pair{"main", schema::rowsFileName}, std::pair{"mb", schema::memoFileName}}) {
        if (std::string(schemaName) == "mb" && !memoReadable) {
            continue;
        }
        const std::string prefix = std::string(file) + ": ";
        std::vector<Object> objects;
        if (!userObjects(old, schemaName, objects)) {
            carried.dropped.push_back(prefix +
                                      "its list of tables can't be read to the end; any table, "
                                      "view, index or trigger of the user's past the damage");
        }
        if (objects.empty()) {
            continue;
        }
        sqlite::Connection connection(fresh / file, {});
        sqlite3* db = connection.handle();
        sqlite::execute(db, "PRAGMA journal_mode=DELETE");
        sqlite::execute(db, "PRAGMA synchronous=FULL");
        sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Write);
        for (const Object& object : objects) {
            const std::string what = prefix + object.type + " " + object.name;
            if (object.type == "trigger") {
                carried.dropped.push_back(what + " (the program allows no trigger)");
                continue;
            }
            if (sqlite3_exec(db, object.sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                carried.dropped.push_back(what + " (it can't be made again: " + sqlite3_errmsg(db) +
                                          ")");
                continue;
            }
            if (object.type != "table") {
                carried.kept.push_back(what);
                continue;
            }
            std::uint64_t rows = 0;
            const bool whole = copyRows(old, schemaName, db, object.name, rows);
            (whole ? carried.kept : carried.dropped)
                .push_back(what + " (" + std::to_string(rows) + (rows == 1 ? " row" : " rows") +
                           (whole ? ")" : " kept; the rest couldn't be read)"));
        }
        transaction.commit();
    }
}

}  // namespace quorvel::repair
