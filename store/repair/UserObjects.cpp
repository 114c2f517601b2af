#include "repair/UserObjects.h"

#include <memory>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "sqlite/LongPathVfs.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/SqliteUri.h"

namespace quorvel::repair {

namespace {

std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        text += c == '"' ? "\"\"" : std::string(1, c);
    }
    return text + "\"";
}

struct Connection {
    sqlite3* db = nullptr;
    ~Connection() { sqlite3_close(db); }
};

struct Object {
    std::string type;
    std::string name;
    std::string sql;
};

// The user's objects in schemaName, tables first, then indexes, views and triggers; false when
// the schema can't be read to its end.
bool userObjects(sqlite3* old, const std::string& schemaName, std::vector<Object>& objects) {
    sqlite3_stmt* statement = nullptr;
    const std::string sql = "SELECT type, name, sql FROM " + schemaName +
                            ".sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite_%' "
                            "ORDER BY CASE type WHEN 'table' THEN 0 WHEN 'index' THEN 1 "
                            "WHEN 'view' THEN 2 ELSE 3 END, rowid";
    int rc = sqlite3_prepare_v2(old, sql.c_str(), -1, &statement, nullptr);
    while ((rc == SQLITE_OK || rc == SQLITE_ROW) && (rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const auto text = [statement](int column) {
            const auto* value =
                reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
            return std::string(value != nullptr ? value : "");
        };
        if (!isProgramObject(schemaName, text(1))) {
            objects.push_back({text(0), text(1), text(2)});
        }
    }
    sqlite3_finalize(statement);
    return rc == SQLITE_DONE;
}

// Copies the rows of the old table into the new one of the same name; gives the rows copied,
// and whether all could be read.
bool copyRows(sqlite3* old, const std::string& schemaName, sqlite3* fresh, const std::string& name,
              std::uint64_t& rows) {
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(old, ("SELECT * FROM " + schemaName + "." + quoted(name)).c_str(), -1,
                           &read, nullptr) != SQLITE_OK) {
        sqlite3_finalize(read);
        return false;
    }
    const int columns = sqlite3_column_count(read);
    std::string values;
    for (int c = 0; c < columns; ++c) {
        values += c == 0 ? "?" : ", ?";
    }
    sqlite::Statement write(fresh, "INSERT INTO " + quoted(name) + " VALUES(" + values + ")");
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            write.bindValue(c + 1, sqlite3_column_value(read, c));
        }
        write.step();
        write.reset();
        ++rows;
    }
    sqlite3_finalize(read);
    return rc == SQLITE_DONE;
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
        Connection connection;
        const int rc =
            sqlite3_open_v2(sqlite::fileUri(fresh / file, "rw").c_str(), &connection.db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, sqlite::longPathVfs());
        if (rc != SQLITE_OK) {
            sqlite::raise(connection.db, rc);
        }
        sqlite3_extended_result_codes(connection.db, 1);
        sqlite::execute(connection.db, "PRAGMA journal_mode=DELETE");
        sqlite::execute(connection.db, "PRAGMA synchronous=FULL");
        sqlite::Transaction transaction(connection.db, sqlite::Transaction::Kind::Write);
        for (const Object& object : objects) {
            const std::string what = prefix + object.type + " " + object.name;
            if (object.type == "trigger") {
                carried.dropped.push_back(what + " (the program allows no trigger)");
                continue;
            }
            if (sqlite3_exec(connection.db, object.sql.c_str(), nullptr, nullptr, nullptr) !=
                SQLITE_OK) {
                carried.dropped.push_back(
                    what + " (it can't be made again: " + sqlite3_errmsg(connection.db) + ")");
                continue;
            }
            if (object.type != "table") {
                carried.kept.push_back(what);
                continue;
            }
            std::uint64_t rows = 0;
            const bool whole = copyRows(old, schemaName, connection.db, object.name, rows);
            (whole ? carried.kept : carried.dropped)
                .push_back(what + " (" + std::to_string(rows) + (rows == 1 ? " row" : " rows") +
                           (whole ? ")" : " kept; the rest couldn't be read)"));
        }
        transaction.commit();
    }
}

}  // namespace quorvel::repair
