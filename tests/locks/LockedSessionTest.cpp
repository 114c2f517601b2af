// A user's session on a catalogue that another running copy keeps writing: the save dialog
// shown and cancelled first, then searches counted in the background, saves of this copy
// racing the other copy's, and exports held midway with their progress window up. Every
// export must be one committed version of the pair: both files sound, every memo with its row.
//
// The catalogue and the export directory come from the environment (QUORVEL_LOCK_CATALOGUE,
// QUORVEL_LOCK_EXPORTS), made by lock_guard_test.sh, which also runs the other copy, counts
// its attempts to commit in the file QUORVEL_LOCK_ATTEMPTS, and traces this process's opens,
// closes and locks of the catalogue's files.
#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include "MainWindowFixture.h"
#include "export/CatalogueExport.h"
#include "export/CopyIo.h"
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

// The export's file operations, holding the copy once its progress window is up: the copy
// waits with its read lock held and both files open while the event loop runs, until the other
// copy has tried to commit twice more, its journals coming and going in the directory the save
// dialog watches. That is when anything that opens and closes the catalogue's files on an
// event would drop the locks. The first step waits out the window's delay, so the window comes
// at the copy's first report whatever the machine's speed.
class HeldCopy : public CopyIo {
  public:
    HeldCopy(sqlite3* engine, fs::path attempts)
        : engine_(engine), attempts_(std::move(attempts)) {}

    std::size_t read(CopySource& source, std::uint64_t offset,
                     std::span<std::byte> buffer) override {
        pace();
        return CopyIo::read(source, offset, buffer);
    }
    std::optional<std::size_t> copyRange(CopySource& source, std::uint64_t offset, int target,
                                         std::size_t count) override {
        pace();
        return CopyIo::copyRange(source, offset, target, count);
    }

    // Whether the copy was held with the progress window up.
    bool held() const { return held_; }
    // Whether the engine's read transaction, the export's lock, was found ended at a step.
    bool lockLost() const { return lockLost_; }

  private:
    void pace() {
        lockLost_ = lockLost_ || sqlite3_get_autocommit(engine_) != 0;
        if (!sinceFirstStep_.isValid()) {
            sinceFirstStep_.start();
            while (sinceFirstStep_.elapsed() <= ExportProgress::delayMs) {
                QThread::msleep(10);
            }
            return;
        }
        if (held_ || !progressShown()) {
            return;
        }
        held_ = true;
        const std::uintmax_t before = attempts();
        while (attempts() < before + 2) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            lockLost_ = lockLost_ || sqlite3_get_autocommit(engine_) != 0;
            QThread::msleep(5);
        }
    }
    static bool progressShown() {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<ExportProgress*>(window) != nullptr && window->isVisible()) {
                return true;
            }
        }
        return false;
    }
    std::uintmax_t attempts() const {
        std::error_code missing;
        const std::uintmax_t size = fs::file_size(attempts_, missing);
        return missing ? 0 : size;
    }

    sqlite3* engine_;
    fs::path attempts_;
    QElapsedTimer sinceFirstStep_;
    bool held_ = false;
    bool lockLost_ = false;
};

}  // namespace

class LockedSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void exportsAreOneVersionWhileAnotherCopyWrites() {
        const fs::path catalogue = environment("QUORVEL_LOCK_CATALOGUE");
        const fs::path exports = environment("QUORVEL_LOCK_EXPORTS");
        const fs::path attempts = environment("QUORVEL_LOCK_ATTEMPTS");
        QVERIFY2(!catalogue.empty() && !exports.empty() && !attempts.empty(),
                 "run by lock_guard_test.sh");
        const int rounds = std::getenv("QUORVEL_LONG") == nullptr ? 3 : 10;
        fs::current_path(catalogue);
        Watchdog watchdog(600000);
        TForm1 form;
        openWindow(form);

        for (int round = 0; round < rounds; ++round) {
            // Shown and cancelled: from then on the kept dialog watches the catalogue's
            // directory, where the other copy's journals come and go.
            whenActive<ExportSaveDialog>([](ExportSaveDialog* dialog) { dialog->reject(); });
            openExportByKeys(form);
            QTRY_COMPARE(visibleTopLevels(), QWidgetList{&form});
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

            // The export the menu runs, its copy held midway.
            const fs::path base = exports / ("kopie" + std::to_string(round));
            HeldCopy io(form.engine().database().handle(), attempts);
            CatalogueExport exporter(form.engine().database(), io);
            const std::vector<std::string> messages =
                exportWithProgress(form, exporter, form.startDir(), base.string());
            QVERIFY2(messages.empty(), messages.empty() ? "" : messages.front().c_str());
            QVERIFY2(io.held(), qPrintable(QStringLiteral("export %1 was never held with its "
                                                          "progress window up")
                                               .arg(round)));
            QVERIFY2(!io.lockLost(), "the export's read transaction ended before its copy");
            QCOMPARE(visibleTopLevels(), QWidgetList{&form});
            const QString faults = faultsOfCopy(base);
            QVERIFY2(faults.isEmpty(),
                     qPrintable(QStringLiteral("export %1: %2").arg(round).arg(faults)));
            fs::remove(base.string() + ".db");
            fs::remove(base.string() + ".mb");
        }
        qInfo("%d exports held midway and found consistent", rounds);
    }

    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }
};

QUORVEL_UI_TEST_MAIN(LockedSessionTest)
#include "LockedSessionTest.moc"
