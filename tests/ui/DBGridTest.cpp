// The data grid DBGrid1 on a real catalogue, offscreen: what it shows in each state of the
// record set, its glyphs pixel for pixel, the key table, the mouse, both scroll bar forms, what
// it repaints, and leaving it.
#include <QLineEdit>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <sqlite3.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <memory>

#include "UiTestSupport.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "grid/DBGrid.h"
#include "grid/GridCellEditor.h"
#include "grid/GridPainter.h"
#include "messages/DefaultErrorHandler.h"
#include "query/Cursor.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"

using namespace quorvel;
using namespace quorvel::ui;

Q_DECLARE_METATYPE(Qt::Key)
Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

namespace {

constexpr int rowCount = 40;
constexpr int lines = 12;

QString title(int row) {
    return QStringLiteral("Titul %1").arg(row, 2, 10, QLatin1Char('0'));
}

// The three glyphs as the table describes them: which of columns 1-6 row r (1-11) holds.
bool glyphHolds(IndicatorGlyph glyph, int column, int row) {
    switch (glyph) {
        case IndicatorGlyph::CurrentRow:
            return row <= 6 ? column <= row : column <= 12 - row;
        case IndicatorGlyph::Edit:
            return (row == 1 || row == 11) ? (column <= 2 || column >= 5)
                                           : (column == 3 || column == 4);
        case IndicatorGlyph::Insert:
            return row == 6 || ((row == 5 || row == 7) && (column == 3 || column == 4)) ||
                   ((row == 4 || row == 8) && (column == 2 || column == 5));
        default:
            return false;
    }
}

// Remembers what the grid's viewport was asked to paint.
class PaintLog : public QObject {
  public:
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

// An edit whose write-back fails: it takes the focus back as it loses it.
class RefusingEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

  protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        setFocus();
    }
};

}  // namespace

class DBGridTest : public QObject {
    Q_OBJECT

  private slots:
    // One catalogue for all tests, copied afresh for each.
    void initTestCase() {
        char pattern[] = "/tmp/quorvel-grid-template-XXXXXX";
        template_ = ::mkdtemp(pattern);
        schema::createTable(template_);
        Engine engine(template_);
        auto cursor = Cursor::open(engine.database(), "select * from qv", true);
        for (int i = 1; i <= rowCount; ++i) {
            RowData row;
            row.strings[0] = title(i).toStdString();
            if (i % 2 == 0) {
                row.memo = "Obsah " + std::to_string(i);
                row.memoChanged = row.memoLoaded = true;
            }
            cursor->insertRow(row);
        }
    }

    void cleanupTestCase() { std::filesystem::remove_all(template_); }

    void init() {
        char pattern[] = "/tmp/quorvel-grid-XXXXXX";
        directory_ = ::mkdtemp(pattern);
        for (const char* file : {"qv.db", "qv.mb"}) {
            std::filesystem::copy_file(template_ / file, directory_ / file);
        }
        engine_ = std::make_unique<Engine>(directory_);
        set_ = std::make_unique<RecordSet>(*engine_);
        source_ = std::make_unique<DataSource>(set_.get());
        window_ = std::make_unique<QWidget>();
        QFont font(QStringLiteral("MS Sans Serif"));
        font.setPixelSize(11);
        window_->setFont(font);
        auto* layout = new QVBoxLayout(window_.get());
        grid_ = new DBGrid(window_.get());
        other_ = new QLineEdit(window_.get());
        layout->addWidget(grid_);
        layout->addWidget(other_);
        grid_->setDataSource(source_.get());
        grid_->setFixedHeight(2 * grid_->frameWidth() + grid_->geometry().titleTotal() +
                              lines * grid_->geometry().lineTotal() +
                              grid_->horizontalScrollBar()->sizeHint().height());
        grid_->setFixedWidth(500);
        open();
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        grid_->setFocus();
        QCOMPARE(grid_->dataLines(), lines);
    }

    void cleanup() {
        window_.reset();
        source_.reset();
        set_.reset();
        engine_.reset();
        std::filesystem::remove_all(directory_);
        QVERIFY2(test::visibleTopLevels().isEmpty(), "a window was left open");
    }

