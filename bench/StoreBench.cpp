// qvbench store DIR: the engine's reads, as the main window makes them, against the same
// queries written the natural way for SQLite, on a catalogue made by "qvtool generate".
//
// Ours goes through Engine, Cursor::open (live, as the record set asks) and the
// cursor's reads of 20 rows, the page a grid shows. A search "to the end of the result" is
// what a user who presses Ctrl+End waits for: the search opens and shows its first page, then
// the last page is shown, i.e. Cursor::open, readFirst(20), readLast(20), and the result's rows
// are counted (the grid's bar then shows where the user is), which the cursor does on a thread
// of its own meanwhile. SQLite's side of it steps through every matching row, the least any
// plain query must do to reach the end.
//
// A search's first 20 rows are what the user waits for: opening the result and reading them.
// Closing the previous result is not in it; its count is asked to stop (which takes no time)
// and the result is released after the case.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "SqliteReference.h"
#include "Subcommands.h"
#include "catalogues/SearchPatterns.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/StatementComposer.h"
#include "recordset/StatementText.h"

namespace quorvel::bench {

namespace {

constexpr std::size_t page = 20;

const std::string referenceSelect =
    "SELECT q.*, m.obsah FROM qv q LEFT JOIN mb.memo m ON m.id = q.id";
// Columns of q.* in referenceSelect.
constexpr int referenceTitleColumn = 1;
constexpr int referenceNumberColumn = 2;

struct SearchedField {
    const char* caseName;
    SearchField field;
    const char* referenceColumn;
    int column;  // into schema::columns
};

constexpr SearchedField searchedFields[] = {
    {"vytisk", SearchField::Title, "q.vytisk", 0},
    {"cislo", SearchField::IssueNumber, "q.cislo", 1},
    {"casti", SearchField::InterestingParts, "q.nejzajimavejsi_casti", 2},
    {"obsah", SearchField::Contents, "m.obsah", 3},
};

// The statement's three lines as the main window composes them.
std::string statementText(const std::string& filter, const std::string& order) {
    return joinStatementLines(statementLines({"select * from qv", filter, order}));
}

const tools::FieldPatterns& patternsOf(int column) {
    for (const tools::FieldPatterns& patterns : tools::generatedPatterns) {
        if (patterns.column == column) {
            return patterns;
        }
    }
    throw std::logic_error("no generated patterns for a searched field");
}

std::vector<std::int64_t> idsOf(const std::vector<RowData>& rows) {
    std::vector<std::int64_t> ids;
    for (const RowData& row : rows) {
        ids.push_back(row.id);
    }
    return ids;
}

std::vector<std::string> keysOf(const std::vector<RowData>& rows, int column) {
    std::vector<std::string> keys;
    for (const RowData& row : rows) {
        keys.push_back(row.strings[column].value_or(""));
    }
    return keys;
}

class StoreBench {
  public:
    StoreBench(Database& database, SqliteReference& reference)
        : database_(database), reference_(reference) {}

    void openFirst20() {
        const std::string text = statementText("", "");
        std::vector<RowData> ours;
        ReferenceResult theirs;
        printCase(
            "open-first20",
            measurePair(
                [&] { ours = Cursor::open(database_, text, true)->readFirst(page); },
                [&] { theirs = reference_.run(referenceSelect + " ORDER BY q.id LIMIT 20"); }));
        expectSame("open-first20", idsOf(ours), theirs.firstIds);
    }

    // Ours: the engine's connection opened, its files checked and its sort indexes counted
    // against the table; SQLite: the two files opened and the table's rows counted.
    void openCatalogue(const std::string& directory) {
        printCase(
            "open-catalogue",
            measurePair([&] { Database opened(directory); },
                        [&] { SqliteReference(directory).count("SELECT count(*) FROM qv"); }));
    }

    void last20() {
        const std::unique_ptr<Cursor> cursor = Cursor::open(database_, statementText("", ""), true);
        std::vector<RowData> ours;
        ReferenceResult theirs;
        printCase("last20", measurePair([&] { ours = cursor->readLast(page); },
                                        [&] {
                                            theirs = reference_.run(referenceSelect +
                                                                    " ORDER BY q.id DESC LIMIT 20");
                                        }));
        std::vector<std::int64_t> theirIds(theirs.firstIds.rbegin(), theirs.firstIds.rend());
        expectSame("last20", idsOf(ours), theirIds);
    }

