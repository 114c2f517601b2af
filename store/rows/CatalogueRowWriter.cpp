#include "rows/CatalogueRowWriter.h"

#include <sqlite3.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "engine/RowInsert.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel {

namespace {

// A connection to a catalogue's two files that no one else knows yet, set up for a fast fill,
// through the engine's own file layer, so that any directory the engine opens can be filled.
std::unique_ptr<sqlite::Connection> fillConnection(const std::filesystem::path& directory) {
    auto connection = std::make_unique<sqlite::Connection>(directory / schema::rowsFileName,
                                                           sqlite::OpenOptions{});
    connection->attach(directory / schema::memoFileName, "mb", sqlite::Access::ReadWrite);
    sqlite3* db = connection->handle();
    // A failed fill removes the files: waiting for the disk at the commit would buy nothing. The
    // journal mode stays the store's DELETE.
    sqlite::execute(db, "PRAGMA main.synchronous=OFF");
    sqlite::execute(db, "PRAGMA mb.synchronous=OFF");
    // The two sort indexes take random inserts; 64 MB of cache keeps them off the disk.
    sqlite::execute(db, "PRAGMA main.cache_size=-65536");
    return connection;
}

}  // namespace

// Declared so that they go in this order: the transaction (rolled back unless committed, while
// the row writer's hooks still listen), then a row writer and a connection of the writer's own.
struct CatalogueRowWriter::State {
    std::unique_ptr<sqlite::Connection> connection;
    std::unique_ptr<RowInsert> ownInsert;
    RowInsert* insert = nullptr;
    // Gone once the writer is spent: committed, or rolled back after a failure.
    std::optional<sqlite::Transaction> transaction;
};

CatalogueRowWriter::CatalogueRowWriter(std::unique_ptr<State> state) : state_(std::move(state)) {}

CatalogueRowWriter::CatalogueRowWriter(Database& database) : state_(std::make_unique<State>()) {
    // Before the transaction, so that a catalogue that can only be read is refused by name.
    database.requireWritable();
    state_->transaction.emplace(database.handle(), sqlite::Transaction::Kind::Write);
    state_->insert = &database.rowInsert();
}

CatalogueRowWriter CatalogueRowWriter::forNewCatalogue(const std::filesystem::path& directory) {
    auto state = std::make_unique<State>();
    state->connection = fillConnection(directory);
    sqlite3* db = state->connection->handle();
    state->ownInsert = std::make_unique<RowInsert>(db);
    state->insert = state->ownInsert.get();
    state->transaction.emplace(db, sqlite::Transaction::Kind::Write);
    return CatalogueRowWriter(std::move(state));
}

CatalogueRowWriter::~CatalogueRowWriter() = default;

CatalogueRowWriter::CatalogueRowWriter(CatalogueRowWriter&&) noexcept = default;

std::int64_t CatalogueRowWriter::add(const IssueFields& fields) {
    if (!state_->transaction) {
        throw std::logic_error("CatalogueRowWriter: add after a failure or the commit");
    }
    try {
        return state_->insert->insert({fields[0], fields[1], fields[2]},
                                      fields[schema::memoColumn]);
    } catch (...) {
        // A failed insert may have written part of the row: only the rollback undoes it.
        state_->transaction.reset();
        throw;
    }
}

void CatalogueRowWriter::commit() {
    if (!state_->transaction) {
        throw std::logic_error("CatalogueRowWriter: commit after a failure or the commit");
    }
    try {
        state_->transaction->commit();
    } catch (...) {
        state_->transaction.reset();
        throw;
    }
    state_->transaction.reset();
}

}  // namespace quorvel
