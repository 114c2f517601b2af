// The table's issues read one after another, as the program reads them: through the engine with
// the main window's statement ("select * from qv" and its order clause), so they come in the
// order the program shows, and in stored order without a sort. The reader holds one read
// transaction for its life, so what it hands out is one state of the table: no row twice or
// missing because a running copy of the program changed it half-way. That copy's Save waits
// meanwhile, and after the engine's busy timeout fails with the edit kept.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "query/RowData.h"
#include "recordset/StatementComposer.h"
#include "rows/IssueFields.h"

namespace quorvel {

class Cursor;
class Database;
namespace sqlite {
class Transaction;
}

class CatalogueRowReader {
  public:
    // Opens the result in order on database's connection. Throws EDBEngineError.
    CatalogueRowReader(Database& database, SortOrder order);
    ~CatalogueRowReader();
    CatalogueRowReader(const CatalogueRowReader&) = delete;
    CatalogueRowReader& operator=(const CatalogueRowReader&) = delete;

    // The rows of the table, as of the opening.
    std::uint64_t rowCount() const { return rowCount_; }
    // Reads the next issue into fields, whose texts stay valid until the next call; false at the
    // end. Throws EDBEngineError.
    bool next(IssueFields& fields);

  private:
    // Declared before the cursor, so that it ends after the cursor's last read.
    std::unique_ptr<sqlite::Transaction> snapshot_;
    std::unique_ptr<Cursor> cursor_;
    std::uint64_t rowCount_ = 0;
    std::vector<RowData> page_;
    std::size_t nextInPage_ = 0;
    bool ended_ = false;
    std::optional<std::string> memo_;
};

}  // namespace quorvel
