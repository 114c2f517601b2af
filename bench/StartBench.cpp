// qvbench start DIR...: the program's start as the user meets it, on each catalogue given. The
// main window is made (which opens the catalogue) and shown offscreen, and timed until its grid
// has painted its first rows (start-rows), and until that whole first screen is painted and
// handed to the screen, the controls after the grid included (start-screen); beside it, SQLite
// opens the same two files on a connection of its own and steps the first 20 rows, in the same run.
// Each case runs warm (the files' pages as the previous run left them) and cold (the page cache
// dropped before each run of either side).
//
// Cold drops the whole page cache (/proc/sys/vm/drop_caches) where it may, as root; elsewhere, or
// with QVBENCH_COLD=files in the environment (as in the tests, which leave the machine's cache
// alone), only the catalogue's own files are dropped (synced, then posix_fadvise DONTNEED), and
// the report says which. Either way the libraries this process has mapped stay
// loaded, as in a program already running. The splash of the window's first activation is closed as
// soon as it is shown; it is no part of the first screen.
//
// The opening's checks are timed on their own (a fresh connection is opened untimed for each)
// beside the same reference: start-check-sort-indexes (both sort indexes counted),
// start-check-keyless (rows another program wrote without their sort keys, looked for),
// start-check-format (each file's application id, format version and columns), start-check-pairing
// (the two files' tokens).
#include <QApplication>
#include <QStyleFactory>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "Application.h"
#include "BenchReport.h"
#include "SqliteReference.h"
#include "Subcommands.h"
#include "engine/CatalogueSchema.h"
#include "engine/Engine.h"
#include "engine/FormatUpgrade.h"
#include "engine/SortIndexCheck.h"
#include "grid/DBGrid.h"
#include "recordset/RecordSet.h"
#include "sqlite/SqliteStatement.h"
#include "text/CzechCollator.h"
#include "windows/MainWindow.h"
#include "windows/SplashWindow.h"

namespace quorvel::bench {

namespace {

constexpr int coldRuns = 7;
constexpr int busyTimeoutMs = 5000;

const std::string firstRows =
    "SELECT q.*, m.obsah FROM qv q LEFT JOIN mb.memo m ON m.id = q.id ORDER BY q.id LIMIT 20";

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Drops the whole page cache, clean pages only, after writing out what is dirty; false where the
// process may not, or is asked not to.
bool dropPageCache() {
    const char* cold = std::getenv("QVBENCH_COLD");
    if (cold != nullptr && std::string(cold) == "files") {
        return false;
    }
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    ::sync();
    const bool dropped = ::write(fd, "1", 1) == 1;
    ::close(fd);
    return dropped;
}

// Writes out what is dirty of path and drops its pages from the page cache.
void evict(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("can't open " + path.string());
    }
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// The main window's first screen: made, shown, painted as far as its grid's rows, and painted
// whole. The times are taken as the paints end, inside the event loop, so that the splash
// (closed as soon as it is up) can't add to them.
class FirstScreen : public QObject {
  public:
    struct Times {
        double windowMs = 0;  // the window's own first paint
        double rowsMs = 0;    // the grid's first paint, rows and all
        double screenMs = 0;  // the window's paint that held those rows, done and flushed
        int rows = 0;         // rows the grid holds then
    };

