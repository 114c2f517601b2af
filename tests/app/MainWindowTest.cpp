// The main window's frame, menu and life: the table opened while the window is built, the
// first activation, and a start without the table.
#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>
#include <filesystem>
#include <optional>

#include "../ui/UiTestSupport.h"
#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "fields/DBMemo.h"
#include "grid/DBGrid.h"
#include "messages/MessageDialog.h"
#include "query/Cursor.h"
#include "windows/MainWindow.h"
#include "windows/SplashWindow.h"

using namespace quorvel;
using namespace quorvel::ui;

// Notes, as the splash is shown, whether the window had painted its rows; closes the splash.
class SplashWatch : public QObject {
  public:
    explicit SplashWatch(const TForm1& form) : form_(form) { qApp->installEventFilter(this); }
    ~SplashWatch() override { qApp->removeEventFilter(this); }
    std::optional<bool> rowsPaintedFirst;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<TForm2*>(watched) != nullptr) {
            rowsPaintedFirst = form_.firstScreenPainted();
            QTimer::singleShot(0, static_cast<QWidget*>(watched), &QWidget::close);
        }
        return false;
    }

  private:
    const TForm1& form_;
};

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        char pattern[] = "/tmp/quorvel-mainwindow-XXXXXX";
        directory_ = ::mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(directory_);
    }

    void cleanup() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(directory_);
        QVERIFY2(test::visibleTopLevels().isEmpty(), "a window was left open");
    }

    void frameHasItsStoredMeasuresAndMenu() {
        makeCatalogue(2);
        TForm1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel 1.1"));
        QCOMPARE(form.minimumSize(), form.maximumSize());  // not resizable
        // Shown, the client area keeps its stored size right under the whole menu bar.
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QMenuBar* menu = form.menuBar();
        QCOMPARE(menu->geometry(), QRect(0, 0, 738, menu->heightForWidth(738)));
        QCOMPARE(form.centralWidget()->geometry(), QRect(0, menu->height(), 738, 521));
        QCOMPARE(form.size(), QSize(738, menu->height() + 521));
        form.close();
        QVERIFY(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(form.font().pixelSize(), 11);

        QStringList captions;
        for (QAction* action : form.menuBar()->actions()) {
            captions << action->objectName() + "=" + action->text();
            if (action->menu() != nullptr) {
                for (QAction* item : action->menu()->actions()) {
                    captions << item->objectName() + "=" + item->text();
                }
            }
        }
        QCOMPARE(captions, (QStringList{"=&Program", "Exportovatdatabzi1=&Exportovat databázi",
                                        "Importovatseznam1=&Importovat seznam…",
                                        "Pehledsbrky1=&Přehled sbírky…", "Zavt1=&Zavřít",
                                        "=&Nápověda", "Npovda2=Ná&pověda", "About1=&About .."}));
    }

    void tableIsOpenBeforeAnyHandlerRuns() {
        makeCatalogue(2);
        TForm1 form;
        QCOMPARE(form.query().State(), DataSetState::Browse);
        QVERIFY(form.query().RequestLive());
        QCOMPARE(form.query().SQL(), (std::vector<std::string>{"select * from qv"}));
        QCOMPARE(form.clauses().BaseClause, std::string("select * from qv"));
        QVERIFY(form.clauses().FilterClause.empty());
        QVERIFY(form.clauses().OrderClause.empty());
        QVERIFY(!form.firstActivationDone());
        // Laid out while the table opened: no scroll area is left for the showing to size.
        for (QWidget* viewport : {form.findChild<DBGrid*>("DBGrid1")->viewport(),
                                  form.findChild<DBMemo*>("DBMemo1")->viewport()}) {
            QVERIFY(!viewport->testAttribute(Qt::WA_PendingResizeEvent));
        }
    }

    // It comes after the first screen: when the splash is shown, the grid has painted its rows.
    void firstActivationTakesTheDirectoryAndRunsTheComposedStatement() {
        makeCatalogue(3);
        TForm1 form;
        SplashWatch watch(form);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_VERIFY(form.firstActivationDone());
        QVERIFY2(watch.rowsPaintedFirst.value_or(false), "the splash came before the rows");
        QCOMPARE(form.startDir(), directory_.string());
        QCOMPARE(form.query().SQL(), (std::vector<std::string>{"select * from qv", "", ""}));
        QCOMPARE(form.query().State(), DataSetState::Browse);
        form.close();
    }

    void aFailureAtTheFirstActivationFindsTheFlagAndTheDirectorySet() {
        makeCatalogue(3);
        TForm1 form;
        // The working directory goes away before the window is first activated.
        std::filesystem::remove_all(directory_);
        test::Watchdog watchdog;
        QString shown;
        bool doneWhenShown = false;
        std::string dirWhenShown;
        test::whenActive<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            doneWhenShown = form.firstActivationDone();
            dirWhenShown = form.startDir();
            box->button(QMessageBox::Ok)->click();
        });
        form.show();
        form.activateWindow();
        QTRY_VERIFY(!shown.isEmpty());
        QVERIFY(doneWhenShown);
        QCOMPARE(dirWhenShown, std::string("."));
        QVERIFY2(shown.startsWith("Cannot read the current directory: "), qPrintable(shown));
        // The program goes on with the rows of the stored statement.
        QCOMPARE(form.query().State(), DataSetState::Browse);
        QCOMPARE(form.query().SQL(), (std::vector<std::string>{"select * from qv"}));
        form.close();
    }

    void returningFromAModalWindowIsNoActivation() {
        makeCatalogue(3);
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTRY_VERIFY(form.firstActivationDone());
        // The splash gives the activation back when it closes.
        QTRY_VERIFY(form.isActiveWindow());
        form.query().MoveBy(2);
        test::Watchdog watchdog;
        test::whenActive([](QWidget* window) { return window->windowTitle() == "Confirm"; },
                         [](QWidget* window) { QTest::keyClick(window, Qt::Key_Escape); });
        QCOMPARE(ShowMessageDialog("Opravdu chcete odstranit vybraný záznam?",
                                   MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No),
                 ResultNo);
        QTRY_VERIFY(form.isActiveWindow());
        QTest::qWait(50);
        // A new activation would have run the statement again and made the first row current.
        QCOMPARE(form.query().FieldByName("Vytisk").AsString(), std::string("Titul 3"));
        form.close();
    }

    void zavritClosesTheMainWindow() {
        makeCatalogue(1);
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QAction* zavrit = form.findChild<QAction*>("Zavt1");
        QVERIFY(zavrit != nullptr);
        zavrit->trigger();
        QVERIFY(!form.isVisible());
    }

    void startingWithoutTheTableFailsBeforeAnyWindowIsShown() {
        try {
            TForm1 form;
            QFAIL("the main window was built without a table");
        } catch (const EDBEngineError& error) {
            QVERIFY(error.message().find("Table does not exist.") != std::string::npos);
            QVERIFY(error.message().find("qv.db") != std::string::npos);
        }
        QVERIFY(test::visibleTopLevels().isEmpty());
    }

    void damagedTableFailsTheStartToo() {
        makeCatalogue(1);
        std::filesystem::resize_file(directory_ / "qv.mb", 100);
        QVERIFY_THROWS_EXCEPTION(EDBEngineError, TForm1());
    }

  private:
    void makeCatalogue(int rows) {
        schema::createTable(directory_);
        Engine engine(directory_);
        auto cursor = Cursor::open(engine.database(), "select * from qv", true);
        for (int i = 1; i <= rows; ++i) {
            RowData row;
            row.strings[0] = "Titul " + std::to_string(i);
            cursor->insertRow(row);
        }
    }

    std::filesystem::path directory_;
    std::filesystem::path previous_;
};

QUORVEL_UI_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
