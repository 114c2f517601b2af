#include "rows/CatalogueRowReader.h"

#include "engine/Database.h"
#include "query/Cursor.h"
#include "recordset/StatementText.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel {

namespace {

// Rows read from the engine at a time.
constexpr std::size_t pageRows = 1000;

std::string_view textOf(const std::optional<std::string>& value) {
    return value ? std::string_view(*value) : std::string_view();
}

}  // namespace

CatalogueRowReader::CatalogueRowReader(Database& database, SortOrder order)
    : snapshot_(std::make_unique<sqlite::Transaction>(database.handle(),
                                                      sqlite::Transaction::Kind::Read)) {
    const StatementClauses clauses{"select * from qv", "", orderClause(order)};
    cursor_ = Cursor::open(database, joinStatementLines(statementLines(clauses)), false);
    sqlite::Statement& count = database.statement("SELECT count(*) FROM main.qv");
    sqlite::ResetGuard guard(count);
    count.step();
    rowCount_ = static_cast<std::uint64_t>(count.integer(0));
}

CatalogueRowReader::~CatalogueRowReader() = default;

bool CatalogueRowReader::next(IssueFields& fields) {
    if (nextInPage_ == page_.size()) {
        if (ended_) {
            return false;
        }
        page_ = page_.empty() ? cursor_->readFirst(pageRows)
                              : cursor_->readAfter(page_.back(), pageRows);
        nextInPage_ = 0;
        if (page_.empty()) {
            ended_ = true;
            return false;
        }
    }
    const RowData& row = page_[nextInPage_++];
    memo_ = row.memoHasValue() ? cursor_->readMemo(row.id) : std::nullopt;
    for (int c = 0; c < schema::stringColumnCount; ++c) {
        fields[static_cast<std::size_t>(c)] = textOf(row.strings[c]);
    }
    fields[schema::memoColumn] = textOf(memo_);
    return true;
}

}  // namespace quorvel
