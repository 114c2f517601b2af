#include "restore/PairInstall.h"

#include <stdio.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"
#include "repair/RepairBackup.h"
#include "restore/RestoreFailure.h"
#include "restore/RestoreLock.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::restore {

namespace {

// As long as the program waits for a lock: a qvtool backup or check reading the catalogue is
// waited for.
constexpr int busyTimeoutMs = 5000;

std::string quoted(const std::string& name) {
    std::string text = "\"";
    for (const char c : name) {
        text += c;
        if (c == '"') {
            text += '"';
        }
    }
    return text + "\"";
}

// Whether text at position starts with word, ignoring case, followed by a space.
bool takeWord(const std::string& text, std::size_t& position, const char* word) {
    const std::size_t length = std::strlen(word);
    if (text.size() < position + length + 1 || text[position + length] != ' ') {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[position + i])) != word[i]) {
            return false;
        }
    }
    position += length + 1;
    return true;
}

// A CREATE statement as sqlite_master keeps it (its schema name removed) made to create its
// object in schemaName: "CREATE INDEX x ON t(c)" becomes "CREATE INDEX main.x ON t(c)".
std::string inSchema(const std::string& sql, const char* schemaName) {
    std::size_t position = 0;
    if (!takeWord(sql, position, "CREATE")) {
        throw RestoreFailure("the backup holds a schema this qvtool can't copy: " + sql);
    }
    takeWord(sql, position, "UNIQUE");
    if (!takeWord(sql, position, "TABLE") && !takeWord(sql, position, "INDEX") &&
        !takeWord(sql, position, "VIEW") && !takeWord(sql, position, "TRIGGER")) {
        throw RestoreFailure("the backup holds a schema this qvtool can't copy: " + sql);
    }
    if (takeWord(sql, position, "IF")) {
        takeWord(sql, position, "NOT");
        takeWord(sql, position, "EXISTS");
    }
    return sql.substr(0, position) + schemaName + "." + sql.substr(position);
}

std::vector<std::string> column(sqlite3* db, const std::string& sql) {
    std::vector<std::string> values;
    sqlite::Statement statement(db, sql);
    while (statement.step()) {
        values.push_back(statement.text(0).value_or(""));
    }
    return values;
}

std::string pragmaValue(sqlite3* db, const std::string& sql) {
    sqlite::Statement statement(db, sql);
    return statement.step() ? std::to_string(statement.integer(0)) : "0";
}

// Makes the file attached as target hold what the one attached as source holds: its tables,
// their rows, its indexes, and the header's application id and format version.
void replaceContents(sqlite3* db, const char* target, const char* source) {
    const std::string own = "NOT LIKE 'sqlite\\_%' ESCAPE '\\'";
    for (const std::string& view :
         column(db, std::string("SELECT name FROM ") + target +
                        ".sqlite_master WHERE type = 'view' AND name " + own)) {
        sqlite::execute(db, ("DROP VIEW " + std::string(target) + "." + quoted(view)).c_str());
    }
    for (const std::string& table :
         column(db, std::string("SELECT name FROM ") + target +
                        ".sqlite_master WHERE type = 'table' AND name " + own)) {
        sqlite::execute(db, ("DROP TABLE " + std::string(target) + "." + quoted(table)).c_str());
    }
    const std::string tablesOf = std::string("SELECT name FROM ") + source +
                                 ".sqlite_master WHERE type = 'table' AND name " + own +
                                 " ORDER BY rowid";
    for (const std::string& table : column(db, tablesOf)) {
        sqlite::Statement create(db, std::string("SELECT sql FROM ") + source +
                                         ".sqlite_master WHERE type = 'table' AND name = ?1");
        create.bind(1, std::optional<std::string>(table));
        const std::string sql = create.step() ? create.text(0).value_or("") : "";
        create.reset();
        sqlite::execute(db, inSchema(sql, target).c_str());
        sqlite::execute(db, ("INSERT INTO " + std::string(target) + "." + quoted(table) +
                             " SELECT * FROM " + source + "." + quoted(table))
                                .c_str());
    }
    // Indexes after the rows: built once from sorted keys rather than kept up row by row.
    for (const std::string& sql :
         column(db, std::string("SELECT sql FROM ") + source +
                        ".sqlite_master WHERE type IN ('index', 'view', 'trigger') AND sql IS "
                        "NOT NULL AND name " +
                        own + " ORDER BY rowid")) {
        sqlite::execute(db, inSchema(sql, target).c_str());
    }
    // The AUTOINCREMENT counters, which SQLite keeps apart and the copy of the rows only raises
    // to the largest id: a backup's counter past it keeps the ids of rows deleted before the
    // backup from being given out again.
    const std::string sequence = ".sqlite_master WHERE name = 'sqlite_sequence'";
    if (!column(db, std::string("SELECT 1 FROM ") + source + sequence).empty() &&
        !column(db, std::string("SELECT 1 FROM ") + target + sequence).empty()) {
        sqlite::execute(db, (std::string("DELETE FROM ") + target + ".sqlite_sequence").c_str());
        sqlite::execute(db, (std::string("INSERT INTO ") + target +
                             ".sqlite_sequence SELECT * FROM " + source + ".sqlite_sequence")
                                .c_str());
    }
    for (const char* header : {"application_id", "user_version"}) {
        const std::string value = pragmaValue(db, std::string("PRAGMA ") + source + "." + header);
        sqlite::execute(db, (std::string("PRAGMA ") + target + "." + header + "=" + value).c_str());
    }
}

}  // namespace