    void glyphsArePixelExactInEachState() {
        const auto check = [this](IndicatorGlyph glyph) {
            const QImage image = grid_->viewport()->grab().toImage();
            const QRect cell = grid_->geometry().indicatorCell(grid_->currentLine());
            const QColor face = grid_->palette().color(QPalette::Button);
            for (int row = 1; row <= 11; ++row) {
                for (int column = 1; column <= 6; ++column) {
                    const QPoint pixel(cell.right() + 1 - 8 + column - 1, cell.top() + 3 + row - 1);
                    const QColor expected = glyphHolds(glyph, column, row) ? Qt::black : face;
                    QVERIFY2(image.pixelColor(pixel) == expected,
                             qPrintable(QStringLiteral("column %1 row %2").arg(column).arg(row)));
                }
            }
        };
        set_->MoveBy(3);
        check(IndicatorGlyph::CurrentRow);
        shoot("browse");
        set_->Edit();
        check(IndicatorGlyph::Edit);
        set_->FieldByName("Vytisk").SetAsString("Změněný titul");
        shoot("edit");
        set_->Cancel();
        set_->Append();
        QCOMPARE(grid_->currentLine(), lines - 1);  // the new row on the last line
        check(IndicatorGlyph::Insert);
        shoot("insert");
        set_->Close();
        check(IndicatorGlyph::None);
        QCOMPARE(grid_->columns().count(), 1);
        QCOMPARE(grid_->columns().at(0).width, 64);
        QCOMPARE(grid_->shownLines(), 1);
        shoot("inactive");
        QTest::keyClick(grid_, Qt::Key_Down);    // keys do nothing while the set is closed...
        QTest::keyClick(grid_, Qt::Key_Return);  // ...but Enter opens an empty cell editor
        QVERIFY(grid_->cellEditor()->isVisible());
        QVERIFY(grid_->cellEditor()->text().isEmpty());
    }

    void columnWidthsAndRowHeightsFollowTheFont() {
        const QFontMetrics metrics(grid_->font());
        QCOMPARE(grid_->geometry().titleHeight, metrics.height() + 4);
        QCOMPARE(grid_->geometry().lineHeight, metrics.height() + 4);
        const int zero = metrics.horizontalAdvance(QLatin1Char('0'));
        const int displayWidths[] = {50, 15, 150, 10};
        QCOMPARE(grid_->columns().count(), 4);
        for (int column = 0; column < 4; ++column) {
            const QString name = grid_->columns().at(column).title;
            const int expected =
                std::max(displayWidths[column] * zero + 4, metrics.horizontalAdvance(name) + 4);
            QCOMPARE(grid_->columns().at(column).width, expected);
        }
        QCOMPARE(grid_->columns().at(3).title, QStringLiteral("Obsah_vytisku"));
        // The memo's title is wider than its ten characters.
        QVERIFY(grid_->columns().at(3).width > 10 * zero + 4);
    }

    void keys_data() {
        QTest::addColumn<int>("start");      // the current row's number before the key
        QTest::addColumn<bool>("appended");  // New pressed first, nothing typed
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<int>("row");  // afterwards; 0 for the new row
        QTest::addColumn<int>("column");
        const auto none = Qt::KeyboardModifiers();
        const auto ctrl = Qt::KeyboardModifiers(Qt::ControlModifier);
        const auto shift = Qt::KeyboardModifiers(Qt::ShiftModifier);
        QTest::newRow("Up") << 5 << false << Qt::Key_Up << none << 4 << 1;
        QTest::newRow("Up at the start") << 1 << false << Qt::Key_Up << none << 1 << 1;
        QTest::newRow("Down") << 5 << false << Qt::Key_Down << none << 6 << 1;
        QTest::newRow("Down on the last row") << 40 << false << Qt::Key_Down << none << 40 << 1;
        QTest::newRow("Page Up") << 20 << false << Qt::Key_PageUp << none << 8 << 1;
        QTest::newRow("Page Down") << 5 << false << Qt::Key_PageDown << none << 17 << 1;
        QTest::newRow("Ctrl+Up") << 5 << false << Qt::Key_Up << ctrl << 1 << 1;
        QTest::newRow("Ctrl+Page Up") << 5 << false << Qt::Key_PageUp << ctrl << 1 << 1;
        QTest::newRow("Ctrl+Down") << 5 << false << Qt::Key_Down << ctrl << 12 << 1;
        QTest::newRow("Ctrl+Page Down") << 5 << false << Qt::Key_PageDown << ctrl << 12 << 1;
        QTest::newRow("Ctrl+Home") << 30 << false << Qt::Key_Home << ctrl << 1 << 1;
        QTest::newRow("Ctrl+End") << 3 << false << Qt::Key_End << ctrl << 40 << 1;
        QTest::newRow("Home") << 5 << false << Qt::Key_Home << none << 5 << 0;
        QTest::newRow("End") << 5 << false << Qt::Key_End << none << 5 << 3;
        QTest::newRow("Left") << 5 << false << Qt::Key_Left << none << 5 << 0;
        QTest::newRow("Right") << 5 << false << Qt::Key_Right << none << 5 << 2;
        QTest::newRow("Ctrl+Left") << 5 << false << Qt::Key_Left << ctrl << 5 << 0;
        QTest::newRow("Ctrl+Right") << 5 << false << Qt::Key_Right << ctrl << 5 << 3;
        QTest::newRow("Tab") << 5 << false << Qt::Key_Tab << none << 6 << 1;
        QTest::newRow("Shift+Tab") << 5 << false << Qt::Key_Backtab << shift << 4 << 1;
        QTest::newRow("Insert") << 5 << false << Qt::Key_Insert << none << 5 << 1;
        QTest::newRow("Delete") << 5 << false << Qt::Key_Delete << none << 5 << 1;
        QTest::newRow("Ctrl+Delete") << 5 << false << Qt::Key_Delete << ctrl << 5 << 1;
        QTest::newRow("Escape in browse") << 5 << false << Qt::Key_Escape << none << 5 << 1;
        // On an untouched new row (New): Up and Escape drop it, Down does nothing.
        QTest::newRow("new row, Up") << 5 << true << Qt::Key_Up << none << 40 << 1;
        QTest::newRow("new row, Down") << 5 << true << Qt::Key_Down << none << 0 << 1;
        QTest::newRow("new row, Escape") << 5 << true << Qt::Key_Escape << none << 40 << 1;
        QTest::newRow("new row, Shift+Tab") << 5 << true << Qt::Key_Backtab << shift << 40 << 1;
    }

