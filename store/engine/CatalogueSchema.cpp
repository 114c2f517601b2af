#include "engine/CatalogueSchema.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <vector>

#include "EDBEngineError.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"
#include "text/Utf8.h"

namespace quorvel::schema {

std::optional<int> findColumn(std::string_view name) {
    for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
        if (utf8::equalsIgnoringCase(name, columns[c].fieldName)) {
            return c;
        }
    }
    return std::nullopt;
}

std::string unkeyedSortExpression(int column) {
    if (column == memoColumn) {
        return "czech_key(memo.obsah)";
    }
    return std::string("czech_key(qv.") + columns[column].sqlName + ")";
}

std::string sortExpression(int column) {
    if (column < keyedColumnCount) {
        return std::string("qv.") + sortKeyColumns[column];
    }
    return unkeyedSortExpression(column);
}

std::string createSortIndexSql(int column) {
    return "CREATE INDEX main." + sortIndexName(column) + " ON qv(" + sortKeyColumns[column] + ")";
}

std::string sortIndexName(int column) {
    return std::string("qv_by_") + columns[column].sqlName;
}

namespace {

std::string pairingToken() {
    std::random_device device;
    std::mt19937_64 generator(device());
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%016llx%016llx",
                  static_cast<unsigned long long>(generator()),
                  static_cast<unsigned long long>(generator()));
    return buffer;
}

void build(sqlite::Connection& connection, const std::filesystem::path& memoPath) {
    using sqlite::execute;
    connection.attach(memoPath, "mb", sqlite::Access::ReadWrite);
    sqlite3* db = connection.handle();
    execute(db, "PRAGMA main.journal_mode=DELETE");
    execute(db, "PRAGMA mb.journal_mode=DELETE");
    execute(db, "BEGIN IMMEDIATE");
    execute(db, ("PRAGMA main.application_id=" + std::to_string(rowsApplicationId)).c_str());
    execute(db, ("PRAGMA mb.application_id=" + std::to_string(memoApplicationId)).c_str());
    execute(db, ("PRAGMA main.user_version=" + std::to_string(formatVersion)).c_str());
    execute(db, ("PRAGMA mb.user_version=" + std::to_string(formatVersion)).c_str());
    // AUTOINCREMENT: an id is never reused, so a row remembered by another running copy (or a
    // memo left by a damaged write) can't be mistaken for a new one.
    execute(db,
            "CREATE TABLE main.qv ("
            " id INTEGER PRIMARY KEY AUTOINCREMENT,"
            " vytisk TEXT, cislo TEXT, nejzajimavejsi_casti TEXT,"
            " version INTEGER NOT NULL DEFAULT 1,"
            " vytisk_key BLOB NOT NULL DEFAULT x'', cislo_key BLOB NOT NULL DEFAULT x'')");
    for (int column = 0; column < keyedColumnCount; ++column) {
        execute(db, createSortIndexSql(column).c_str());
    }
    execute(db, "CREATE TABLE mb.memo (id INTEGER PRIMARY KEY, obsah TEXT NOT NULL)");
    execute(db, "CREATE TABLE main.qv_pair (token TEXT NOT NULL)");
    execute(db, "CREATE TABLE mb.qv_pair (token TEXT NOT NULL)");
    const std::string token = pairingToken();
    execute(db, ("INSERT INTO main.qv_pair VALUES('" + token + "')").c_str());
    execute(db, ("INSERT INTO mb.qv_pair VALUES('" + token + "')").c_str());
    execute(db, "COMMIT");
}

// Why a file of the new catalogue can't be made, in the engine's words, naming the file.
[[noreturn]] void failCreate(int error, const std::filesystem::path& path) {
    EngineCode code = engine_code::ioError;
    std::string why = std::strerror(error);
    if (error == EEXIST) {
        code = engine_code::fileExists;
        why.clear();
    } else if (error == EACCES || error == EPERM) {
        code = engine_code::accessDenied;
        why = "No permission to create the file.";
    } else if (error == EROFS) {
        code = engine_code::readOnlyFile;
        why = "The file system can only be read.";
    }
    std::vector<EngineErrorEntry> entries;
    if (!why.empty()) {
        entries.push_back({code, 0, why});
    }
    entries.push_back({code, 0, "File: " + path.string()});
    throw EDBEngineError(code, std::move(entries));
}

}  // namespace

void createTable(const std::filesystem::path& directory) {
    const std::filesystem::path rowsPath = directory / rowsFileName;
    const std::filesystem::path memoPath = directory / memoFileName;
    // Claim both names first with O_EXCL: an existing file is never touched, even one that
    // appears while we work. SQLite takes an empty file as an empty database.
    std::vector<std::filesystem::path> created;
    auto removeCreated = [&created] {
        for (const auto& path : created) {
            ::unlink(path.c_str());
        }
    };
    for (const auto& path : {rowsPath, memoPath}) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int error = errno;
            removeCreated();
            failCreate(error, path);
        }
        ::close(fd);
        created.push_back(path);
    }
    try {
        sqlite::Connection connection(rowsPath, {});
        build(connection, memoPath);
    } catch (...) {
        removeCreated();
        throw;
    }
}

}  // namespace quorvel::schema
