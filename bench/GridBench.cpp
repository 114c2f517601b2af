// qvbench grid DIR: the data grid DBGrid1 of 12 lines over the record set, offscreen, each step
// timed from the user's input (a key, a click, the data source's Edit) until the grid has
// painted, beside the record set's own operation that the step makes (second column). The
// difference is what the grid adds; a step should stay within one frame (16 ms).
//
// edit-start is Edit through DataSource1, as a bound edit calls it when a character is typed,
// plus the grid's repaint; the typed character's own handling in the edit is not in it.
#include <QApplication>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <string>

#include "BenchReport.h"
#include "LayoutFont.h"
#include "Subcommands.h"
#include "catalogues/SearchPatterns.h"
#include "engine/Engine.h"
#include "grid/DBGrid.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"
#include "recordset/StatementComposer.h"

namespace quorvel::bench {

namespace {

constexpr int gridLines = 12;
constexpr int heldSteps = 1000;
constexpr int runs = 5;

struct StepTimes {
    PairTimes pair;
    double slowestMs = 0;  // the slowest single step of the grid, over all runs
};

// Times steps of the grid and of the record set alone, alternately over runs (one warm-up
// round first). prepare runs untimed before each run; each run makes count steps.
StepTimes measureSteps(int count, const std::function<void()>& prepare,
                       const std::function<void()>& gridStep,
                       const std::function<void()>& setStep) {
    std::vector<double> grid;
    std::vector<double> set;
    StepTimes times;
    for (int run = 0; run <= runs; ++run) {
        prepare();
        double total = 0;
        for (int step = 0; step < count; ++step) {
            const double ms = timeMs(gridStep);
            total += ms;
            if (run > 0) {
                times.slowestMs = std::max(times.slowestMs, ms);
            }
        }
        prepare();
        const double setTotal = timeMs([&] {
            for (int step = 0; step < count; ++step) {
                setStep();
            }
        });
        if (run > 0) {
            grid.push_back(total / count);
            set.push_back(setTotal / count);
        }
    }
    times.pair.oursMs = median(grid);
    times.pair.sqliteMs = median(set);
    times.pair.runs = runs;
    return times;
}

void report(const std::string& name, const StepTimes& times) {
    printCase(name, times.pair);
    char line[160];
    std::snprintf(line, sizeof line, "%s: the grid adds %.3f ms a step; slowest step %.3f ms",
                  name.c_str(), times.pair.oursMs - times.pair.sqliteMs, times.slowestMs);
    printComment(line);
}

// Everything the step left to do, painting included.
void settle() {
    QApplication::processEvents();
}

}  // namespace

int runGridBench(const Arguments& arguments) {
    if (arguments.size() != 1) {
        std::fprintf(stderr, "Usage: qvbench grid DIR\n");
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    int argc = 1;
    char name[] = "qvbench";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);

    Engine engine(arguments[0]);
    RecordSet set(engine);
    DataSource source(&set);
    QWidget window;
    window.setFont(ui::layoutFont());
    auto* layout = new QVBoxLayout(&window);
    auto* grid = new ui::DBGrid(&window);
    layout->addWidget(grid);
    grid->setFixedSize(700, 2 * grid->frameWidth() + grid->geometry().titleTotal() +
                                gridLines * grid->geometry().lineTotal() +
                                grid->horizontalScrollBar()->sizeHint().height());
    grid->setDataSource(&source);
    StatementClauses clauses;
    RunQuery(set, clauses);
    window.show();
    grid->setFocus();
    settle();
    if (grid->dataLines() != gridLines) {
        std::fprintf(stderr, "qvbench: the grid shows %d lines, not %d\n", grid->dataLines(),
                     gridLines);
        return 1;
    }
    if (set.HeldRowCount() != gridLines) {
        std::fprintf(stderr, "Usage: qvbench grid DIR (a catalogue of at least %d rows)\n",
                     gridLines);
        return 2;
    }
    printComment("grid of " + std::to_string(gridLines) + " lines on " + arguments[0] +
                 "; second column: the record set's own operation");

    const auto key = [grid](Qt::Key pressed, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(grid, pressed, modifiers);
        settle();
    };
    const auto reopen = [&] {
        set.Close();
        settle();
    };
    report("grid-open", measureSteps(
                            1, reopen,
                            [&] {
                                set.Open();
                                settle();
                            },
                            [&] { set.Open(); }));
    const auto first = [&] {
        set.First();
        settle();
    };
    report("grid-down", measureSteps(
                            heldSteps, first, [&] { key(Qt::Key_Down); }, [&] { set.MoveBy(1); }));
    report("grid-pagedown",
           measureSteps(
               heldSteps, first, [&] { key(Qt::Key_PageDown); }, [&] { set.MoveBy(gridLines); }));
    report("grid-last",
           measureSteps(
               1, first, [&] { key(Qt::Key_End, Qt::ControlModifier); }, [&] { set.Last(); }));
    // Clicks on the indicator cells of lines 8 and 3 in turn; the set alone makes the same moves.
    const auto clickTarget = [](int& clicks) { return ++clicks % 2 == 1 ? 8 : 3; };
    int gridClicks = 0;
    int setClicks = 0;
    report("grid-click",
           measureSteps(
               100,
               [&] {
                   first();
                   gridClicks = setClicks = 0;
               },
               [&] {
                   const QPoint point =
                       grid->geometry().indicatorCell(clickTarget(gridClicks)).center();
                   QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, point);
                   settle();
               },
               [&] { set.MoveBy(clickTarget(setClicks) - set.ActiveRecord()); }));
    const auto browse = [&] {
        set.Cancel();
        settle();
    };
    report("edit-start", measureSteps(
                             1, browse,
                             [&] {
                                 source.Edit();
                                 settle();
                             },
                             [&] { set.Edit(); }));
    set.Cancel();

    // Every search of the generated patterns, rare and common in each field: the grid shows
    // its first page while the rows are still being counted. Closing the previous result (and
    // stopping its count) is not timed.
    const SearchField searchFields[] = {SearchField::Title, SearchField::IssueNumber,
                                        SearchField::InterestingParts, SearchField::Contents};
    const char* const fieldNames[] = {"vytisk", "cislo", "casti", "obsah"};
    const auto searchAgain = [&] {
        set.Close();
        settle();
    };
    double slowestSearchMs = 0;
    for (std::size_t field = 0; field < std::size(searchFields); ++field) {
        for (const bool rare : {true, false}) {
            const tools::FieldPatterns& patterns = tools::generatedPatterns[field];
            StatementClauses search;
            search.FilterClause =
                searchClause(searchFields[field], rare ? patterns.rare : patterns.common);
            set.ClearSQL();
            for (const std::string& line : statementLines(search)) {
                set.AddSQL(line);
            }
            const StepTimes times = measureSteps(
                1, searchAgain,
                [&] {
                    set.Open();
                    settle();
                },
                [&] { set.Open(); });
            slowestSearchMs = std::max(slowestSearchMs, times.pair.oursMs);
            report(
                std::string("grid-search-open-") + fieldNames[field] + (rare ? "-rare" : "-common"),
                times);
        }
    }
    char slowest[96];
    std::snprintf(slowest, sizeof slowest, "grid-search-open: the slowest search %.3f ms",
                  slowestSearchMs);
    printComment(slowest);
    char rss[64];
    std::snprintf(rss, sizeof rss, "peak RSS %.1f MB", peakRssMb());
    printComment(rss);
    return 0;
}

}  // namespace quorvel::bench
