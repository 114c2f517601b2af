// A user's session on a catalogue that another running copy keeps writing: the save dialog
// shown and cancelled first, then searches counted in the background, saves of this copy
// racing the other copy's, and exports long enough to show their progress window. Every
// export must be one committed version of the pair: both files sound, every memo with its row.
//
// The catalogue and the export directory come from the environment (QUORVEL_LOCK_CATALOGUE,
// QUORVEL_LOCK_EXPORTS), made by lock_guard_test.sh, which also runs the other copy and traces
// this process's opens, closes and locks of the catalogue's files.
#include <QTest>

#include <sqlite3.h>

#include "MainWindowFixture.h"
#include "export/ExportProgress.h"
#include "export/ExportSaveDialog.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;
namespace fs = std::filesystem;

namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What is wrong with the copy base.db and base.mb as one catalogue; empty when nothing is.
QString faultsOfCopy(const fs::path& base) {
    sqlite3* db = nullptr;
    sqlite3_open_v2((base.string() + ".db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    const std::string attach = "ATTACH '" + base.string() + ".mb' AS mb";
    QStringList faults;
    for (const auto& [sql, expected] : std::initializer_list<std::pair<std::string, QString>>{
             {attach, ""},
             {"PRAGMA main.integrity_check", "ok"},
             {"PRAGMA mb.integrity_check", "ok"},
             {"SELECT count(*) FROM mb.memo WHERE id NOT IN (SELECT id FROM main.qv)", "0"},
             {"SELECT (SELECT token FROM main.qv_pair) = (SELECT token FROM mb.qv_pair)", "1"}}) {
        QString got;
        const auto collect = [](void* into, int, char** values, char**) {
            *static_cast<QString*>(into) += QString::fromUtf8(values[0] ? values[0] : "NULL");
            return 0;
        };
        if (sqlite3_exec(db, sql.c_str(), collect, &got, nullptr) != SQLITE_OK) {
            got = QString::fromUtf8(sqlite3_errmsg(db));
        }
        if (got != expected) {
            faults << QString::fromStdString(sql) + " gave " + got;
        }
    }
    sqlite3_close(db);
    return faults.join("; ");
}

}  // namespace

class LockedSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void exportsAreOneVersionWhileAnotherCopyWrites() {
        const fs::path catalogue = environment("QUORVEL_LOCK_CATALOGUE");
        const fs::path exports = environment("QUORVEL_LOCK_EXPORTS");
        QVERIFY2(!catalogue.empty() && !exports.empty(), "run by lock_guard_test.sh");
        const int rounds = std::getenv("QUORVEL_CI") != nullptr ? 3 : 10;
        fs::current_path(catalogue);
        Watchdog watchdog(600000);
        TForm1 form;
        openWindow(form);

        // Shown once and cancelled: from then on the kept dialog watches the catalogue's
        // directory, where the other copy's journals come and go.
        whenActive<ExportSaveDialog>([](ExportSaveDialog* dialog) { dialog->reject(); });
        openExportByKeys(form);
        QTRY_COMPARE(visibleTopLevels(), QWidgetList{&form});

        // A shared machine's page cache sometimes copies the catalogue faster than the progress
        // window's delay; such an export is still checked, but another is taken in its place.
        int progressShown = 0;
        int taken = 0;
        for (int round = 0; progressShown < rounds && round < 3 * rounds; ++round, ++taken) {
            // A search counted in the background while the other copy commits.
            auto* search = control<QLineEdit>(form, "Edit1");
            search->setText(round % 2 == 0 ? QStringLiteral("Druhá") : QStringLiteral("a"));
            click(control(form, "Button4"));
            // A save of this copy.
            click(control(form, "Button1"));
            click(control(form, "DBEdit1"));
            type(control(form, "DBEdit1"), QStringLiteral("Tato kopie %1").arg(round));
            Answered refusals;
            answerErrorHandler(refusals);
            click(control(form, "Button3"));
            QVERIFY2(refusals.texts.isEmpty(), qPrintable(refusals.texts.join(" | ")));
            QCOMPARE(form.query().State(), DataSetState::Browse);

            const fs::path base = exports / ("kopie" + std::to_string(round));
            bool shown = false;
            QTimer watch;
            watch.callOnTimeout([&shown] {
                for (QWidget* window : QApplication::topLevelWidgets()) {
                    shown = shown || (qobject_cast<ExportProgress*>(window) != nullptr &&
                                      window->isVisible());
                }
            });
            watch.start(10);
            Answered boxes;
            answerDialogs(boxes, {"OK", "OK"});
            whenActive<ExportSaveDialog>(
                [&base](ExportSaveDialog* dialog) { enterName(dialog, base); });
            openExportByKeys(form);
            QTRY_VERIFY_WITH_TIMEOUT(visibleTopLevels() == QWidgetList{&form}, 120000);
            watch.stop();
            QCOMPARE(boxes.texts, QStringList());
            progressShown += shown ? 1 : 0;
            const QString faults = faultsOfCopy(base);
            QVERIFY2(faults.isEmpty(),
                     qPrintable(QStringLiteral("export %1: %2").arg(round).arg(faults)));
            fs::remove(base.string() + ".db");
            fs::remove(base.string() + ".mb");
        }
        // Only an export that runs the event loop while it copies could meet the trap.
        QVERIFY2(progressShown == rounds,
                 qPrintable(QStringLiteral("the progress window showed in %1 of %2 exports")
                                .arg(progressShown)
                                .arg(3 * rounds)));
        qInfo("%d exports taken and found consistent, %d with the progress window", taken,
              progressShown);
    }

    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }
};

QUORVEL_UI_TEST_MAIN(LockedSessionTest)
#include "LockedSessionTest.moc"