OneCommitResult installInOneCommit(const std::filesystem::path& directory,
                                   const std::filesystem::path& staged) {
    OneCommitResult result;
    try {
        sqlite::Connection connection(directory / schema::rowsFileName,
                                      {sqlite::Access::ReadWrite, busyTimeoutMs, {}});
        sqlite3* db = connection.handle();
        connection.attach(directory / schema::memoFileName, "mb", sqlite::Access::ReadWrite);
        // The commit across both files needs a rollback journal on each and full syncs; the
        // first read rolls back a journal the old files were left with.
        sqlite::execute(db,
                        "PRAGMA main.journal_mode=DELETE; PRAGMA mb.journal_mode=DELETE; "
                        "PRAGMA main.synchronous=FULL; PRAGMA mb.synchronous=FULL");
        connection.attach(staged / schema::rowsFileName, "src", sqlite::Access::ReadOnly);
        connection.attach(staged / schema::memoFileName, "srcmb", sqlite::Access::ReadOnly);
        sqlite::execute(db, "BEGIN IMMEDIATE");
        try {
            replaceContents(db, "main", "src");
            replaceContents(db, "mb", "srcmb");
            sqlite::execute(db, "COMMIT");
        } catch (...) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        result.installed = true;
    } catch (const EDBEngineError& failure) {
        result.whyNot = failure.entries().front().text;
        result.busy = failure.errorCode() == engine_code::tableBusy;
    }
    return result;
}

void installByRenames(const std::filesystem::path& directory, const std::filesystem::path& staged,
                      RestoreLock& lock) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(directory, ignored)) {
        if (repair::isCatalogueJournal(entry.path().filename().string())) {
            std::filesystem::remove(entry.path(), ignored);
        }
    }
    // So that no copy of the program opens the new qv.db between the renames.
    lock.holdAlso(staged / schema::rowsFileName);
    for (const char* file : {schema::memoFileName, schema::rowsFileName}) {
        if (::rename((staged / file).c_str(), (directory / file).c_str()) != 0) {
            // The staged copy goes with the restore's directory; the backup itself is untouched.
            throw RestoreFailure(std::string("The backup's ") + file +
                                 " couldn't take the place of the catalogue's: " +
                                 std::strerror(errno) + ". Run the restore again.");
        }
    }
    try {
        files::syncToDisk(directory);
    } catch (const std::filesystem::filesystem_error&) {
        // The renames are made; a directory that can't be synced loses nothing the check sees.
    }
}

}  // namespace quorvel::restore
