// A user's session on a catalogue that another running copy keeps writing: the save dialog
// shown and cancelled first, then searches counted in the background, saves of this copy
// racing the other copy's, and exports long enough to show their progress window. Every
// export must be one committed version of the pair: both files sound, every memo with its row.
//
// The catalogue and the export directory come from the environment (QUORVEL_LOCK_CATALOGUE,
// QUORVEL_LOCK_EXPORTS), made by lock_guard_test.sh, which also runs the other copy and traces
// this process's opens, closes and locks of the catalogue's files.
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMenu>
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

std::string singleText(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    std::string text = "(no result)";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        const auto* value = sqlite3_column_text(statement, 0);
        text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
    } else {
        text = sqlite3_errmsg(db);
    }
    sqlite3_finalize(statement);
    return text;
}

// What is wrong with the copy base.db and base.mb as one catalogue; empty when nothing is.
QString faultsOfCopy(const fs::path& base) {
    sqlite3* db = nullptr;
    const std::string rows = base.string() + ".db";
    if (sqlite3_open_v2(rows.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "can't open " + QString::fromStdString(rows);
    }
    const std::string attach = "ATTACH '" + base.string() + ".mb' AS mb";
    sqlite3_exec(db, attach.c_str(), nullptr, nullptr, nullptr);
    const std::pair<const char*, const char*> checks[] = {
        {"PRAGMA main.integrity_check", "ok"},
        {"PRAGMA mb.integrity_check", "ok"},
        {"SELECT count(*) FROM mb.memo WHERE id NOT IN (SELECT id FROM main.qv)", "0"},
        {"SELECT (SELECT token FROM main.qv_pair) = (SELECT token FROM mb.qv_pair)", "1"},
    };
    QStringList faults;
    for (const auto& [sql, expected] : checks) {
        const std::string got = singleText(db, sql);
        if (got != expected) {
            faults << QStringLiteral("%1 gave %2").arg(sql, QString::fromStdString(got));
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
        openExport(form);
        QTRY_COMPARE(visibleTopLevels(), QWidgetList{&form});

        int progressShown = 0;
        for (int round = 0; round < rounds; ++round) {
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
            whenActive<ExportSaveDialog>([&base](ExportSaveDialog* dialog) {
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                name->setText(QString::fromStdString(base.string()));
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
            });
            openExport(form);
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
                                .arg(rounds)));
        qInfo("%d exports taken and found consistent", rounds);
    }

    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }

  private:
    static void openExport(TForm1& form) {
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
        auto* menu = form.findChild<QMenu*>("Soubor1");
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_E);
    }
};

QUORVEL_UI_TEST_MAIN(LockedSessionTest)
#include "LockedSessionTest.moc"
