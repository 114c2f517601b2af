// The walk by key: a result's rows found by their key, the row id, or the sort value and then
// the row id for a result sorted by an indexed field. Nothing is kept between two reads but the
// row read from; each read goes from it in the key's order.
//
// A search result is walked by its condition until its count is taken: its rows are those of
// the opening (ids up to the largest then) that meet the condition, and the rows this copy
// wrote since, whatever they hold now. Its statements differ with every search, so they are
// kept here and go with the walk, not with the connection.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "query/Direction.h"
#include "query/RowData.h"
#include "sqlite/SqlValue.h"

namespace quorvel {

class Database;
namespace sqlite {
class Statement;
}  // namespace sqlite

class KeyWalk {
  public:
    // sortColumn: the indexed column the result is sorted on; none for id order.
    KeyWalk(Database& database, std::optional<int> sortColumn);
    ~KeyWalk();
    KeyWalk(const KeyWalk&) = delete;
    KeyWalk& operator=(const KeyWalk&) = delete;

    bool idOrder() const { return sortColumn_ < 0; }
    int sortColumn() const { return sortColumn_; }

    // From now on the walk reads only rows with ids up to lastId that meet condition (SQL of
    // the dialect's parser, with its parameters), and the rows this copy writes.
    void filterBy(std::string condition, std::vector<SqlValue> parameters, bool joinMemo,
                  std::int64_t lastId);
    bool filtered() const { return filtered_; }
    // The result's rows are numbered from now on: the condition and what it kept go.
    void stopFiltering();
    // Rows this copy wrote and deleted while the walk is filtered.
    const std::set<std::int64_t>& ownWritten() const { return ownWritten_; }
    const std::set<std::int64_t>& ownDeleted() const { return ownDeleted_; }
    void ownWrite(std::int64_t id);
    void ownDelete(std::int64_t id);

    // Inside a read transaction. The count rows at the start (Forward) or the end (Backward)
    // of the result, in result order.
    std::vector<RowData> readEnd(Direction direction, std::size_t count);
    // The count rows after (Forward) or before (Backward) row, skipping the skip nearest, in
    // result order.
    std::vector<RowData> readBeside(Direction direction, const RowData& row, std::size_t count,
                                    std::size_t skip);
    // Row id as the table holds it, whether or not it meets the condition.
    std::optional<RowData> readById(std::int64_t id);

    void checkInvariants() const;

  private:
    std::string rowSelect() const;
    RowData rowFrom(const sqlite::Statement& statement) const;
    // Rows of the table that meet where, or, byCondition, rows of the result.
    std::vector<RowData> query(const std::string& where, const std::string& order,
                               const std::vector<SqlValue>& values, std::size_t count,
                               std::size_t skip, bool byCondition = true);
    sqlite::Statement& ownStatement(const std::string& sql);
    // Rows read in key order come strictly in that order, and after (before) the row they were
    // asked after (before). A damaged file can break that without SQLite noticing, and a walk
    // over it would then go round for ever: corruptFile.
    void requireKeyOrder(const std::vector<RowData>& rows, const RowData* after,
                         const RowData* before) const;

    Database& database_;
    int sortColumn_ = -1;
    bool filtered_ = false;
    std::string condition_;
    std::vector<SqlValue> conditionParameters_;
    bool joinMemo_ = false;
    std::int64_t lastId_ = 0;            // the largest id at the opening
    std::set<std::int64_t> ownWritten_;  // ... rows this copy wrote since
    std::set<std::int64_t> ownDeleted_;  // ... and deleted since
    std::map<std::string, std::unique_ptr<sqlite::Statement>> statements_;
};

}  // namespace quorvel