    Times run() {
        times_ = {};
        start_ = Clock::now();
        windowPainted_ = rowsPainted_ = screenPainted_ = false;
        QApplication::instance()->installEventFilter(this);
        auto form = std::make_unique<ui::TForm1>();
        grid_ = form->findChild<ui::DBGrid*>(QStringLiteral("DBGrid1"));
        form->show();
        window_ = form->windowHandle();
        while (!screenPainted_) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        times_.rows = form->query().HeldRowCount();
        grid_ = nullptr;
        window_ = nullptr;
        QApplication::instance()->removeEventFilter(this);
        form.reset();
        QApplication::processEvents();
        // The splash stays the application's until the program ends: one start leaves one,
        // and the next start is measured without it.
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (dynamic_cast<ui::TForm2*>(window) != nullptr) {
                delete window;
            }
        }
        return times_;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && dynamic_cast<ui::TForm2*>(watched) != nullptr) {
            QTimer::singleShot(0, static_cast<QWidget*>(watched), &QWidget::close);
        }
        // The window's paints are made and flushed as it handles these two.
        if ((event->type() == QEvent::Expose || event->type() == QEvent::UpdateRequest) &&
            watched == window_ && !screenPainted_ && !flushing_) {
            flushing_ = true;
            QCoreApplication::sendEvent(watched, event);
            flushing_ = false;
            if (rowsPainted_) {
                times_.screenMs = msSince(start_);
                screenPainted_ = true;
            }
            return true;
        }
        if (event->type() != QEvent::Paint || grid_ == nullptr || passing_ ||
            !watched->isWidgetType()) {
            return false;
        }
        const bool rows = watched == grid_->viewport();
        if (rows ? rowsPainted_ : windowPainted_) {
            return false;
        }
        // Painted here and now, inside the paint the event loop is making, and past the
        // window's own filters as usual.
        passing_ = true;
        QCoreApplication::sendEvent(watched, event);
        passing_ = false;
        (rows ? times_.rowsMs : times_.windowMs) = msSince(start_);
        (rows ? rowsPainted_ : windowPainted_) = true;
        return true;
    }

  private:
    Clock::time_point start_;
    Times times_;
    ui::DBGrid* grid_ = nullptr;
    QWindow* window_ = nullptr;
    bool windowPainted_ = false;
    bool rowsPainted_ = false;
    bool screenPainted_ = false;
    bool passing_ = false;
    bool flushing_ = false;
};

// A plain connection to qv.db with qv.mb attached and the sort keys' function, for the checks.
class CheckConnection {
  public:
    explicit CheckConnection(const std::filesystem::path& directory) {
        if (sqlite3_open_v2((directory / schema::rowsFileName).c_str(), &db_, SQLITE_OPEN_READONLY,
                            nullptr) != SQLITE_OK) {
            throw std::runtime_error("can't open " + (directory / schema::rowsFileName).string());
        }
        sqlite::execute(
            db_, ("ATTACH '" + (directory / schema::memoFileName).string() + "' AS mb").c_str());
        collator_.installOn(db_);
    }
    ~CheckConnection() { sqlite3_close(db_); }
    CheckConnection(const CheckConnection&) = delete;
    CheckConnection& operator=(const CheckConnection&) = delete;
    sqlite3* handle() const { return db_; }

  private:
    CzechCollator collator_;
    sqlite3* db_ = nullptr;
};

struct Check {
    const char* name;
    std::function<void(sqlite3*)> run;
};

void readOne(sqlite3* db, const std::string& sql) {
    sqlite::Statement statement(db, sql);
    statement.step();
}

const Check checks[] = {
    {"sort-indexes",
     [](sqlite3* db) {
         schema::miscountedSortIndexes(db, {0, 1});
     }},
    {"keyless", [](sqlite3* db) { schema::keyRowsWrittenByOthers(db, busyTimeoutMs); }},
    {"format",
     [](sqlite3* db) {
         for (const char* schemaName : {"main", "mb"}) {
             readOne(db, std::string("PRAGMA ") + schemaName + ".application_id");
             readOne(db, std::string("PRAGMA ") + schemaName + ".user_version");
         }
         sqlite::execute(db, schema::rowColumnsProbe);
         sqlite::execute(db, schema::keyColumnsProbe);
         sqlite::execute(db, schema::memoColumnsProbe);
     }},
    {"pairing",
     [](sqlite3* db) {
         readOne(db, "SELECT (SELECT token FROM main.qv_pair) = (SELECT token FROM mb.qv_pair)");
     }},
};

class StartBench {
  public:
    explicit StartBench(const std::filesystem::path& directory) : directory_(directory) {
        SqliteReference reference(directory_);
        rows_ = reference.count("SELECT count(*) FROM qv");
    }

