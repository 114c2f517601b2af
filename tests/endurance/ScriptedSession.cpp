// A whole session of the main window, offscreen, as a user would have it: open, the splash,
// search, sort, show all, New, type, Save, find the new row, Delete it, export, about, help,
// close. Run on a small catalogue of its own, it is what valgrind's memcheck watches; given a
// catalogue directory in QUORVEL_SESSION_CATALOGUE (a large one, used as it is) it reports the
// peak memory the session took there.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QWindow>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "../ui/UiTestSupport.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "export/ExportSaveDialog.h"
#include "query/Cursor.h"
#include "query/RowData.h"
#include "windows/AboutWindow.h"
#include "windows/HelpWindow.h"
#include "windows/MainWindow.h"
#include "windows/SplashWindow.h"

using namespace quorvel;
using namespace quorvel::ui;

namespace {

// The kernel's record of this process's peak resident memory, in KiB; 0 when unknown.
long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

void closeByItsCloseBox(QWidget* window) {
    window->windowHandle()->close();
}

}  // namespace

class ScriptedSession : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        char pattern[] = "/tmp/quorvel-session-XXXXXX";
        scratch_ = ::mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        if (const char* given = std::getenv("QUORVEL_SESSION_CATALOGUE")) {
            catalogue_ = given;
        } else {
            catalogue_ = scratch_ / "katalog";
            std::filesystem::create_directory(catalogue_);
            makeCatalogue(catalogue_, 300);
        }
        std::filesystem::current_path(catalogue_);
    }

    void cleanupTestCase() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(scratch_);
        const long peak = peakResidentKiB();
        std::printf("session: peak resident memory %ld KiB\n", peak);
        if (std::getenv("QUORVEL_SESSION_CATALOGUE") != nullptr) {
            QVERIFY2(peak > 0 && peak < 100 * 1024, "the session took 100 MB or more");
        }
    }

    void wholeSession() {
        TForm1 form;
        {
            test::Watchdog watchdog;
            test::whenActive<TForm2>(closeByItsCloseBox);
            form.show();
            form.activateWindow();
            QTRY_VERIFY_WITH_TIMEOUT(form.firstActivationDone(), 60000);
        }
        RecordSet& query = form.query();
        QCOMPARE(query.State(), DataSetState::Browse);

        // Search the titles, sort both ways, then back to the editable whole table.
        child<QLineEdit>(form, "Edit1")->setText(QStringLiteral("t"));
        child<QPushButton>(form, "Button4")->click();
        QCOMPARE(query.State(), DataSetState::Browse);
        QVERIFY(!query.IsEmpty());
        child<QRadioButton>(form, "RadioButton3")->click();
        QVERIFY(!query.CanModify());
        child<QRadioButton>(form, "RadioButton2")->click();
        child<QRadioButton>(form, "RadioButton1")->click();
        child<QPushButton>(form, "Button5")->click();
        QVERIFY(query.CanModify());

        // New, type into every control, Save.
        child<QPushButton>(form, "Button1")->click();
        QCOMPARE(query.State(), DataSetState::Insert);
        QTest::keyClicks(child<QLineEdit>(form, "DBEdit1"), "Sezeni pod dohledem");
        QTest::keyClicks(child<QLineEdit>(form, "DBEdit2"), "7/2026");
        QTest::keyClicks(child<QLineEdit>(form, "DBEdit3"), "vse");
        QTest::keyClicks(child<QPlainTextEdit>(form, "DBMemo1"), "Obsah zapsany v sezeni.");
        child<QPushButton>(form, "Button3")->click();
        QCOMPARE(query.State(), DataSetState::Browse);

        // Find it again, and delete it, answering the question with Yes.
        child<QLineEdit>(form, "Edit1")->setText(QStringLiteral("Sezeni pod dohledem"));
        child<QPushButton>(form, "Button4")->click();
        QCOMPARE(query.FieldByName("Obsah_vytisku").AsString(),
                 std::string("Obsah zapsany v sezeni."));
        {
            test::Watchdog watchdog;
            test::whenActive([](QWidget* window) { return window->windowTitle() == "Confirm"; },
                             [](QWidget* window) {
                                 window->findChild<QPushButton*>(QStringLiteral("Yes"))->click();
                             });
            child<QPushButton>(form, "Button2")->click();
        }
        QVERIFY(query.IsEmpty());
        child<QPushButton>(form, "Button5")->click();

        // Export the table under a name in the scratch directory.
        const std::filesystem::path target = scratch_ / "zaloha";
        {
            test::Watchdog watchdog;
            test::whenActive<ExportSaveDialog>([target](ExportSaveDialog* dialog) {
                auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                name->setText(QString::fromStdString(target.string()));
                QTest::keyClick(name, Qt::Key_Return);
            });
            form.findChild<QAction*>(QStringLiteral("Exportovatdatabzi1"))->trigger();
        }
        QCOMPARE(std::filesystem::file_size(target.string() + ".db"),
                 std::filesystem::file_size(catalogue_ / "qv.db"));
        QCOMPARE(std::filesystem::file_size(target.string() + ".mb"),
                 std::filesystem::file_size(catalogue_ / "qv.mb"));
        std::filesystem::remove(target.string() + ".db");
        std::filesystem::remove(target.string() + ".mb");

        // About and help, each closed by its close box; then the program's own Zavřít.
        {
            test::Watchdog watchdog;
            test::whenActive<TForm3>(closeByItsCloseBox);
            form.findChild<QAction*>(QStringLiteral("About1"))->trigger();
        }
        {
            test::Watchdog watchdog;
            test::whenActive<TForm5>(closeByItsCloseBox);
            form.findChild<QAction*>(QStringLiteral("Npovda2"))->trigger();
        }
        form.findChild<QAction*>(QStringLiteral("Zavt1"))->trigger();
        QVERIFY(!form.isVisible());
        QVERIFY2(test::visibleTopLevels().isEmpty(), "a window was left open");
    }

  private:
    template <typename Control>
    static Control* child(QWidget& form, const char* name) {
        auto* control = form.findChild<Control*>(QString::fromLatin1(name));
        if (control == nullptr) {
            qFatal("no control %s", name);
        }
        return control;
    }

    static void makeCatalogue(const std::filesystem::path& directory, int rows) {
        schema::createTable(directory);
        Engine engine(directory);
        auto cursor = Cursor::open(engine.database(), "select * from qv", true);
        for (int i = 1; i <= rows; ++i) {
            RowData row;
            row.strings = {"Titul " + std::to_string(i), std::to_string(i % 12 + 1) + "/1999",
                           "části " + std::to_string(i)};
            row.memo = "Obsah výtisku " + std::to_string(i) + std::string(200 + i % 700, '.');
            row.memoChanged = true;
            cursor->insertRow(row);
        }
    }

    std::filesystem::path scratch_;
    std::filesystem::path previous_;
    std::filesystem::path catalogue_;
};

QUORVEL_UI_TEST_MAIN(ScriptedSession)
#include "ScriptedSession.moc"
