// Shared helpers of the store's tests: a real catalogue (qv.db and qv.mb) in a temporary
// directory of its own, filled through the engine; a plain SQLite connection to the same files
// for looking behind the engine's back; snapshots of a directory's files for proving that
// nothing on disk changed.
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "query/RowData.h"

namespace quorvel::testing {

// A fresh empty directory under the system's temporary directory, removed with everything in
// it when the object goes.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-store-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The four fields of a row as a test writes them; nullopt leaves a field without a value.
struct Entry {
    std::optional<std::string> vytisk;
    std::optional<std::string> cislo;
    std::optional<std::string> casti;
    std::optional<std::string> memo;
};

// A row ready for insertRow: the memo is written whenever the entry has one.
inline RowData rowOf(const Entry& entry) {
    RowData row;
    row.strings = {entry.vytisk, entry.cislo, entry.casti};
    row.memo = entry.memo;
    row.memoChanged = entry.memo.has_value();
    row.memoLoaded = row.memoChanged;
    return row;
}

// The whole statement text as the record set hands it over: each line followed by CR LF.
inline std::string statementOf(const std::string& filter = {}, const std::string& order = {}) {
    return "select * from qv\r\n" + filter + "\r\n" + order + "\r\n";
}

// Inserts entries through a live cursor of db, all in one transaction (the cursor's own
// transactions nest in it), and returns the ids given, in order.
inline std::vector<std::int64_t> insertAll(Database& db, const std::vector<Entry>& entries) {
    std::unique_ptr<Cursor> cursor = Cursor::open(db, statementOf(), true);
    std::vector<std::int64_t> ids;
    ids.reserve(entries.size());
    if (sqlite3_exec(db.handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw std::runtime_error("BEGIN failed");
    }
    try {
        for (const Entry& entry : entries) {
            ids.push_back(cursor->insertRow(rowOf(entry)).id);
        }
    } catch (...) {
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (sqlite3_exec(db.handle(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw std::runtime_error("COMMIT failed");
    }
    return ids;
}

// A temporary directory holding an empty catalogue made by the schema's own createTable.
class TempCatalogue {
  public:
    TempCatalogue() { schema::createTable(dir_.path()); }

    const std::filesystem::path& dir() const { return dir_.path(); }
    std::filesystem::path rowsPath() const { return dir() / "qv.db"; }
    std::filesystem::path memoPath() const { return dir() / "qv.mb"; }

    // Fills the table through an engine of its own, closed again afterwards.
    std::vector<std::int64_t> fill(const std::vector<Entry>& entries) const {
        Engine engine(dir());
        return insertAll(engine.database(), entries);
    }

  private:
    TempDir dir_;
};

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every entry of a directory by name, with a file's contents ("<directory>" for a directory).
using DirSnapshot = std::map<std::string, std::string>;

inline DirSnapshot snapshot(const std::filesystem::path& dir) {
    DirSnapshot files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        files[entry.path().filename().string()] =
            entry.is_directory() ? std::string("<directory>") : readFile(entry.path());
    }
    return files;
}

inline std::vector<std::string> fileNames(const DirSnapshot& files) {
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) {
        names.push_back(name);
    }
    return names;
}

// A plain SQLite connection to SQLite files, without the engine. No busy timeout: a lock held
// by anyone else shows at once as SQLITE_BUSY.
class PlainConnection {
  public:
    // The catalogue in dir: qv.db as main, qv.mb attached as mb.
    explicit PlainConnection(const std::filesystem::path& dir)
        : PlainConnection(dir / "qv.db", dir / "qv.mb") {}
    // file as main and, when given, attached as mb. Files are opened, never created.
    PlainConnection(const std::filesystem::path& file,
                    const std::optional<std::filesystem::path>& attached) {
        const std::string uri = "file:" + file.string() + "?mode=rw";
        if (sqlite3_open_v2(uri.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr) !=
            SQLITE_OK) {
            const std::string error = sqlite3_errmsg(db_);
            sqlite3_close(db_);
            throw std::runtime_error(error + ": " + uri);
        }
        if (attached &&
            exec("ATTACH 'file:" + attached->string() + "?mode=rw' AS mb") != SQLITE_OK) {
            const std::string error = sqlite3_errmsg(db_);
            sqlite3_close(db_);
            throw std::runtime_error(error);
        }
    }
    ~PlainConnection() { sqlite3_close(db_); }
    PlainConnection(const PlainConnection&) = delete;
    PlainConnection& operator=(const PlainConnection&) = delete;

    sqlite3* handle() const { return db_; }

    // Runs statements that return no rows; the SQLite result code.
    int exec(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    }
    std::string lastError() const { return sqlite3_errmsg(db_); }

    // Every row of a query, each column as text ("<null>" for no value). Throws on failure.
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            const std::string error = sqlite3_errmsg(db_);
            sqlite3_finalize(stmt);
            throw std::runtime_error(error + " in " + sql);
        }
        std::vector<std::vector<std::string>> result;
        int rc = SQLITE_OK;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                    row.emplace_back("<null>");
                } else {
                    const auto* text = sqlite3_column_text(stmt, c);
                    row.emplace_back(reinterpret_cast<const char*>(text),
                                     static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)));
                }
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) {
            throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in " + sql);
        }
        return result;
    }
    // The first column of the first row; "<none>" without rows.
    std::string text(const std::string& sql) {
        const auto result = rows(sql);
        return result.empty() || result.front().empty() ? std::string("<none>")
                                                        : result.front().front();
    }
    long long integer(const std::string& sql) { return std::stoll(text(sql)); }

  private:
    sqlite3* db_ = nullptr;
};

