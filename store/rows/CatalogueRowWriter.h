// Issues added to a catalogue all or nothing: every row in one write transaction, written by the
// engine's own row writer, so it obeys the rules of every row the program writes (the field
// sizes, an empty text stored as no value) and gets its Czech sort keys. Nothing is added unless
// commit is reached: a writer let go before, or after a refused row, rolls everything back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "rows/IssueFields.h"

namespace quorvel {

class Database;

class CatalogueRowWriter {
  public:
    // Writes on database's connection, beginning its write transaction now (or joining one under
    // way). Throws EDBEngineError: readOnlyFile when the catalogue can only be read, a lock
    // another copy holds past the busy wait.
    explicit CatalogueRowWriter(Database& database);
    // Fills a catalogue this run has just created empty and removes again if the fill fails, on
    // a connection of its own: no other copy can know the files yet, so commits don't wait for
    // the disk. Throws EDBEngineError when the files can't be opened.
    static CatalogueRowWriter forNewCatalogue(const std::filesystem::path& directory);
    ~CatalogueRowWriter();
    CatalogueRowWriter(CatalogueRowWriter&&) noexcept;
    CatalogueRowWriter& operator=(CatalogueRowWriter&&) = delete;
    CatalogueRowWriter(const CatalogueRowWriter&) = delete;
    CatalogueRowWriter& operator=(const CatalogueRowWriter&) = delete;

    // Adds an issue and returns its new row id. Throws EDBEngineError (valueTooLarge naming the
    // field for a text longer than its field); the writer is spent then, and nothing it added
    // stays.
    std::int64_t add(const IssueFields& fields);
    // Makes every issue added so far part of the catalogue; the writer adds nothing after.
    // Throws EDBEngineError, having added nothing.
    void commit();

  private:
    struct State;
    explicit CatalogueRowWriter(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace quorvel
