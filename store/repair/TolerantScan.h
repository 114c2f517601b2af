// Reading a table of a damaged file for as much as can still be read. SQLite stops a scan at
// the first page it can't read; this one goes on past it: it finds the next row id at which
// the table's b-tree can be entered again (doubling the leap, then halving back to the first
// such id) and reads on from there. Rows read are handed over in ascending id order; a row id
// out of order counts as damage, so a looping b-tree can't hold the scan, and the row before
// it is handed over again as a search for its id finds it (the reader keeps the later one). A
// row whose key reads but whose fields don't is passed over on its own.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sqlite/TolerantStatement.h"

namespace quorvel::repair {

// A table's rows as read: the statement stands on a row whose first column is its id.
using RowReader = std::function<void(const sqlite::TolerantStatement& row)>;

class TolerantScan {
  public:
    // table is "schema.name" of a table with a rowid named id; columns the select list after
    // id ("vytisk, cislo"). A row looked up alone whose columns can't all be read is read with
    // the fewer columns of essentials, when given: the reader then finds fewer columns. Throws
    // EDBEngineError when the statements can't be prepared (the table isn't there, say).
    TolerantScan(sqlite3* db, const std::string& table, const std::string& columns,
                 const std::string& essentials = {});
    TolerantScan(const TolerantScan&) = delete;
    TolerantScan& operator=(const TolerantScan&) = delete;

    // Every row that can be read, to read, in ascending id order (a row read again after keys
    // out of order comes right after itself). Gives the number of damaged stretches leapt over.
    std::uint64_t readAll(const RowReader& read);
    // The row id alone, looked up from the b-tree's root; false when it isn't there or can't
    // be read.
    bool readOne(std::int64_t id, const RowReader& read);

    // Each id from 1 to last that isn't among have (sorted), looked up alone: rows that neither
    // the scan nor any other source found, under damaged pages the b-tree can't be walked
    // through but can be searched past. At most mostLookups of them, so that a damaged
    // record of the highest id can't make it endless.
    void readMissing(const std::vector<std::int64_t>& have, std::int64_t last,
                     const RowReader& read);
    static constexpr std::int64_t mostLookups = 10'000'000;

    // The stretches of ids readAll leapt over, first and last: rows there, if any, weren't read.
    struct Gap {
        std::int64_t first = 0;
        std::int64_t last = 0;
    };
    const std::vector<Gap>& gaps() const { return gaps_; }

  private:
    struct Entry {
        bool entered = false;  // the b-tree could be entered at from
        bool row = false;      // ... and has a row there, whose id is id
        std::int64_t id = 0;
    };
    // The first row id of at least from, read from the b-tree's keys alone.
    Entry enterAt(std::int64_t from);

    sqlite::TolerantStatement scan_;
    sqlite::TolerantStatement enter_;
    sqlite::TolerantStatement one_;
    std::unique_ptr<sqlite::TolerantStatement> essentials_;
    std::vector<Gap> gaps_;
};

}  // namespace quorvel::repair