// The engine failure that action raises, or nullopt when it raises none.
inline std::optional<EDBEngineError> engineErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const EDBEngineError& error) {
        return error;
    }
    return std::nullopt;
}

// The engine code that action fails with; 0 when it succeeds.
inline EngineCode codeOf(const std::function<void()>& action) {
    const std::optional<EDBEngineError> error = engineErrorOf(action);
    return error ? error->errorCode() : engine_code::ok;
}

// Every row of a cursor in result order, read forward a page at a time.
inline std::vector<RowData> walkForward(Cursor& cursor, std::size_t page) {
    std::vector<RowData> all = cursor.readFirst(page);
    while (!all.empty()) {
        std::vector<RowData> next = cursor.readAfter(all.back(), page);
        if (next.empty()) {
            break;
        }
        all.insert(all.end(), next.begin(), next.end());
    }
    return all;
}

// Every row of a cursor in result order, read backward from the end a page at a time.
inline std::vector<RowData> walkBackward(Cursor& cursor, std::size_t page) {
    std::vector<RowData> reversed;  // the rows from the last one back
    std::vector<RowData> previous = cursor.readLast(page);
    while (!previous.empty()) {
        reversed.insert(reversed.end(), previous.rbegin(), previous.rend());
        previous = cursor.readBefore(reversed.back(), page);
    }
    return std::vector<RowData>(reversed.rbegin(), reversed.rend());
}

// The row with id as the cursor reads it now; a test failure (and the bare id) if it is gone.
inline RowData rowWithId(Cursor& cursor, std::int64_t id) {
    RowData probe;
    probe.id = id;
    std::optional<RowData> row = cursor.readRow(probe);
    if (!row) {
        ADD_FAILURE() << "row " << id << " is not in the table";
        return probe;
    }
    return *row;
}

inline std::vector<std::int64_t> idsOf(const std::vector<RowData>& rows) {
    std::vector<std::int64_t> ids;
    for (const RowData& row : rows) {
        ids.push_back(row.id);
    }
    return ids;
}

// Permissions, as a user who is not the superuser sees them: the body runs in a child process
// that gives up root (as uid and gid 65534), and hands back what it found as text.
inline constexpr uid_t unprivileged = 65534;

inline std::string asOrdinaryUser(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        return "pipe failed";
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeEnds[0]);
        std::string result;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 ||
                                 ::setresgid(unprivileged, unprivileged, unprivileged) != 0 ||
                                 ::setresuid(unprivileged, unprivileged, unprivileged) != 0)) {
            result = "can't give up root";
        } else {
            try {
                result = body();
            } catch (const std::exception& error) {
                result = std::string("exception: ") + error.what();
            }
        }
        const ssize_t written = ::write(pipeEnds[1], result.data(), result.size());
        ::_exit(written == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string result;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        result.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return result;
}

// Whether the long harnesses run at their short size: unless QUORVEL_LONG is set (as
// tools/scripts/run-tests.sh --long sets it), they do.
inline bool shortRuns() {
    return std::getenv("QUORVEL_LONG") == nullptr;
}

}  // namespace quorvel::testing
