// The database engine as the record set meets it: a session that is initialised when the first
// record set opens and ended when the engine goes, and the one database connection, opened on
// first use in the directory the engine was given (the working directory by default).
#pragma once

#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>

#include "EngineCodes.h"

namespace quorvel {

class Database;

// The library behind the engine: how it is started and stopped. initialize gives an engine
// code: 0, or alreadyInitialized, is success.
struct EngineLibrary {
    std::function<EngineCode()> initialize;
    std::function<void()> shutdown;
};

// SQLite, linked into the program: fails with libraryTooOld below the version we rely on.
EngineLibrary sqliteLibrary();

class Engine {
  public:
    // vfs: the SQLite file layer the files are opened with, empty for the engine's own.
    explicit Engine(std::filesystem::path directory = {}, EngineLibrary library = sqliteLibrary(),
                    std::string vfs = {});
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Initialises the session and opens the connection if that hasn't happened yet. Throws
    // EDBEngineError; before the session is active its message is the initialisation message.
    // An opening started by startOpening is waited for here, and its failure thrown here.
    Database& database();

    // Starts opening the connection on a thread of its own, so that the files are read while
    // the caller does other work, and reads ahead the first rowsAhead rows in stored order (see
    // Database::readAhead); database() takes the result. Does nothing once the connection is
    // open or opening, or when the session can't be initialised (database() then throws as
    // usual).
    void startOpening(int rowsAhead = 0);
    bool sessionActive() const { return sessionActive_; }

  private:
    EngineCode initializeSession();  // sessionActive_ says whether it succeeded
    std::filesystem::path resolvedDirectory() const;

    std::filesystem::path directory_;
    EngineLibrary library_;
    std::string vfs_;
    bool sessionActive_ = false;
    std::unique_ptr<Database> database_;
    std::future<std::unique_ptr<Database>> opening_;  // declared last: waited for first
};

}  // namespace quorvel