    void keys() {
        QFETCH(int, start);
        QFETCH(bool, appended);
        QFETCH(Qt::Key, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(int, row);
        QFETCH(int, column);
        set_->MoveBy(start - 1);
        QTest::keyClick(grid_, Qt::Key_Right);  // column 1, away from both ends
        if (appended) {
            set_->Append();
        }
        QTest::keyClick(grid_, key, modifiers);
        QCOMPARE(currentRow(), row);
        QCOMPARE(grid_->currentColumn(), column);
        QCOMPARE(grid_->currentLine(), set_->ActiveRecord());
        QVERIFY(grid_->hasFocus());  // Tab and Shift+Tab never leave the grid
        QCOMPARE(set_->State(), row == 0 ? DataSetState::Insert : DataSetState::Browse);
    }

    void escapeCancelsAChangeStartedElsewhere() {
        set_->MoveBy(2);
        other_->setFocus();
        set_->Edit();
        set_->FieldByName("Vytisk").SetAsString("Jiný titul");
        QCOMPARE(cellText(0, 2), QStringLiteral("Jiný titul"));  // shown before any post
        grid_->setFocus();
        QTest::keyClick(grid_, Qt::Key_Escape);
        QCOMPARE(set_->State(), DataSetState::Browse);
        QCOMPARE(cellText(0, 2), title(3));
    }

    void cellEditorIsReadOnlyAndFollowsTheCurrentCell() {
        set_->MoveBy(1);  // an even row: its memo holds text
        QTest::keyClick(grid_, Qt::Key_End);
        QTest::keyClick(grid_, Qt::Key_X);
        GridCellEditor* editor = grid_->cellEditor();
        QVERIFY(editor->isVisible());
        QVERIFY(editor->isReadOnly());
        QCOMPARE(editor->text(), QStringLiteral("(MEMO)"));
        QCOMPARE(editor->selectedText(), QStringLiteral("(MEMO)"));
        QCOMPARE(editor->geometry(), grid_->geometry().dataCell(grid_->columns(), 3, 1));
        shoot("editor");
        QTest::keyClick(editor, Qt::Key_F2);
        QVERIFY(editor->selectedText().isEmpty());
        QCOMPARE(editor->cursorPosition(), 6);
        QTest::keyClick(editor, Qt::Key_Down);  // a key of the grid: the row moves, it closes
        QCOMPARE(currentRow(), 3);
        QVERIFY(!editor->isVisible());
        QCOMPARE(cellText(3, 2), QStringLiteral("(Memo)"));
        QTest::keyClick(grid_, Qt::Key_Return);
        QVERIFY(editor->isVisible());
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY(!editor->isVisible());
        QVERIFY(grid_->hasFocus());
    }

    void mousePressesMoveToTheirLine() {
        const auto press = [this](Qt::MouseButton button, QPoint point) {
            QTest::mousePress(grid_->viewport(), button, Qt::NoModifier, point);
            QTest::mouseRelease(grid_->viewport(), button, Qt::NoModifier, point);
        };
        const GridGeometry& geometry = grid_->geometry();
        press(Qt::RightButton, geometry.dataCell(grid_->columns(), 2, 4).center());
        QCOMPARE(currentRow(), 5);
        QCOMPARE(grid_->currentColumn(), 2);
        QVERIFY(!grid_->editorOpen());
        press(Qt::LeftButton, geometry.indicatorCell(7).center());
        QCOMPARE(currentRow(), 8);
        QCOMPARE(grid_->currentColumn(), 2);
        press(Qt::LeftButton, geometry.dataCell(grid_->columns(), 2, 1).center());
        QCOMPARE(currentRow(), 2);
        QVERIFY(!grid_->editorOpen());
        press(Qt::LeftButton, geometry.dataCell(grid_->columns(), 2, 1).center());
        QVERIFY(grid_->editorOpen());  // a left click on the current cell
        // The focused control refuses to let the focus go: the press does nothing more.
        auto* refusing = new RefusingEdit(window_.get());
        refusing->show();
        refusing->setFocus();
        press(Qt::LeftButton, geometry.dataCell(grid_->columns(), 0, 9).center());
        QCOMPARE(currentRow(), 2);
        grid_->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(currentRow(), 2);
        QVERIFY(refusing->hasFocus());
        delete refusing;
        // The wheel moves the current row, one row a notch.
        QWheelEvent notch(QPointF(50, 50), grid_->viewport()->mapToGlobal(QPointF(50, 50)),
                          QPoint(), QPoint(0, -2 * QWheelEvent::DefaultDeltasPerStep), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(grid_->viewport(), &notch);
        QCOMPARE(currentRow(), 4);
        QCOMPARE(grid_->currentLine(), set_->ActiveRecord());
    }

    void titlesResizeAndMoveColumnsUntilTheNextOpening() {
        const GridGeometry& geometry = grid_->geometry();
        const QRect first = geometry.titleCell(grid_->columns(), 1);
        const QPoint line(first.right() + 1, first.center().y());
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, Qt::NoModifier, line + QPoint(3, 0));
        QTest::mouseMove(grid_->viewport(), line + QPoint(-40, 0));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, Qt::NoModifier,
                            line + QPoint(-40, 0));
        QCOMPARE(grid_->columns().at(1).width, first.width() - 40);
        const QPoint cislo = geometry.titleCell(grid_->columns(), 1).center();
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, Qt::NoModifier, cislo);
        QTest::mouseMove(grid_->viewport(), QPoint(geometry.dataLeft() + 2, cislo.y()));
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, Qt::NoModifier,
                            QPoint(geometry.dataLeft() + 2, cislo.y()));
        QCOMPARE(QString::fromStdString(set_->Fields(0).FieldName()), QStringLiteral("Cislo"));
        QCOMPARE(grid_->columns().at(0).title, QStringLiteral("Cislo"));
        QCOMPARE(grid_->currentColumn(), 1);  // the current cell stays on its field
        // Dragged to the grid's right side, the view scrolls sideways on its timer.
        const QPoint edge(grid_->viewport()->width() - 2, cislo.y());
        QTest::mousePress(grid_->viewport(), Qt::LeftButton, Qt::NoModifier, cislo);
        QTest::mouseMove(grid_->viewport(), edge);
        QTRY_VERIFY(grid_->horizontalScrollBar()->value() > 0);
        QTest::mouseRelease(grid_->viewport(), Qt::LeftButton, Qt::NoModifier, edge);
        set_->Close();
        open();
        QCOMPARE(grid_->columns().at(0).title, QStringLiteral("Vytisk"));
        QCOMPARE(grid_->columns().at(1).width, first.width());
    }

    void bothScrollBarForms() {
        QScrollBar* bar = grid_->verticalScrollBar();
        // The whole table: five steps.
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 4);
        QCOMPARE(bar->value(), 0);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(currentRow(), 13);
        QCOMPARE(bar->value(), 2);
        int expected = currentRow() + grid_->shownLines() - grid_->currentLine();
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // below the last line shown
        QCOMPARE(currentRow(), expected);
        release(4);
        QCOMPARE(currentRow(), rowCount);
        QCOMPARE(bar->value(), 4);
        release(1);
        QCOMPARE(currentRow(), rowCount - lines);
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(currentRow(), 1);
        // A search result numbers its rows: 1 to N, a page of L.
        set_->Close();
        set_->ClearSQL();
        set_->AddSQL("select * from qv");
        set_->AddSQL("where Vytisk like 'Titul%'");
        set_->AddSQL("");
        set_->Open();
        QVERIFY(set_->NumbersRows());
        QCOMPARE(bar->minimum(), 1);
        QCOMPARE(bar->maximum(), rowCount);
        QCOMPARE(bar->pageStep(), lines);
        release(25);
        QCOMPARE(currentRow(), 25);
        QCOMPARE(bar->value(), 25);
        expected = currentRow() - grid_->currentLine() - 1;
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // above the first line
        QCOMPARE(currentRow(), expected);
        QCOMPARE(bar->value(), expected);
        release(rowCount);
        QCOMPARE(currentRow(), rowCount);
        set_->Append();
        release(3);
        QCOMPARE(set_->State(), DataSetState::Browse);  // the untouched new row was dropped
        QCOMPARE(currentRow(), 3);
    }

    void theBarTakesItsNumberedFormWhenTheSearchIsCounted() {
        // Ids spanning more than a search counts in its opening: the count runs on its own.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open((directory_ / "qv.db").c_str(), &db), SQLITE_OK);
        const std::string move = "ATTACH '" + (directory_ / "qv.mb").string() +
                                 "' AS mb; UPDATE main.qv SET id = 100000 WHERE id = 40; "
                                 "UPDATE mb.memo SET id = 100000 WHERE id = 40";
        const int moved = sqlite3_exec(db, move.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QCOMPARE(moved, SQLITE_OK);
        auto counting = std::make_shared<std::atomic<bool>>(false);
        engine_->database().setBeforeCountRange([counting] { return counting->load(); });
        set_->Close();
        set_->ClearSQL();
        set_->AddSQL("select * from qv");
        set_->AddSQL("where Vytisk like 'Titul%'");
        set_->Open();
        QVERIFY(set_->CountRunning());
        QScrollBar* bar = grid_->verticalScrollBar();
        QCOMPARE(bar->minimum(), 0);  // unnumbered while the rows are counted
        QCOMPARE(bar->maximum(), 4);
        QCOMPARE(bar->value(), 0);
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(currentRow(), 13);
        QCOMPARE(bar->value(), 2);
        shoot("counting");
        counting->store(true);
        // Without any input the grid learns of the count and numbers the bar.
        QTRY_COMPARE(bar->maximum(), rowCount);
        QVERIFY(set_->NumbersRows());
        QCOMPARE(bar->minimum(), 1);
        QCOMPARE(bar->pageStep(), lines);
        QCOMPARE(bar->value(), 13);
        shoot("counted");
        release(30);
        QCOMPARE(currentRow(), 30);
        QCOMPARE(bar->value(), 30);
    }

    void movesRepaintOnlyWhatChanged() {
        PaintLog log;
        grid_->viewport()->installEventFilter(&log);
        QApplication::processEvents();
        const GridGeometry& geometry = grid_->geometry();
        const int width = grid_->viewport()->width();
        const auto strip = [&](int line) { return geometry.lineStrip(line, width); };
        // Within the lines: the two lines concerned, nothing else.
        log.painted = QRegion();
        QTest::keyClick(grid_, Qt::Key_Down);
        QApplication::processEvents();
        QVERIFY(!log.painted.isEmpty());
        QVERIFY(QRegion(strip(0)).united(strip(1)).contains(log.painted.boundingRect()));
        // Past the last line: the pixels move; the uncovered line and the marks are painted.
        QTest::keyClick(grid_, Qt::Key_Down, Qt::ControlModifier);
        QApplication::processEvents();
        log.painted = QRegion();
        QTest::keyClick(grid_, Qt::Key_Down);
        QApplication::processEvents();
        QCOMPARE(currentRow(), lines + 1);
        QVERIFY(log.painted.intersected(strip(lines - 1)) == QRegion(strip(lines - 1)));
        for (int line = 0; line < lines - 2; ++line) {
            QVERIFY2(log.painted.intersected(strip(line)).isEmpty(),
                     qPrintable(QString::number(line)));
        }
        // A memo written in the current row: its column alone is painted, now "(MEMO)".
        QTest::keyClick(grid_, Qt::Key_End);  // the memo column in view; row 13, memo empty
        set_->Edit();
        QApplication::processEvents();
        log.painted = QRegion();
        QCOMPARE(cellText(3, grid_->currentLine()), QStringLiteral("(Memo)"));
        set_->FieldByName("Obsah_vytisku").SetAsString("Nový obsah");
        QApplication::processEvents();
        QCOMPARE(cellText(3, grid_->currentLine()), QStringLiteral("(MEMO)"));
        const QRect memo = geometry.dataCell(grid_->columns(), 3, grid_->currentLine());
        QVERIFY(log.painted.contains(memo.intersected(grid_->viewport()->rect())));
        QVERIFY(log.painted.subtracted(QRegion(memo.left(), 0, memo.width() + 1, 10000)).isEmpty());
        grid_->viewport()->removeEventFilter(&log);
    }

    void emptyResultShowsOneMarkedLine() {
        set_->Close();
        set_->ClearSQL();
        set_->AddSQL("select * from qv");
        set_->AddSQL("where Vytisk like 'nic%'");
        set_->AddSQL("");
        set_->Open();
        QVERIFY(set_->IsEmpty());
        QCOMPARE(grid_->shownLines(), 1);
        QCOMPARE(cellText(3, 0), QStringLiteral("(Memo)"));
        QCOMPARE(cellText(0, 0), QString());
        shoot("empty");
        QTest::keyClick(grid_, Qt::Key_Down);
        QCOMPARE(set_->State(), DataSetState::Browse);
    }

    void leavingTheGridDropsAnUntouchedNewRow() {
        set_->Append();
        other_->setFocus();
        QCOMPARE(set_->State(), DataSetState::Browse);
        QCOMPARE(currentRow(), rowCount);
        // A new row with a value written stays.
        grid_->setFocus();
        set_->Append();
        set_->FieldByName("Vytisk").SetAsString("Nový");
        other_->setFocus();
        QCOMPARE(set_->State(), DataSetState::Insert);
        shoot("nofocus");
    }

    void aFailedDropOnLeavingKeepsTheFocusAndIsReported() {
        set_->Append();
        // Another connection holds the table: reading the rows anew fails once it has waited.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open((directory_ / "qv.db").c_str(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        test::Watchdog watchdog;
        bool gridHadFocusBack = false;
        test::whenActive([](QWidget* window) { return qobject_cast<QMessageBox*>(window); },
                         [&](QWidget* box) {
                             gridHadFocusBack = window_->focusWidget() == grid_;
                             QTest::keyClick(box, Qt::Key_Return);
                         });
        other_->setFocus();
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(gridHadFocusBack);
        QVERIFY(lastEscapedFailureText().contains(QStringLiteral("busy"), Qt::CaseInsensitive));
        QTRY_VERIFY(grid_->hasFocus());
        // Whatever the failed drop left, the grid's current line is the set's current row.
        QCOMPARE(grid_->currentLine(), std::max(0, set_->ActiveRecord()));
        other_->setFocus();
        QCOMPARE(set_->State(), DataSetState::Browse);
    }

  private:
    void open() {
        set_->ClearSQL();
        set_->AddSQL("select * from qv");
        set_->Open();
    }

    // The current row's number by its title; 0 for a new row.
    int currentRow() const {
        const QString text = QString::fromStdString(set_->FieldByName("Vytisk").AsString());
        return text.isEmpty() ? 0 : text.mid(6).toInt();
    }

    QString cellText(int column, int line) const {
        const RowData* row = line < set_->HeldRowCount() ? &set_->HeldRow(line) : nullptr;
        return GridPainter::cellText(grid_->columns().at(column), row);
    }

    void release(int position) {
        QScrollBar* bar = grid_->verticalScrollBar();
        bar->setSliderDown(true);
        bar->setSliderPosition(position);
        bar->setSliderDown(false);
    }

    // With QUORVEL_SCREENSHOTS set, the window as it looks now, for a person to look at.
    void shoot(const char* name) const {
        const QByteArray directory = qgetenv("QUORVEL_SCREENSHOTS");
        if (!directory.isEmpty()) {
            QApplication::processEvents();
            window_->grab().save(QString::fromLocal8Bit(directory) + "/grid-" + name + ".png");
        }
    }

    std::filesystem::path template_;
    std::filesystem::path directory_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<RecordSet> set_;
    std::unique_ptr<DataSource> source_;
    std::unique_ptr<QWidget> window_;
    DBGrid* grid_ = nullptr;
    QLineEdit* other_ = nullptr;
};

QUORVEL_UI_TEST_MAIN(DBGridTest)
#include "DBGridTest.moc"
