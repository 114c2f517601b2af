// qvbench recordset DIR: the record set Query1 with a window of 30 rows, as the grid drives it,
// against the engine's own raw operation on the same files in the same run. The reads are set
// beside the cursor's reads of the same rows; the writes beside the same write done straight
// through SQLite in one transaction with the same durability, the floor any write must pay.
//
// A move covers a whole window, so a timed run makes at most 1000 moves, fewer where the
// catalogue has fewer rows than that takes: every move reaches rows not shown before, and the
// reference reads whole windows. A catalogue of no more rows than one window is refused.
//
// The writes change the catalogue: rows titled "qvbench" are appended, edited and deleted
// again, and whatever is left of them is removed at the end.
#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "SqliteReference.h"
#include "Subcommands.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"

namespace quorvel::bench {

namespace {

constexpr int window = 30;
constexpr std::int64_t mostMoves = 1000;
const std::string benchTitle = "qvbench";

// A plain connection for the raw writes, durable as the engine's.
class RawWriter {
  public:
    explicit RawWriter(const std::filesystem::path& directory) {
        if (sqlite3_open_v2((directory / "qv.db").c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK) {
            fail();
        }
        sqlite3_busy_timeout(db_, 5000);
        run("ATTACH '" + (directory / "qv.mb").string() + "' AS mb");
        run("PRAGMA main.synchronous=FULL");
        run("PRAGMA mb.synchronous=FULL");
    }
    ~RawWriter() { sqlite3_close(db_); }
    RawWriter(const RawWriter&) = delete;
    RawWriter& operator=(const RawWriter&) = delete;

    void run(const std::string& sql) {
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            fail();
        }
    }
    std::int64_t lastId() const { return sqlite3_last_insert_rowid(db_); }

  private:
    [[noreturn]] void fail() const { throw std::runtime_error(sqlite3_errmsg(db_)); }
    sqlite3* db_ = nullptr;
};

// Watches that the set never holds more rows than its window.
class HeldRowsWatch : public DataSetObserver {
  public:
    explicit HeldRowsWatch(RecordSet& set) : set_(set) {}
    int most = 0;
    void rowsChanged() override { note(); }
    void scrolled(int) override { note(); }
    void stateChanged() override { note(); }

