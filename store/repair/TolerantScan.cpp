#include "repair/TolerantScan.h"

#include <algorithm>
#include <cassert>
#include <limits>
#include <optional>

#include "EDBEngineError.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::repair {

namespace {

constexpr std::int64_t lastId = std::numeric_limits<std::int64_t>::max();

// A statement of the scan must at least compile: the table and its columns are there.
void require(const sqlite::TolerantStatement& statement) {
    if (!statement.prepared()) {
        const EngineCode code = sqlite::engineCodeFor(statement.code());
        throw EDBEngineError(code, {{code, statement.code(), statement.message()}});
    }
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
                           const std::string& essentials)
    : scan_(db, "SELECT id, " + columns + " FROM " + table + " WHERE id >= ?1 ORDER BY id"),
      enter_(db, "SELECT id FROM " + table + " WHERE id >= ?1 ORDER BY id LIMIT 1"),
      one_(db, "SELECT id, " + columns + " FROM " + table + " WHERE id = ?1") {
    require(scan_);
    require(enter_);
    require(one_);
    if (!essentials.empty()) {
        essentials_ = std::make_unique<sqlite::TolerantStatement>(
            db, "SELECT id, " + essentials + " FROM " + table + " WHERE id = ?1");
        require(*essentials_);
    }
}

std::uint64_t TolerantScan::readAll(const RowReader& read) {
    // Every row goes through here: the ids handed over never go down, which is what lets the
    // reader keep the later of two rows read under one id.
    std::optional<std::int64_t> lastHandedOver;
    const RowReader handOver = [&](const sqlite::TolerantStatement& row) {
        const std::int64_t id = row.integer(0);
        assert(!lastHandedOver || id >= *lastHandedOver);
        lastHandedOver = id;
        read(row);
    };
    std::uint64_t stretches = 0;
    std::int64_t from = std::numeric_limits<std::int64_t>::min();
    for (;;) {
        scan_.bind(1, from);
        sqlite::TolerantStatement::Step step = sqlite::TolerantStatement::Step::Row;
        while ((step = scan_.step()) == sqlite::TolerantStatement::Step::Row) {
            const std::int64_t id = scan_.integer(0);
            if (id < from) {
                // The b-tree's keys out of order: the row before may have been another's under
                // a damaged id, so it is read again as a search for its id finds it.
                if (from != std::numeric_limits<std::int64_t>::min()) {
                    readOne(from - 1, handOver);
                }
                step = sqlite::TolerantStatement::Step::Failed;
                break;
            }
            handOver(scan_);
            if (id == lastId) {
                scan_.reset();
                return stretches;
            }
            from = id + 1;
        }
        scan_.reset();
        if (step == sqlite::TolerantStatement::Step::Done) {
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
            const bool hereRead = readOne(here.id, handOver);
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
    enter_.bind(1, from);
    const sqlite::TolerantStatement::Step step = enter_.step();
    Entry entry;
    if (step == sqlite::TolerantStatement::Step::Row && enter_.integer(0) >= from) {
        entry = {true, true, enter_.integer(0)};
    } else if (step == sqlite::TolerantStatement::Step::Done) {
        entry.entered = true;
    }
    enter_.reset();
    return entry;
}

bool TolerantScan::readOne(std::int64_t id, const RowReader& read) {
    for (sqlite::TolerantStatement* lookup : {&one_, essentials_.get()}) {
        if (lookup == nullptr) {
            break;
        }
        lookup->bind(1, id);
        const bool found =
            lookup->step() == sqlite::TolerantStatement::Step::Row && lookup->integer(0) == id;
        if (found) {
            read(*lookup);
        }
        lookup->reset();
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
