#include "engine/Engine.h"

#include <sqlite3.h>

#include "EDBEngineError.h"
#include "engine/Database.h"

namespace quorvel {

namespace {

// The oldest SQLite we rely on: 3.35, Debian 11's, with the row values and expression indexes
// the engine uses.
constexpr int leastSqliteVersion = 3035000;

}  // namespace

EngineLibrary sqliteLibrary() {
    return {
        [] {
            if (sqlite3_libversion_number() < leastSqliteVersion) {
                return engine_code::libraryTooOld;
            }
            return sqlite3_initialize() == SQLITE_OK ? engine_code::ok
                                                     : engine_code::libraryNotFound;
        },
        // SQLite stays loaded with the program; other connections of this process (a second
        // engine in the tests) may still be open, so nothing is shut down here.
        [] {},
    };
}

Engine::Engine(std::filesystem::path directory, EngineLibrary library, std::string vfs)
    : directory_(std::move(directory)), library_(std::move(library)), vfs_(std::move(vfs)) {}

Engine::~Engine() {
    database_.reset();
    if (sessionActive_ && library_.shutdown) {
        library_.shutdown();
    }
}

Database& Engine::database() {
    if (!sessionActive_) {
        const EngineCode code =
            library_.initialize ? library_.initialize() : engine_code::libraryNotFound;
        if (code != engine_code::ok && code != engine_code::alreadyInitialized) {
            throw EDBEngineError(code, {}, false);
        }
        sessionActive_ = true;
    }
    if (!database_) {
        database_ = std::make_unique<Database>(
            directory_.empty() ? std::filesystem::current_path() : directory_, vfs_);
    }
    return *database_;
}

}  // namespace quorvel