    void run() {
        const std::string suffix = "-" + std::to_string(rows_);
        printComment(directory_.string() + ": " + std::to_string(rows_) +
                     " rows; second column: SQLite opening both files and stepping the "
                     "first 20 rows; cold: " +
                     (wholeCacheDropped_ ? "the whole page cache dropped"
                                         : "the two files dropped from the page cache"));
        for (const bool cold : {false, true}) {
            const std::string temperature = cold ? "-cold" : "-warm";
            const auto [window, rows, screen] = measureFirstScreen(cold);
            printCase("start-window" + temperature + suffix, window);
            printCase("start-rows" + temperature + suffix, rows);
            printCase("start-screen" + temperature + suffix, screen);
            printCase("start-open" + temperature + suffix, measure(cold, [this] {
                          return timeMs([this] { Engine(directory_).database(); });
                      }));
            for (const Check& check : checks) {
                printCase("start-check-" + std::string(check.name) + temperature + suffix,
                          measure(cold, [this, &check] {
                              CheckConnection connection(directory_);
                              return timeMs([&] { check.run(connection.handle()); });
                          }));
            }
        }
    }

  private:
    void evictIf(bool cold) const {
        if (cold && wholeCacheDropped_) {
            dropPageCache();
        }
        if (cold && !wholeCacheDropped_) {
            evict(directory_ / schema::rowsFileName);
            evict(directory_ / schema::memoFileName);
        }
    }

    double reference(bool cold) const {
        evictIf(cold);
        return timeMs([this] {
            SqliteReference connection(directory_);
            connection.run(firstRows);
        });
    }

    // Ours and the reference alternately, each after the files are dropped when cold: one
    // unmeasured round, then coldRuns rounds cold, minimumRuns warm. ours gives the
    // milliseconds of what it times.
    PairTimes measure(bool cold, const std::function<double()>& ours) const {
        const int runs = cold ? coldRuns : minimumRuns;
        std::vector<double> oursMs;
        std::vector<double> sqliteMs;
        for (int run = 0; run <= runs; ++run) {
            evictIf(cold);
            const double took = ours();
            const double theirs = reference(cold);
            if (run > 0) {
                oursMs.push_back(took);
                sqliteMs.push_back(theirs);
            }
        }
        return {median(oursMs), median(sqliteMs), runs};
    }

    std::tuple<PairTimes, PairTimes, PairTimes> measureFirstScreen(bool cold) {
        const int runs = cold ? coldRuns : minimumRuns;
        std::vector<double> windowMs;
        std::vector<double> rowsMs;
        std::vector<double> screenMs;
        std::vector<double> sqliteMs;
        for (int run = 0; run <= runs; ++run) {
            evictIf(cold);
            const FirstScreen::Times times = screen_.run();
            if (times.rows == 0 && rows_ > 0) {
                throw std::runtime_error("the grid painted no rows");
            }
            const double theirs = reference(cold);
            if (run > 0) {
                windowMs.push_back(times.windowMs);
                rowsMs.push_back(times.rowsMs);
                screenMs.push_back(times.screenMs);
                sqliteMs.push_back(theirs);
            }
        }
        const double sqlite = median(sqliteMs);
        return {PairTimes{median(windowMs), sqlite, runs}, PairTimes{median(rowsMs), sqlite, runs},
                PairTimes{median(screenMs), sqlite, runs}};
    }

    std::filesystem::path directory_;
    std::int64_t rows_ = 0;
    bool wholeCacheDropped_ = dropPageCache();
    FirstScreen screen_;
};

}  // namespace

int runStartBench(const Arguments& arguments) {
    if (arguments.empty()) {
        std::fprintf(stderr, "Usage: qvbench start DIR...\n");
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int argc = 1;
    char name[] = "quorvel";
    char* argv[] = {name, nullptr};
    ui::Application application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    application.setStyle(QStyleFactory::create(QStringLiteral("Windows")));
    // The window opens the catalogue in the working directory, as the program does.
    const std::filesystem::path home = std::filesystem::current_path();
    for (const std::string& directory : arguments) {
        const std::filesystem::path path = std::filesystem::absolute(directory);
        std::filesystem::current_path(path);
        StartBench(path).run();
        std::filesystem::current_path(home);
    }
    char rss[64];
    std::snprintf(rss, sizeof rss, "peak RSS %.1f MB", peakRssMb());
    printComment(rss);
    return 0;
}

}  // namespace quorvel::bench
