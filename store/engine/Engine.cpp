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
    if (opening_.valid()) {
        opening_.wait();  // the connection it opens is closed with it
    }
    database_.reset();
    if (sessionActive_ && library_.shutdown) {
        library_.shutdown();
    }
}

EngineCode Engine::initializeSession() {
    if (sessionActive_) {
        return engine_code::ok;
    }
    const EngineCode code =
        library_.initialize ? library_.initialize() : engine_code::libraryNotFound;
    sessionActive_ = code == engine_code::ok || code == engine_code::alreadyInitialized;
    return code;
}

std::filesystem::path Engine::resolvedDirectory() const {
    return directory_.empty() ? std::filesystem::current_path() : directory_;
}

void Engine::startOpening(int rowsAhead) {
    if (database_ || opening_.valid()) {
        return;
    }
    initializeSession();
    if (!sessionActive_) {
        return;
    }
    try {
        // The directory is read here, where database() would have read it.
        opening_ = std::async(std::launch::async,
                              [directory = resolvedDirectory(), vfs = vfs_, rowsAhead] {
                                  auto database = std::make_unique<Database>(directory, vfs);
                                  if (rowsAhead > 0) {
                                      database->readAhead(rowsAhead);
                                  }
                                  return database;
                              });
    } catch (const std::exception&) {
        // No thread to spare, or no directory to name: database() opens on first use, and
        // reports what fails there.
    }
}

Database& Engine::database() {
    const EngineCode code = initializeSession();
    if (!sessionActive_) {
        throw EDBEngineError(code, {}, false);
    }
    if (!database_ && opening_.valid()) {
        // Taken once: a failed opening is thrown now, and the next call opens afresh.
        std::future<std::unique_ptr<Database>> opening = std::move(opening_);
        database_ = opening.get();
    }
    if (!database_) {
        database_ = std::make_unique<Database>(resolvedDirectory(), vfs_);
    }
    return *database_;
}

}  // namespace quorvel