    void search(const SearchedField& searched, bool rare) {
        const tools::FieldPatterns& patterns = patternsOf(searched.column);
        const std::string pattern = rare ? patterns.rare : patterns.common;
        const std::string name =
            std::string("search-") + searched.caseName + (rare ? "-rare" : "-common");
        const std::string text = statementText(searchClause(searched.field, pattern), "");
        const std::string where = std::string(" WHERE ") + searched.referenceColumn + " LIKE ?1";
        const std::string like = "%" + pattern + "%";

        std::vector<RowData> oursFirst;
        ReferenceResult theirsFirst;
        std::vector<std::unique_ptr<Cursor>> closed;
        std::unique_ptr<Cursor> open;
        printCase(name + "-first20",
                  measurePair(
                      [&] {
                          if (open) {
                              open->stopCount();
                              closed.push_back(std::move(open));
                          }
                          open = Cursor::open(database_, text, true);
                          oursFirst = open->readFirst(page);
                      },
                      [&] {
                          theirsFirst = reference_.run(
                              referenceSelect + where + " ORDER BY q.id LIMIT 20", like);
                      }));
        open.reset();
        closed.clear();
        expectSame(name + "-first20", idsOf(oursFirst), theirsFirst.firstIds);

        std::int64_t oursCount = 0;
        std::chrono::microseconds longestRange{0};
        ReferenceResult theirsAll;
        printCase(name + "-all",
                  measurePair(
                      [&] {
                          const std::unique_ptr<Cursor> cursor =
                              Cursor::open(database_, text, true);
                          cursor->readFirst(page);
                          cursor->readLast(page);
                          cursor->waitForCount(std::chrono::hours(1));
                          longestRange = std::max(longestRange, cursor->longestCountRange());
                          cursor->takeCount();
                          oursCount = cursor->rowCount();
                      },
                      [&] { theirsAll = reference_.run(referenceSelect + where, like); }));
        printComment(name + " (\"" + pattern + "\"): " + std::to_string(theirsAll.rows) +
                     " rows; the count held its read lock at most " +
                     std::to_string(longestRange.count()) + " us at a time");
        expectSame(name + "-all row count", std::vector<std::int64_t>{oursCount},
                   std::vector<std::int64_t>{theirsAll.rows});
    }

    void sortFirst20(const char* name, SortOrder order, int column, int referenceColumn,
                     const char* referenceOrder) {
        const std::string text = statementText("", orderClause(order));
        std::vector<RowData> ours;
        ReferenceResult theirs;
        printCase(name,
                  measurePair([&] { ours = Cursor::open(database_, text, true)->readFirst(page); },
                              [&] {
                                  theirs = reference_.run(
                                      referenceSelect + " ORDER BY " + referenceOrder + " LIMIT 20",
                                      {}, referenceColumn);
                              }));
        // Rows with equal keys may come in another order; the keys may not.
        expectSame(name, keysOf(ours, column), theirs.firstKeys);
    }

    int mismatches() const { return mismatches_; }

  private:
    template <typename T>
    void expectSame(const std::string& what, const std::vector<T>& ours,
                    const std::vector<T>& theirs) {
        if (ours != theirs) {
            ++mismatches_;
            printComment("MISMATCH in " + what + ": our result differs from SQLite's");
        }
    }

    Database& database_;
    SqliteReference& reference_;
    int mismatches_ = 0;
};

}  // namespace

int runStoreBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench store DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const std::string directory = arguments[0];
    Engine engine(directory);
    Database& database = engine.database();
    SqliteReference reference(directory);

    printComment("qvbench store " + directory);
    printComment("rows: " + std::to_string(reference.count("SELECT count(*) FROM qv")));
    printComment(std::string("sqlite: ") + sqlite3_libversion());
    printComment("median of at least " + std::to_string(minimumRuns) +
                 " runs after a warm-up run, ours and SQLite's alternating");
    printComment(
        "*-all: ours = Cursor::open + readFirst(20) + readLast(20) (Ctrl+End) + the rows counted; "
        "SQLite = every matching row stepped");
    printComment("case ours_ms sqlite_ms ratio");

    StoreBench bench(database, reference);
    bench.openCatalogue(directory);
    bench.openFirst20();
    bench.last20();
    for (const SearchedField& searched : searchedFields) {
        bench.search(searched, true);
        bench.search(searched, false);
    }
    // SQLite's side walks the Czech sort keys kept beside the fields, under their indexes.
    bench.sortFirst20("sort-vytisk-first20", SortOrder::ByTitle, 0, referenceTitleColumn,
                      "q.vytisk_key, q.id");
    bench.sortFirst20("sort-cislo-first20", SortOrder::ByIssueNumber, 1, referenceNumberColumn,
                      "q.cislo_key, q.id");

    printComment(bench.mismatches() == 0
                     ? std::string("results agree with SQLite's in every case")
                     : std::to_string(bench.mismatches()) + " results disagree with SQLite's");
    char peak[64];
    std::snprintf(peak, sizeof peak, "peak RSS: %.1f MB", peakRssMb());
    printComment(peak);
    return bench.mismatches() == 0 ? 0 : 1;
}

}  // namespace quorvel::bench