  private:
    void note() { most = std::max(most, set_.HeldRowCount()); }
    RecordSet& set_;
};

PairTimes perMove(PairTimes times, int moves) {
    times.oursMs /= moves;
    times.sqliteMs /= moves;
    return times;
}

// rows[index] of a reference read, which a short read must not turn into a read past its end.
const RowData& rowAt(const std::vector<RowData>& rows, std::size_t index) {
    if (index >= rows.size()) {
        throw std::logic_error("the reference read came back with " + std::to_string(rows.size()) +
                               " rows, fewer than a window");
    }
    return rows[index];
}

}  // namespace

int runRecordSetBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench recordset DIR\nTry 'qvbench --help'.\n");
        return 2;
    }
    const std::filesystem::path directory = arguments[0];
    Engine engine(directory);  // first, so that a directory without a catalogue is named as such
    const std::int64_t rowCount = SqliteReference(directory).count("SELECT count(*) FROM qv");
    if (rowCount <= window) {
        std::fprintf(stderr,
                     "qvbench recordset: the catalogue in %s has %lld rows; at least %d are "
                     "needed (make one with 'qvtool generate DIR N')\n"
                     "Usage: qvbench recordset DIR\nTry 'qvbench --help'.\n",
                     directory.c_str(), static_cast<long long>(rowCount), window + 1);
        return 2;
    }
    // Moves from the first row forward (or the last backward) that stay within the rows.
    const int moves = static_cast<int>(std::min(mostMoves, (rowCount - 1) / window));
    Database& database = engine.database();
    RecordSet set(engine);
    DataSource source(&set);
    HeldRowsWatch watch(set);
    source.addObserver(&watch);
    set.SetBufferCount(window);
    set.AddSQL("select * from qv");
    set.AddSQL("");
    set.AddSQL("");
    const std::string text = "select * from qv\r\n\r\n\r\n";
    const auto rawRows = static_cast<std::size_t>(window) + 1;  // the set reads one row ahead

    printComment("qvbench recordset " + directory.string());
    printComment("rows: " + std::to_string(rowCount));
    printComment("window: " + std::to_string(window) + " rows; moves timed " +
                 std::to_string(moves) + " at a time, figures per move");
    printComment("reads: ours = Query1, reference = the engine's cursor reading the same rows");
    printComment("writes: ours = Query1, reference = the same write straight through SQLite");
    printComment("case ours_ms engine_or_sqlite_ms ratio");

    std::unique_ptr<Cursor> cursor;
    printCase("open", measurePair(
                          [&] {
                              set.Close();
                              set.Open();
                          },
                          [&] { Cursor::open(database, text, true)->readFirst(rawRows); }));
    cursor = Cursor::open(database, text, true);
    printCase("last", measurePair([&] { set.Last(); }, [&] { cursor->readLast(rawRows); }));

    printCase("moveby+30", perMove(measurePair(
                                       [&] {
                                           set.First();
                                           for (int i = 0; i < moves; ++i) {
                                               set.MoveBy(window);
                                           }
                                       },
                                       [&] {
                                           std::vector<RowData> rows = cursor->readFirst(rawRows);
                                           for (int i = 0; i < moves; ++i) {
                                               rows = cursor->readAfter(rowAt(rows, window - 1),
                                                                        rawRows);
                                           }
                                       }),
                                   moves));
    printCase("moveby-30", perMove(measurePair(
                                       [&] {
                                           set.Last();
                                           for (int i = 0; i < moves; ++i) {
                                               set.MoveBy(-window);
                                           }
                                       },
                                       [&] {
                                           std::vector<RowData> rows = cursor->readLast(rawRows);
                                           for (int i = 0; i < moves; ++i) {
                                               rows = cursor->readBefore(rowAt(rows, 1), rawRows);
                                           }
                                       }),
                                   moves));
    printCase("first", measurePair([&] { set.First(); }, [&] { cursor->readFirst(rawRows); }));

    RawWriter raw(directory);
    std::vector<std::int64_t> rawIds;
    const std::string memo(1000, 'm');
    const PairTimes appended = measurePair(
        [&] {
            set.Append();
            set.FieldByName("Vytisk").SetAsString(benchTitle);
            set.FieldByName("Obsah_vytisku").SetAsString(memo);
            set.Post();
        },
        [&] {
            raw.run("BEGIN IMMEDIATE");
            raw.run("INSERT INTO qv(vytisk) VALUES('" + benchTitle + "')");
            rawIds.push_back(raw.lastId());
            raw.run("INSERT INTO mb.memo(id, obsah) VALUES(" + std::to_string(rawIds.back()) +
                    ", '" + memo + "')");
            raw.run("COMMIT");
        });
    printCase("append-post", appended);
    int edits = 0;
    printCase("edit-post", measurePair(
                               [&] {
                                   set.Edit();
                                   set.FieldByName("Cislo").SetAsString(std::to_string(++edits));
                                   set.Post();
                               },
                               [&] {
                                   raw.run("BEGIN IMMEDIATE");
                                   raw.run("UPDATE qv SET cislo = '" + std::to_string(++edits) +
                                           "', version = version + 1 WHERE id = " +
                                           std::to_string(rawIds.front()));
                                   raw.run("COMMIT");
                               }));
    // As many deletions as appends, so each side deletes only rows it appended.
    printCase("delete", measurePairRuns(
                            [&] {
                                set.Last();
                                if (set.FieldByName("Vytisk").AsString() != benchTitle) {
                                    throw std::runtime_error("no appended row left to delete");
                                }
                                set.Delete();
                            },
                            [&] {
                                if (rawIds.empty()) {
                                    throw std::runtime_error("no raw row left to delete");
                                }
                                const std::string id = std::to_string(rawIds.back());
                                rawIds.pop_back();
                                raw.run("BEGIN IMMEDIATE");
                                raw.run("DELETE FROM qv WHERE id = " + id);
                                raw.run("DELETE FROM mb.memo WHERE id = " + id);
                                raw.run("COMMIT");
                            },
                            appended.runs));
    set.Close();
    cursor.reset();
    raw.run("BEGIN IMMEDIATE");
    raw.run("DELETE FROM mb.memo WHERE id IN (SELECT id FROM qv WHERE vytisk = '" + benchTitle +
            "')");
    raw.run("DELETE FROM qv WHERE vytisk = '" + benchTitle + "'");
    raw.run("COMMIT");

    printComment("most rows held at once: " + std::to_string(watch.most) + " (window " +
                 std::to_string(window) + ")");
    char peak[64];
    std::snprintf(peak, sizeof peak, "peak RSS: %.1f MB", peakRssMb());
    printComment(peak);
    source.removeObserver(&watch);
    return watch.most <= window ? 0 : 1;
}

}  // namespace quorvel::bench
