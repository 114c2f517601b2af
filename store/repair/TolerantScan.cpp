#include "repair/TolerantScan.h"

#include <algorithm>
#include <limits>

#include "sqlite/SqliteStatement.h"

namespace quorvel::repair {

namespace {

constexpr std::int64_t lastId = std::numeric_limits<std::int64_t>::max();

sqlite3_stmt* prepare(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(statement);
        sqlite::raise(db, rc);
    }
    return statement;
}

// from + leap, held at the last id rather than past it.
std::int64_t leapFrom(std::int64_t from, std::uint64_t leap) {
    // In unsigned arithmetic, where the difference of any two ids fits.
    const std::uint64_t room =
        static_cast<std::uint64_t>(lastId) - static_cast<std::uint64_t>(from);
    return leap >= room ? lastId
                        : static_cast<std::int64_t>(static_cast<std::uint64_t>(from) + leap);
}

}  // namespace

TolerantScan::TolerantScan(sqlite3* db, const std::string& table, const std::string& columns,
                           const std::string& essentials) {
    try {
        scan_ =
            prepare(db, "SELECT id, " + columns + " FROM " + table + " WHERE id >= ?1 ORDER BY id");
        enter_ = prepare(db, "SELECT id FROM " + table + " WHERE id >= ?1 ORDER BY id LIMIT 1");
        one_ = prepare(db, "SELECT id, " + columns + " FROM " + table + " WHERE id = ?1");
        if (!essentials.empty()) {
            essentials_ =
                prepare(db, "SELECT id, " + essentials + " FROM " + table + " WHERE id = ?1");
        }
    } catch (...) {
        sqlite3_finalize(scan_);
        sqlite3_finalize(enter_);
        sqlite3_finalize(one_);
        throw;
    }
}

TolerantScan::~TolerantScan() {
    sqlite3_finalize(scan_);
    sqlite3_finalize(enter_);
    sqlite3_finalize(one_);
    sqlite3_finalize(essentials_);
}

std::uint64_t TolerantScan::readAll(const RowReader& read) {
    std::uint64_t stretches = 0;
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        sqlite3_bind_int64(scan_, 1, from);
        int rc = SQLITE_ROW;
        while ((rc = sqlite3_step(scan_)) == SQLITE_ROW) {
            const std::int64_t id = sqlite3_column_int64(scan_, 0);
            if (id < from) {
                // The b-tree's keys out of order: the row before may have been another's under
                // a damaged id, so it is read again as a search for its id finds it.
                if (from != std::numeric_limits<std::int64_t>::min()) {
                    readOne(from - 1, read);
                }
                rc = SQLITE_CORRUPT;
                break;
            }
            read(scan_);
            if (id == lastId) {
                sqlite3_reset(scan_);
                return stretches;
            }
            from = id + 1;
        }
        sqlite3_reset(scan_);
        if (rc == SQLITE_DONE) {
            return stretches;
        }
        ++stretches;
        // Entered afresh from the root, the b-tree may give the next row after all; a row
        // whose key reads but whose fields don't is passed over alone.
        const Entry here = enterAt(from);
        if (here.entered) {
            if (!here.row) {
                gaps_.push_back({from, lastId});
                return stretches;
            }
            const bool hereRead = readOne(here.id, read);
            if (!hereRead || here.id > from) {
                gaps_.push_back({from, hereRead ? here.id - 1 : here.id});
            }
            if (here.id == lastId) {
                return stretches;
            }
            from = here.id + 1;
            continue;
        }
        // The b-tree can't be entered at from: leap ahead, doubling, to an id where it can, then
        // halve the leap back to the first id where it can.
        std::int64_t failed = from;
        std::int64_t entered = from;
        constexpr std::uint64_t longest = std::numeric_limits<std::uint64_t>::max();
        for (std::uint64_t leap = 1;; leap = leap > longest / 2 ? longest : leap * 2) {
            entered = leapFrom(from, leap);
            if (enterAt(entered).entered) {
                break;
            }
            if (entered == lastId) {
                gaps_.push_back({from, lastId});
                return stretches;
            }
            failed = entered;
        }
        while (static_cast<std::uint64_t>(entered) - static_cast<std::uint64_t>(failed) > 1) {
            const std::int64_t middle = leapFrom(
                failed,
                (static_cast<std::uint64_t>(entered) - static_cast<std::uint64_t>(failed)) / 2);
            (enterAt(middle).entered ? entered : failed) = middle;
        }
        gaps_.push_back({from, entered - 1});
        from = entered;
    }
}

TolerantScan::Entry TolerantScan::enterAt(std::int64_t from) {
    sqlite3_bind_int64(enter_, 1, from);
    const int rc = sqlite3_step(enter_);
    Entry entry;
    if (rc == SQLITE_ROW && sqlite3_column_int64(enter_, 0) >= from) {
        entry = {true, true, sqlite3_column_int64(enter_, 0)};
    } else if (rc == SQLITE_DONE) {
        entry.entered = true;
    }
    sqlite3_reset(enter_);
    return entry;
}

bool TolerantScan::readOne(std::int64_t id, const RowReader& read) {
    for (sqlite3_stmt* lookup : {one_, essentials_}) {
        if (lookup == nullptr) {
            break;
        }
        sqlite3_bind_int64(lookup, 1, id);
        const bool found =
            sqlite3_step(lookup) == SQLITE_ROW && sqlite3_column_int64(lookup, 0) == id;
        if (found) {
            read(lookup);
        }
        sqlite3_reset(lookup);
        if (found) {
            return true;
        }
    }
    return false;
}

void TolerantScan::readMissing(const std::vector<std::int64_t>& have, std::int64_t last,
                               const RowReader& read) {
    auto next = std::lower_bound(have.begin(), have.end(), std::int64_t{1});
    std::int64_t lookups = 0;
    for (std::int64_t id = 1; id > 0 && id <= last && lookups < mostLookups; ++id) {
        if (next != have.end() && *next == id) {
            ++next;
            continue;
        }
        ++lookups;
        readOne(id, read);
    }
}

}  // namespace quorvel::repair
