#include "query/RowNumbering.h"

#include <sqlite3.h>

#include <algorithm>
#include <cassert>
#include <unordered_set>

#include "engine/Database.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel {

using sqlite::ResetGuard;

RowNumbering::RowNumbering(std::vector<std::int64_t> ids, bool ascending,
                           std::optional<unsigned> seenVersion)
    : ids_(std::move(ids)), ascending_(ascending), seenVersion_(seenVersion) {}

std::optional<unsigned> RowNumbering::dataVersion(const Database& database) {
    unsigned version = 0;
    if (sqlite3_file_control(database.handle(), "main", SQLITE_FCNTL_DATA_VERSION, &version) !=
        SQLITE_OK) {
        return std::nullopt;
    }
    return version;
}

std::optional<std::int64_t> RowNumbering::positionOf(const RowData& row) const {
    const std::int64_t guess = row.recNo - 1;
    if (guess >= 0 && guess < rowCount() && ids_[static_cast<std::size_t>(guess)] == row.id) {
        return guess;
    }
    const auto found = ascending_ ? std::lower_bound(ids_.begin(), ids_.end(), row.id)
                                  : std::find(ids_.begin(), ids_.end(), row.id);
    if (found != ids_.end() && *found == row.id) {
        return found - ids_.begin();
    }
    return std::nullopt;
}

std::int64_t RowNumbering::gapOf(const RowData& row) {
    return std::max<std::int64_t>(row.recNo - 1, 0);
}

std::vector<RowData> RowNumbering::read(Direction direction, std::int64_t from, std::size_t count,
                                        const RowReader& readById) {
    const bool forward = direction == Direction::Forward;
    std::vector<RowData> rows;  // nearest first, turned round at the end when backward
    std::int64_t position =
        forward ? std::max<std::int64_t>(from, 0) : std::min<std::int64_t>(from, rowCount()) - 1;
    while (rows.size() < count && position >= 0 && position < rowCount()) {
        if (std::optional<RowData> row = readById(ids_[static_cast<std::size_t>(position)])) {
            row->recNo = position + 1;
            rows.push_back(std::move(*row));
            position += forward ? 1 : -1;
            continue;
        }
        erase(position);
        if (!forward) {
            for (RowData& later : rows) {
                --later.recNo;
            }
            --position;
        }
    }
    if (!forward) {
        std::reverse(rows.begin(), rows.end());
    }
    return rows;
}

void RowNumbering::refresh(Database& database) {
    // SQLite learns of other connections' commits when a read first looks at the file.
    {
        sqlite::Statement& probe = database.statement("SELECT id FROM main.qv LIMIT 1");
        ResetGuard guard(probe);
        probe.step();
    }
    const std::optional<unsigned> version = dataVersion(database);
    if (version && version == seenVersion_) {
        return;
    }
    // Few ids are looked up one by one; many against one pass over the table's ids.
    constexpr std::size_t lookUpOneByOne = 4096;
    std::vector<std::int64_t> present;
    if (ids_.size() <= lookUpOneByOne) {
        sqlite::Statement& exists = database.statement("SELECT 1 FROM main.qv WHERE id = ?");
        for (std::int64_t id : ids_) {
            ResetGuard guard(exists);
            exists.bind(1, id);
            if (exists.step()) {
                present.push_back(id);
            }
        }
        ids_ = std::move(present);
    } else {
        sqlite::Statement& all = database.statement("SELECT id FROM main.qv ORDER BY id");
        {
            ResetGuard guard(all);
            while (all.step()) {
                present.push_back(all.integer(0));
            }
        }
        ids_.erase(std::remove_if(ids_.begin(), ids_.end(),
                                  [&present](std::int64_t id) {
                                      return !std::binary_search(present.begin(), present.end(),
                                                                 id);
                                  }),
                   ids_.end());
    }
    seenVersion_ = version;
}

void RowNumbering::checkInvariants() const {
#ifndef NDEBUG
    // Every row stands once; a numbering in id order is sorted. Uniqueness in another order is
    // checked on small results only, where it costs less than the call.
    constexpr std::size_t checkedInFull = 10000;
    if (ascending_) {
        assert(std::adjacent_find(ids_.begin(), ids_.end(), std::greater_equal<>()) == ids_.end());
    } else if (ids_.size() <= checkedInFull) {
        assert(std::unordered_set<std::int64_t>(ids_.begin(), ids_.end()).size() == ids_.size());
    }
#endif
}

}  // namespace quorvel
