// The numbering of a result's rows: the ids of its rows in result order, taken when the result
// was made (or counted) and kept right since. A row another connection deletes leaves the
// numbering at the next read that looks (refresh), so the numbers handed out are always places
// in the result as it stands.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "query/Direction.h"
#include "query/RowData.h"

namespace quorvel {

class Database;

class RowNumbering {
  public:
    // Reads a row by its id; nullopt when it is no longer in the table.
    using RowReader = std::function<std::optional<RowData>(std::int64_t id)>;

    // ids: the result's rows in order; ascending when that is id order too. seenVersion: the
    // data version of qv.db that ids agree with (dataVersion).
    RowNumbering(std::vector<std::int64_t> ids, bool ascending,
                 std::optional<unsigned> seenVersion);

    // qv.db's data version as database's connection sees it; nullopt when SQLite can't tell.
    static std::optional<unsigned> dataVersion(const Database& database);

    std::int64_t rowCount() const { return static_cast<std::int64_t>(ids_.size()); }
    // The place (0-based) of row, tried first at the number it was read with.
    std::optional<std::int64_t> positionOf(const RowData& row) const;
    // Where a row no longer in the result stood: the row after it now has that position.
    static std::int64_t gapOf(const RowData& row);

    // Inside a read transaction. Forward: count rows from position from onwards; Backward: the
    // count rows before position from. A row deleted meanwhile leaves the numbering, so pages
    // stay full and numbers stay right. The rows come numbered, in result order.
    std::vector<RowData> read(Direction direction, std::int64_t from, std::size_t count,
                              const RowReader& readById);
    // Inside a transaction: drops the rows that another connection deleted since the numbering
    // last looked.
    void refresh(Database& database);
    // After this connection's own commit: the table is as the numbering says.
    void committed(const Database& database) { seenVersion_ = dataVersion(database); }
    // A row this connection added, at the end of the result.
    void append(std::int64_t id) { ids_.push_back(id); }
    void erase(std::int64_t position) { ids_.erase(ids_.begin() + position); }

    void checkInvariants() const;

  private:
    std::vector<std::int64_t> ids_;
    bool ascending_ = true;
    std::optional<unsigned> seenVersion_;  // none: unknown, so the next read checks
};

}  // namespace quorvel
