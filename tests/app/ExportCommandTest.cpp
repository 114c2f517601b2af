// The export as the user reaches it: "&Program" → "&Exportovat databázi" by keys, a name typed
// into the save dialog, and the boxes that follow. The copy itself is tested with the export;
// here the menu, the dialog, StartDir and the boxes are proved to be joined to it.
#include <QFileDialog>
#include <QTest>

#include <fstream>
#include <iterator>

#include "MainWindowFixture.h"
#include "export/ExportSaveDialog.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;
namespace fs = std::filesystem;

namespace {

const QString copyFailed = QStringLiteral("Nepodařilo se zkopírovat soubor!");

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

}  // namespace

class ExportCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        directory_ = std::make_unique<WorkingDirectory>();
        makeCatalogue(directory_->path(), {{"Vesmír", "3/2019", "Černé díry", "O hvězdách"},
                                           {"Reflex", "7/2010", "Rozhovor", "Politika"}});
        backups_ = directory_->path() / "zaloha";
        fs::create_directory(backups_);
        watchdog_ = std::make_unique<Watchdog>();
        form_ = std::make_unique<TForm1>();
        openWindow(*form_);
        table_ = {contents("qv.db"), contents("qv.mb")};
    }

    void cleanup() {
        form_.reset();
        watchdog_.reset();
        directory_.reset();
        QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open");
    }

    void copiesThePairUnderTheChosenName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("existing");  // a file there before, with its own bytes
        QTest::addColumn<QString>("target");
        QTest::newRow("new name") << "kopie" << QString() << "kopie";
        QTest::newRow("existing x.db") << "x.db"
                                       << "x.db"
                                       << "x.db";
        QTest::newRow("over an existing copy") << "kopie"
                                               << "kopie.db"
                                               << "kopie";
    }

    // From StartDir, whatever the working directory is by then; without a question.
    void copiesThePairUnderTheChosenName() {
        QFETCH(QString, chosen);
        QFETCH(QString, existing);
        QFETCH(QString, target);
        const std::string old(100000, 'x');
        if (!existing.isEmpty()) {
            write(backups_ / existing.toStdString(), old);
        }
        fs::current_path(backups_);
        QCOMPARE(exportAs(backups_ / chosen.toStdString()), QStringList());
        QCOMPARE(contents(backups_ / (target + ".db").toStdString()), table_.first);
        QCOMPARE(contents(backups_ / (target + ".mb").toStdString()), table_.second);
        if (existing == chosen) {
            QCOMPARE(contents(backups_ / existing.toStdString()), old);
        }
    }

    void withTheTableFilesGoneEachFailsAndTheTargetsStay() {
        write(backups_ / "kopie.db", "a");
        write(backups_ / "kopie.mb", "b");
        fs::rename("qv.db", backups_ / "jinde.db");
        fs::rename("qv.mb", backups_ / "jinde.mb");
        QCOMPARE(exportAs(backups_ / "kopie"), (QStringList{copyFailed, copyFailed}));
        QCOMPARE(contents(backups_ / "kopie.db"), std::string("a"));
        QCOMPARE(contents(backups_ / "kopie.mb"), std::string("b"));
    }

    void ontoItselfIsRefusedAndTheTableUntouched() {
        QCOMPARE(exportAs(directory_->path() / "qv"), (QStringList{copyFailed, copyFailed}));
        QCOMPARE(contents("qv.db"), table_.first);
        QCOMPARE(contents("qv.mb"), table_.second);
        QCOMPARE(storedTitles(directory_->path()), (QStringList{"Vesmír", "Reflex"}));
    }

    void aNameInAMissingDirectoryKeepsTheDialogOpen() {
        QString warning;
        bool dialogStillOpen = false;
        whenActive<ExportSaveDialog>([&](ExportSaveDialog* dialog) {
            whenActive<QMessageBox>([&, dialog](QMessageBox* box) {
                warning = box->text();
                box->button(QMessageBox::Ok)->click();
                QTimer::singleShot(50, dialog, [&, dialog] {
                    dialogStillOpen = dialog->isVisible();
                    dialog->reject();
                });
            });
            enterName(dialog, backups_ / "nikde" / "kopie");
        });
        openExportByKeys(*form_);
        QTRY_VERIFY(!warning.isEmpty());
        QVERIFY2(warning.contains("nikde"), qPrintable(warning));
        QVERIFY(dialogStillOpen);
        QVERIFY(!fs::exists(backups_ / "nikde"));
    }

    void theDialogAsksAsTheExportNeeds() {
        whenActive<ExportSaveDialog>([](ExportSaveDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Uložit seznam do adresáře"));
            QCOMPARE(dialog->nameFilters(), QStringList{"Databázové soubory (*.db *.mb)"});
            QVERIFY(dialog->defaultSuffix().isEmpty());
            QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
            QVERIFY(dialog->isSizeGripEnabled());
            dialog->reject();
        });
        openExportByKeys(*form_);
        QTRY_COMPARE(visibleTopLevels(), QWidgetList{form_.get()});
        QVERIFY(fs::is_empty(backups_));
    }

  private:
    // Exports to base by the menu and the dialog; gives the texts of the boxes that followed.
    QStringList exportAs(const fs::path& base) {
        Answered shown;
        whenActive<ExportSaveDialog>([&](ExportSaveDialog* dialog) { enterName(dialog, base); });
        answerDialogs(shown, {"OK", "OK"});
        openExportByKeys(*form_);
        if (!QTest::qWaitFor([this] { return visibleTopLevels() == QWidgetList{form_.get()}; })) {
            shown.texts << "a window was left open";
        }
        QTest::qWait(100);
        return shown.texts;
    }

    std::unique_ptr<WorkingDirectory> directory_;
    fs::path backups_;
    std::unique_ptr<Watchdog> watchdog_;
    std::unique_ptr<TForm1> form_;
    std::pair<std::string, std::string> table_;
};

QUORVEL_UI_TEST_MAIN(ExportCommandTest)
#include "ExportCommandTest.moc"
