// "Importovat seznam…" as the user reaches it: Alt+P, I, a file chosen in the dialog, the
// preview read from a real file (CSV in Windows-1250 and UTF-8, and a workbook LibreOffice
// wrote), "Importovat", and the grid and the catalogue's files afterwards. The reading and the
// import themselves are qvtool's and tested there; here the preview is proved to show what they
// would do, and the window to add all or nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QTableWidget>
#include <QTest>

#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "MainWindowFixture.h"
#include "import/ImportOpenDialog.h"
#include "import/ImportPreviewDialog.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;
namespace fs = std::filesystem;

namespace {

const fs::path data = QUORVEL_TEST_DATA;

// Windows-1250 with semicolons, as a Czech spreadsheet saves CSV; a memo over two lines.
const std::string windows1250 =
    "N\xE1zev;\xC8\xEDslo;Obsah\r\n"
    "\xC8ten\xED pro \x9E"
    "eny;3/1998;\"Prvn\xED\r\ndruh\xFD\"\r\n"
    "\x8A\x9D"
    "astn\xFD domov;12/2001;\r\n";
// UTF-8 with commas: a row without a title and one with a field too many.
const std::string refused = "Vytisk,Cislo\nReflex,7/2010\n,3/1999\nVesmír,1/2000,navíc\n";

// UTF-16LE without a byte-order mark: "Vytisk;Cislo", "Život;1/2000".
const std::string utf16 = [] {
    std::string bytes;
    for (const char16_t unit : std::u16string(u"Vytisk;Cislo\r\nŽivot;1/2000\r\n")) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}();

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

QStringList cells(const QTableWidget* table, int row) {
    QStringList texts;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem* item = table->item(row, column);
        texts << (item != nullptr ? item->text() : QString());
    }
    return texts;
}

QStringList lines(const QListView* list) {
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        texts << list->model()->index(row, 0).data().toString();
    }
    return texts;
}

// Everything the preview shows, read off its controls.
struct Shown {
    QString form;
    QStringList sources;
    QStringList firstRow;
    QStringList refusals;
    QString count;
    bool importEnabled = false;
    bool choicesEnabled = false;
};

Shown shownBy(ImportPreviewDialog* dialog) {
    Shown shown;
    shown.form = dialog->findChild<QLabel*>("Form")->text();
    const auto* columns = dialog->findChild<QTableWidget*>("Columns");
    for (int row = 0; row < columns->rowCount(); ++row) {
        shown.sources << cells(columns, row).value(1);
    }
    const auto* rows = dialog->findChild<QTableWidget*>("Rows");
    shown.firstRow = rows->rowCount() > 0 ? cells(rows, 0) : QStringList();
    shown.refusals = lines(dialog->findChild<QListView*>("Refusals"));
    shown.count = dialog->findChild<QLabel*>("Count")->text();
    shown.importEnabled = dialog->findChild<QPushButton*>("Import")->isEnabled();
    shown.choicesEnabled = dialog->findChild<QComboBox*>("Encoding")->isEnabled() &&
                           dialog->findChild<QComboBox*>("Delimiter")->isEnabled();
    return shown;
}

}  // namespace

class ImportCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        directory_ = std::make_unique<WorkingDirectory>();
        makeCatalogue(directory_->path(), {{"Vesmír", "3/2019", "Černé díry", "O hvězdách"},
                                           {"Reflex", "7/2010", "Rozhovor", "Politika"}});
        lists_ = directory_->path() / "seznamy";
        fs::create_directory(lists_);
        watchdog_ = std::make_unique<Watchdog>(30000);
        form_ = std::make_unique<TForm1>();
        openWindow(*form_);
    }

    void cleanup() {
        form_.reset();
        watchdog_.reset();
        directory_.reset();
        QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open");
    }

    void previewShowsHowTheFileReads_data() {
        QTest::addColumn<QString>("file");  // in tests/csv/data, or one of the texts above
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("sources");
        QTest::addColumn<QStringList>("firstRow");
        QTest::addColumn<QStringList>("refusals");
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("importable");
        const QString found = " (zjištěno ze souboru)";
        QTest::newRow("windows-1250, semicolons")
            << "windows1250"
            << "Čte se v kódování Windows-1250" + found + ", pole oddělená středníkem" + found + "."
            << QStringList{"sloupec 1 „Název“", "sloupec 2 „Číslo“", "žádný: pole zůstane prázdné",
                           "sloupec 3 „Obsah“"}
            << QStringList{"řádek 2", "Čtení pro ženy", "3/1998", "", "První↵druhý"}
            << QStringList{} << "Bude importováno: 2 výtisky." << true;
        QTest::newRow("utf-8, refused rows")
            << "refused"
            << "Čte se v kódování UTF-8" + found + ", pole oddělená čárkou" + found + "."
            << QStringList{"sloupec 1 „Vytisk“", "sloupec 2 „Cislo“", "žádný: pole zůstane prázdné",
                           "žádný: pole zůstane prázdné"}
            << QStringList{"řádek 2", "Reflex", "7/2010", "", ""}
            << QStringList{"řádek 3: Tiskopis je prázdný: každý záznam musí mít tiskopis",
                           "řádek 4: řádek má 3 pole, záhlaví 2 sloupce"}
            << "Řádků: 3, odmítnutých: 2. Dokud soubor obsahuje odmítnuté řádky, import "
               "nepřidá žádný z nich."
            << false;
        QTest::newRow("workbook by LibreOffice")
            << "seznam.xlsx"
            << "Sešit tabulkového programu, čte se jeho list „Seznam“."
            << QStringList{"sloupec 1 „Tiskopis“", "sloupec 2 „Číslo výtisku/rok“",
                           "sloupec 3 „Nejzajímavější části“", "sloupec 4 „Obsah výtisku“"}
            << QStringList{"list „Seznam“, řádek 2", "Čtení pro ženy", "3/1998",
                           "„Citát“ – a; \"uvozovky\"…", "První řádek↵druhý řádek"}
            << QStringList{} << "Bude importováno: 3 výtisky. Prázdné řádky se přeskočí: 1."
            << true;
    }

    // Cancelled, it leaves the catalogue as it was.
    void previewShowsHowTheFileReads() {
        QFETCH(QString, file);
        QFETCH(QString, form);
        QFETCH(QStringList, sources);
        QFETCH(QStringList, firstRow);
        QFETCH(QStringList, refusals);
        QFETCH(QString, count);
        QFETCH(bool, importable);
        const std::string before = contents("qv.db") + contents("qv.mb");
        Shown shown;
        choose(list(file), [&](ImportPreviewDialog* dialog) {
            shown = shownBy(dialog);
            dialog->findChild<QPushButton*>("Cancel")->click();
        });
        QCOMPARE(shown.form, form);
        QCOMPARE(shown.sources, sources);
        QCOMPARE(shown.firstRow, firstRow);
        QCOMPARE(shown.refusals, refusals);
        QCOMPARE(shown.count, count);
        QCOMPARE(shown.importEnabled, importable);
        QCOMPARE(shown.choicesEnabled, !file.endsWith(".xlsx"));
        QCOMPARE(contents("qv.db") + contents("qv.mb"), before);
    }

    // The file is read again with each choice, and the import reads it as the last one did.
    void theChoicesReadTheFileAgain() {
        Shown byComma;
        Shown extraLeftOut;
        Shown bySemicolon;
        choose(list("windows1250"), [&](ImportPreviewDialog* dialog) {
            auto* delimiter = dialog->findChild<QComboBox*>("Delimiter");
            auto* ignoreExtra = dialog->findChild<QCheckBox*>("IgnoreExtra");
            delimiter->setCurrentIndex(delimiter->findText("čárka"));
            byComma = shownBy(dialog);
            ignoreExtra->setChecked(true);
            extraLeftOut = shownBy(dialog);
            ignoreExtra->setChecked(false);
            delimiter->setCurrentIndex(delimiter->findText("středník"));
            bySemicolon = shownBy(dialog);
            dialog->findChild<QPushButton*>("Import")->click();
        });
        QCOMPARE(byComma.count,
                 "Soubor nelze importovat: řádek 1: sloupec 1 „Název;Číslo;Obsah“ "
                 "nepatří žádnému poli; zaškrtnutím „Vynechat sloupce, které "
                 "nepatří žádnému poli“ se vynechá");
        QVERIFY(!byComma.importEnabled);
        QCOMPARE(extraLeftOut.count,
                 "Soubor nelze importovat: řádek 1: žádný sloupec nenese "
                 "tiskopis, který potřebuje každý záznam: pojmenujte ho "
                 "například „Tiskopis“ nebo „Název“");
        QCOMPARE(bySemicolon.form,
                 "Čte se v kódování Windows-1250 (zjištěno ze souboru), pole "
                 "oddělená středníkem.");
        QVERIFY(bySemicolon.importEnabled);
        QCOMPARE(storedTitles(directory_->path()),
                 (QStringList{"Vesmír", "Reflex", "Čtení pro ženy", "Šťastný domov"}));
    }

    // UTF-16 without a byte-order mark can't be told; chosen, it reads.
    void anEncodingChosenReadsTheFile() {
        Shown guessed;
        Shown chosen;
        choose(list("utf16"), [&](ImportPreviewDialog* dialog) {
            guessed = shownBy(dialog);
            auto* encoding = dialog->findChild<QComboBox*>("Encoding");
            encoding->setCurrentIndex(encoding->findText("UTF-16LE"));
            chosen = shownBy(dialog);
            dialog->findChild<QPushButton*>("Import")->click();
        });
        QVERIFY2(guessed.count.startsWith("Soubor nelze importovat: řádek 1: kódování souboru "
                                          "nelze zjistit, zvolte ho ("),
                 qPrintable(guessed.count));
        QVERIFY(!guessed.importEnabled);
        QCOMPARE(chosen.form,
                 "Čte se v kódování UTF-16LE, pole oddělená středníkem (zjištěno ze "
                 "souboru).");
        QCOMPARE(storedTitles(directory_->path()), (QStringList{"Vesmír", "Reflex", "Život"}));
    }

    // While another copy has the catalogue open, as the window itself has.
    void importAddsEveryRowAndTheGridShowsThem() {
        Engine otherCopy(directory_->path());
        otherCopy.database();
        choose(list("windows1250"), [](ImportPreviewDialog* dialog) {
            dialog->findChild<QPushButton*>("Import")->click();
        });
        const QStringList all{"Vesmír", "Reflex", "Čtení pro ženy", "Šťastný domov"};
        QCOMPARE(storedTitles(directory_->path()), all);
        QCOMPARE(resultTitles(form_->query()), all);
        // The last row added is the current one; the memo's line break as the file holds it.
        QCOMPARE(form_->query().FieldByName("Vytisk").AsString(), std::string("Šťastný domov"));
        form_->query().MoveBy(-1);
        QCOMPARE(form_->query().FieldByName("Obsah_vytisku").AsString(),
                 std::string("První\r\ndruhý"));
    }

    void aFileWithARefusedRowImportsNothing() {
        const std::string before = contents("qv.db") + contents("qv.mb");
        choose(list("refused"), [](ImportPreviewDialog* dialog) {
            // Enter presses no disabled button.
            QTest::keyClick(dialog, Qt::Key_Return);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QCOMPARE(contents("qv.db") + contents("qv.mb"), before);
        QCOMPARE(resultTitles(form_->query()), (QStringList{"Vesmír", "Reflex"}));
    }

    // Never opened: closing a descriptor of qv.db would drop the engine's locks, and a pipe
    // would hold the window until someone writes to it.
    void neitherTheCatalogueNorAPipeIsRead() {
        const fs::path pipe = lists_ / "roura.csv";
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        Answered shown;
        answerDialogs(shown, {"OK"});
        open(directory_->path() / "seznamy" / ".." / "qv.db");
        answerDialogs(shown, {"OK"});
        open(pipe);
        QCOMPARE(shown.texts,
                 (QStringList{
                     "Soubor " + QString::fromStdString((directory_->path() / "qv.db").string()) +
                         " je soubor databáze, ne seznam.",
                     QString::fromStdString(pipe.string()) + " není soubor se seznamem."}));
    }

    // The new statement after an import would drop it.
    void aChangeBeingTypedIsKeptAndNothingImported() {
        auto* title = control<QLineEdit>(*form_, "DBEdit1");
        click(title);
        QTest::keyClick(title, Qt::Key_End);
        type(title, " opravený");
        Answered shown;
        answerDialogs(shown, {"OK"});
        form_->findChild<QAction*>("Importovatseznam1")->trigger();
        QCOMPARE(shown.texts, QStringList{"Rozepsaný záznam není uložen. Uložte ho prosím a pak "
                                          "seznam importujte."});
        QCOMPARE(form_->query().State(), DataSetState::Edit);
        QCOMPARE(title->text(), "Vesmír opravený");
        QCOMPARE(storedTitles(directory_->path()), (QStringList{"Vesmír", "Reflex"}));
    }

    // Another connection holds the write lock past the engine's busy wait.
    void aBusyCatalogueGivesAnErrorBoxAndChangesNothing() {
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open_v2("qv.db", &writer, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_exec(writer, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        const std::string before = contents("qv.db") + contents("qv.mb");
        Answered shown;
        answerDialogs(shown, {"OK"});
        choose(list("windows1250"), [](ImportPreviewDialog* dialog) {
            dialog->findChild<QPushButton*>("Import")->click();
        });
        sqlite3_exec(writer, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(writer);
        QCOMPARE(shown.texts, QStringList{"Seznam se nepodařilo importovat, databáze zůstala beze "
                                          "změny.\nDatabázi právě zapisuje jiný program. Zkuste "
                                          "to prosím znovu za chvíli."});
        QCOMPARE(contents("qv.db") + contents("qv.mb"), before);
        QCOMPARE(storedTitles(directory_->path()), (QStringList{"Vesmír", "Reflex"}));
    }

  private:
    // The file for a row of the tables: one of the texts above written to the lists' directory,
    // or a file of the test data.
    fs::path list(const QString& name) {
        const std::map<QString, std::string> texts{
            {"windows1250", windows1250}, {"refused", refused}, {"utf16", utf16}};
        if (const auto text = texts.find(name); text != texts.end()) {
            const fs::path file = lists_ / (name.toStdString() + ".csv");
            std::ofstream(file, std::ios::binary) << text->second;
            return file;
        }
        return data / name.toStdString();
    }

    // Alt+P, I; file typed into the dialog and opened; then answer has the preview.
    void choose(const fs::path& file, std::function<void(ImportPreviewDialog*)> answer) {
        whenActive<ImportPreviewDialog>(answer);
        open(file);
    }

    void open(const fs::path& file) {
        whenActive<ImportOpenDialog>([file](ImportOpenDialog* dialog) {
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            name->setText(QString::fromStdString(file.string()));
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
        });
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTest::keyClick(form_.get(), Qt::Key_P, Qt::AltModifier);
        auto* menu = form_->findChild<QMenu*>("Soubor1");
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_I);
        QVERIFY(QTest::qWaitFor([this] { return visibleTopLevels() == QWidgetList{form_.get()}; }));
    }

    std::unique_ptr<WorkingDirectory> directory_;
    fs::path lists_;
    std::unique_ptr<Watchdog> watchdog_;
    std::unique_ptr<TForm1> form_;
};

QUORVEL_UI_TEST_MAIN(ImportCommandTest)
#include "ImportCommandTest.moc"
