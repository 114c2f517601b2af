// The main window as a user drives it: its layout and first activation, the record commands
// New, Save and Delete, search, show all and the sort orders, and closing with a change
// pending. Every case runs on a real catalogue in a temporary working directory.
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
#include <QScopeGuard>
#include <QStyle>
#include <QTest>

#include <sqlite3.h>

#include "MainWindowFixture.h"
#include "messages/DefaultErrorHandler.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;

namespace {

const QString noTitle = QStringLiteral("Nebyl zadán tiskopis! Záznam nebude uložen.");
const QString deleteFailed = QStringLiteral("Nepodařilo se smazat záznam z databáze!");
const QString confirmDelete = QStringLiteral("Opravdu chcete odstranit vybraný záznam?");

std::vector<Issue> issues() {
    return {{"Vesmír", "3/2019", "Černé díry", "O hvězdách"},
            {"Abeceda", "12/2001", "Písmena", "Čtení"},
            {"Reflex", "7/2010", "Rozhovor", "Politika"},
            {"Zahrada", "1/1999", "Růže", "Květiny"},
            {"Dikobraz", "5/1968", "Vtipy", "Satira"}};
}

// Copies the first row while qv_by_vytisk is, for that while, a partial index of no rows: the
// index then lacks the copy and reads without an error, as damage can leave it.
void leaveARowOutOfTheTitleIndex(const std::filesystem::path& directory) {
    const auto run = [&directory](const std::string& sql) {
        sqlite3* db = nullptr;
        const bool done = sqlite3_open((directory / "qv.db").c_str(), &db) == SQLITE_OK &&
                          sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(db);
        return done;
    };
    const auto define = [&run](const std::string& where) {
        return run(
            "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql = 'CREATE INDEX "
            "qv_by_vytisk ON qv(vytisk_key)" +
            where + "' WHERE name = 'qv_by_vytisk'");
    };
    QVERIFY(define(" WHERE 0"));
    QVERIFY(
        run("INSERT INTO qv(vytisk, cislo, vytisk_key, cislo_key) "
            "SELECT vytisk, cislo, vytisk_key, cislo_key FROM qv WHERE id = 1"));
    QVERIFY(define(""));
}

// The names of parent's controls (labels aside) in the order of the focus chain.
QStringList focusChainWithin(const QWidget* parent) {
    QStringList names;
    QWidget* start = parent->window();
    for (QWidget* widget = start->nextInFocusChain(); widget != start;
         widget = widget->nextInFocusChain()) {
        if (widget->parentWidget() == parent && qobject_cast<QLabel*>(widget) == nullptr) {
            names << widget->objectName();
        }
    }
    return names;
}

}  // namespace

class MainWindowCommandsTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        directory_ = std::make_unique<WorkingDirectory>();
        makeCatalogue(directory_->path(), issues());
        watchdog_ = std::make_unique<Watchdog>();
    }

    void cleanup() {
        watchdog_.reset();
        directory_.reset();
        QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open");
    }

    void firstStatementRunsAfterTheSplashAndTheGridHasTheFocus() {
        TForm1 form;
        std::vector<std::string> linesUnderSplash;
        bool doneUnderSplash = true;
        bool mainVisibleUnderSplash = false;
        whenActive<TForm2>([&](TForm2* splash) {
            linesUnderSplash = form.query().SQL();
            doneUnderSplash = form.firstActivationDone();
            mainVisibleUnderSplash = form.isVisible();
            splash->windowHandle()->close();
        });
        form.show();
        form.activateWindow();
        QTRY_VERIFY_WITH_TIMEOUT(form.query().SQL().size() == 3, 1500);
        QCOMPARE(linesUnderSplash, std::vector<std::string>{"select * from qv"});
        QVERIFY(!doneUnderSplash);
        QVERIFY(mainVisibleUnderSplash);
        QCOMPARE(form.startDir(), directory_->path().string());
        QTRY_COMPARE(QApplication::focusWidget(), control(form, "DBGrid1"));
        QCOMPARE(resultTitles(form.query()).size(), 5);
        form.close();
    }

    void everyControlHasItsKindParentAndCaption_data() {
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char* name, const char* className, const char* parent,
                            const QString& caption) {
            QTest::newRow(name) << QString::fromLatin1(className) << QString::fromLatin1(parent)
                                << caption;
        };
        row("DBGrid1", "quorvel::ui::DBGrid", "ClientArea", {});
        row("GroupBox1", "quorvel::ui::UngreyedGroupBox", "ClientArea", "Editace:");
        row("GroupBox2", "QGroupBox", "ClientArea", "Seřadit podle:");
        row("GroupBox3", "QGroupBox", "ClientArea", "Zobrazit slova obsažená v:");
        row("DBEdit1", "quorvel::ui::DBEdit", "GroupBox1", {});
        row("DBEdit2", "quorvel::ui::DBEdit", "GroupBox1", {});
        row("DBEdit3", "quorvel::ui::DBEdit", "GroupBox1", {});
        row("DBMemo1", "quorvel::ui::DBMemo", "GroupBox1", {});
        row("Button1", "QPushButton", "GroupBox1", "Nový záznam");
        row("Button2", "QPushButton", "GroupBox1", "Smazat záznam z DATABÁZE");
        row("Button3", "QPushButton", "GroupBox1", "Uložit");
        row("RadioButton1", "QRadioButton", "GroupBox2", "Neřadit");
        row("RadioButton2", "QRadioButton", "GroupBox2", "Čísla výtisku");
        row("RadioButton3", "QRadioButton", "GroupBox2", "Tiskopisu");
        row("RadioButton4", "QRadioButton", "GroupBox3", "Názvu časopisu");
        row("RadioButton5", "QRadioButton", "GroupBox3", "Označení časopisu");
        row("RadioButton6", "QRadioButton", "GroupBox3", "Nejzajímavějších částech");
        row("RadioButton7", "QRadioButton", "GroupBox3", "Obsahu výtisku");
        row("Edit1", "QLineEdit", "GroupBox3", {});
        row("Button4", "QPushButton", "GroupBox3", "Zobrazit hledané");
        row("Button5", "QPushButton", "GroupBox3", "Zobrazit celou databázi");
        row("Label1", "QLabel", "GroupBox1", "Obsah výtisku:");
        row("Label2", "QLabel", "GroupBox1", "*Tiskopis: (50)");
        row("Label3", "QLabel", "GroupBox1", "Číslo výtisku/rok: (15)");
        row("Label4", "QLabel", "GroupBox1", "Nejzajímavější části: (150)");
    }

    void everyControlHasItsKindParentAndCaption() {
        QFETCH(QString, className);
        QFETCH(QString, parent);
        QFETCH(QString, caption);
        TForm1 form;
        openWindow(form);
        const QWidget* widget = control(form, QTest::currentDataTag());
        QCOMPARE(QString::fromLatin1(widget->metaObject()->className()), className);
        QCOMPARE(widget->parentWidget()->objectName(), parent);
        QVERIFY(widget->isVisible());
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            QCOMPARE(label->text(), caption);
            QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
            // Only the first button of each radio group starts checked.
            const bool initiallyChecked =
                widget->objectName() == "RadioButton1" || widget->objectName() == "RadioButton4";
            QCOMPARE(button->isChecked(), initiallyChecked);
        } else if (const auto* group = qobject_cast<const QGroupBox*>(widget)) {
            QCOMPARE(group->title(), caption);
        } else if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
            QVERIFY(edit->objectName() != "Edit1" || edit->text().isEmpty());
        }
        form.close();
    }

    // The layout as drawn: every control inside its parent and clear of its siblings, and the
    // edges of each framed control on a grab of the window where its geometry puts them. (The
    // stored coordinates themselves are the window's; a copy of them here would only agree.)
    void everyControlLiesInsideItsParentClearOfTheOthers() {
        // Drawn in the program's own style, whose frames lie on the controls' edges.
        const QString previousStyle = QApplication::style()->name();
        QApplication::setStyle(QStringLiteral("Windows"));
        const auto restoreStyle = qScopeGuard([&] { QApplication::setStyle(previousStyle); });
        TForm1 form;
        openWindow(form);
        const QImage shot = form.grab().toImage();
        const std::pair<const char*, int> parents[] = {
            {"ClientArea", 4}, {"GroupBox1", 11}, {"GroupBox2", 3}, {"GroupBox3", 7}};
        for (const auto& [parentName, controls] : parents) {
            const QWidget* parent = control(form, parentName);
            QList<QWidget*> children;
            for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (child->isVisible() && !child->objectName().isEmpty() &&
                    !child->objectName().startsWith("qt_")) {
                    children << child;
                }
            }
            QCOMPARE(children.size(), controls);
            for (const QWidget* child : children) {
                QVERIFY2(parent->rect().contains(child->geometry()),
                         qPrintable(child->objectName() + " leaves " + parentName));
                // The stored layout lets a box share its border row with the next one (the sort
                // group's bottom is the edit group's top, a label's last row the edit's first):
                // any more is an overlap.
                for (const QWidget* other : children) {
                    const QRect shared = child->geometry().intersected(other->geometry());
                    QVERIFY2(child == other || shared.isEmpty() || shared.width() == 1 ||
                                 shared.height() == 1,
                             qPrintable(child->objectName() + " overlaps " + other->objectName()));
                }
                if (qobject_cast<const QLabel*>(child) ||
                    qobject_cast<const QRadioButton*>(child)) {
                    continue;  // no frame of their own
                }
                // The left and bottom edges differ from what lies just outside them.
                const QRect box(child->mapTo(&form, QPoint(0, 0)), child->size());
                const int middleY = box.center().y();
                const int middleX = box.center().x();
                QVERIFY2(shot.pixel(box.left(), middleY) != shot.pixel(box.left() - 1, middleY),
                         qPrintable(child->objectName() + ": no left edge where it stands"));
                QVERIFY2(shot.pixel(middleX, box.bottom()) != shot.pixel(middleX, box.bottom() + 1),
                         qPrintable(child->objectName() + ": no bottom edge where it stands"));
            }
        }
        form.close();
    }

    void tabOrderWithinEachParentAndThePicture() {
        TForm1 form;
        openWindow(form);
        QCOMPARE(focusChainWithin(control(form, "ClientArea")),
                 (QStringList{"DBGrid1", "GroupBox1", "GroupBox2", "GroupBox3"}));
        QCOMPARE(focusChainWithin(control(form, "GroupBox1")),
                 (QStringList{"DBEdit1", "DBEdit2", "DBEdit3", "DBMemo1", "Button1", "Button2",
                              "Button3"}));
        // The sort buttons' tab order is not their order on screen.
        QCOMPARE(focusChainWithin(control(form, "GroupBox2")),
                 (QStringList{"RadioButton1", "RadioButton2", "RadioButton3"}));
        QCOMPARE(focusChainWithin(control(form, "GroupBox3")),
                 (QStringList{"RadioButton4", "RadioButton5", "RadioButton6", "RadioButton7",
                              "Edit1", "Button4", "Button5"}));
        // Tab leaves the edit group for the sort group's checked button.
        control(form, "Button3")->setFocus();
        QTest::keyClick(control(form, "Button3"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control(form, "RadioButton1"));
        QVERIFY(form.grab().save(QStringLiteral("/tmp/quorvel-main-window.png")));
        form.close();
    }

    void newTypeSaveStoresTheRowAndKeepsItCurrent() {
        TForm1 form;
        openWindow(form);
        const QString lastFailure = lastEscapedFailureText();
        Answered shown;
        answerDialogs(shown, {"OK"});
        click(control(form, "Button3"));  // nothing typed: nothing to say
        QCOMPARE(form.query().State(), DataSetState::Browse);
        click(control(form, "Button1"));
        QCOMPARE(form.query().State(), DataSetState::Insert);
        click(control(form, "DBEdit1"));
        type(control(form, "DBEdit1"), QStringLiteral("Týdeník Květy"));
        click(control(form, "Button3"));
        QCOMPARE(form.query().State(), DataSetState::Browse);
        QCOMPARE(form.query().FieldByName("Vytisk").AsString(), std::string("Týdeník Květy"));
        QCOMPARE(storedTitles(directory_->path()).last(), QStringLiteral("Týdeník Květy"));
        QTest::qWait(50);
        QVERIFY(shown.texts.isEmpty());
        QCOMPARE(lastEscapedFailureText(), lastFailure);
        form.close();
    }

    void saveChecksTheTitleAsShown_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("stored");
        QTest::newRow("empty") << QString() << false;
        QTest::newRow("one space") << QStringLiteral(" ") << false;
        QTest::newRow("two spaces") << QStringLiteral("  ") << true;
    }

    void saveChecksTheTitleAsShown() {
        QFETCH(QString, title);
        QFETCH(bool, stored);
        TForm1 form;
        openWindow(form);
        Answered shown;
        answerDialogs(shown, {"OK"});
        click(control(form, "Button1"));
        click(control(form, "DBEdit1"));
        type(control(form, "DBEdit1"), title);
        click(control(form, "DBEdit2"));
        type(control(form, "DBEdit2"), QStringLiteral("9/2024"));
        click(control(form, "Button3"));
        const QStringList titles = storedTitles(directory_->path());
        if (stored) {
            QCOMPARE(form.query().State(), DataSetState::Browse);
            QCOMPARE(titles.size(), 6);
            QCOMPARE(titles.last(), title);
        } else {
            QTRY_COMPARE(shown.texts, QStringList{noTitle});
            QCOMPARE(form.query().State(), DataSetState::Insert);
            QCOMPARE(control<QLineEdit>(form, "DBEdit1")->text(), title);
            QCOMPARE(control<QLineEdit>(form, "DBEdit2")->text(), QStringLiteral("9/2024"));
            QCOMPARE(titles.size(), 5);
        }
        form.close();
    }

    // A second engine holds the table's write lock: the post fails after the wait for it.
    void aRefusedPostReachesTheDefaultHandlerAndKeepsWhatWasTyped() {
        TForm1 form;
        openWindow(form);
        Engine other(directory_->path());
        QCOMPARE(
            sqlite3_exec(other.database().handle(), "BEGIN IMMEDIATE", nullptr, nullptr, nullptr),
            SQLITE_OK);
        Answered handled;
        answerErrorHandler(handled);
        click(control(form, "Button1"));
        click(control(form, "DBEdit1"));
        type(control(form, "DBEdit1"), QStringLiteral("Mladý svět"));
        click(control(form, "Button3"));
        QTRY_COMPARE_WITH_TIMEOUT(handled.texts.size(), 1, 8000);
        QCOMPARE(handled.texts.first(), lastEscapedFailureText());
        QVERIFY2(handled.texts.first().contains("busy"), qPrintable(handled.texts.first()));
        QCOMPARE(form.query().State(), DataSetState::Insert);
        QCOMPARE(control<QLineEdit>(form, "DBEdit1")->text(), QStringLiteral("Mladý svět"));
        // Once the lock is gone the same record is saved as typed.
        sqlite3_exec(other.database().handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        click(control(form, "Button3"));
        QCOMPARE(form.query().State(), DataSetState::Browse);
        QCOMPARE(storedTitles(directory_->path()).last(), QStringLiteral("Mladý svět"));
        form.close();
    }

    void deleteAsksAndOnlyYesDeletes() {
        TForm1 form;
        openWindow(form);
        form.query().MoveBy(1);  // Abeceda
        const std::pair<QString, int> answers[] = {{"No", 5}, {QString(), 5}, {"Yes", 4}};
        for (const auto& [answer, rowsLeft] : answers) {
            Answered shown;
            answerDialogs(shown, {answer});
            click(control(form, "Button2"));
            QTRY_COMPARE(shown.texts, QStringList{confirmDelete});
            QCOMPARE(storedTitles(directory_->path()).size(), rowsLeft);
        }
        QVERIFY(!storedTitles(directory_->path()).contains("Abeceda"));
        // The next row takes its place as the current one.
        QCOMPARE(form.query().FieldByName("Vytisk").AsString(), std::string("Reflex"));
        form.close();
    }

    void newThenDeleteDropsTheNewRowAndSaysNothingMore() {
        TForm1 form;
        openWindow(form);
        Answered shown;
        answerDialogs(shown, {"Yes", "Yes"});
        click(control(form, "Button1"));
        click(control(form, "Button2"));
        QTRY_COMPARE(shown.texts, QStringList{confirmDelete});
        QTest::qWait(50);
        QCOMPARE(shown.texts.size(), 1);
        QCOMPARE(form.query().State(), DataSetState::Browse);
        QCOMPARE(storedTitles(directory_->path()).size(), 5);
        QCOMPARE(resultTitles(form.query()).size(), 5);
        form.close();
    }

    void deleteOnAnEmptyResultSaysItFailed() {
        TForm1 form;
        openWindow(form);
        click(control(form, "Edit1"));
        type(control(form, "Edit1"), QStringLiteral("nic takového"));
        click(control(form, "Button4"));
        QVERIFY(form.query().IsEmpty());
        Answered shown;
        answerDialogs(shown, {"Yes", "OK"});
        click(control(form, "Button2"));
        QTRY_COMPARE(shown.texts, (QStringList{confirmDelete, deleteFailed}));
        QCOMPARE(storedTitles(directory_->path()).size(), 5);
        form.close();
    }

    // The window checks the sort indexes only once its first screen is up; a sort asked for
    // right after still never trusts an index that lacks a row.
    void aSortSoonAfterTheStartListsARowTheIndexLacks() {
        leaveARowOutOfTheTitleIndex(directory_->path());
        TForm1 form;
        openWindow(form);
        click(control(form, "RadioButton3"));  // "Tiskopisu"
        QCOMPARE(resultTitles(form.query()),
                 (QStringList{"Abeceda", "Dikobraz", "Reflex", "Vesmír", "Vesmír", "Zahrada"}));
        form.close();
    }

    void searchSortShowAllAndUnsort() {
        TForm1 form;
        openWindow(form);
        auto* group = control<QGroupBox>(form, "GroupBox1");
        click(control(form, "Edit1"));
        type(control(form, "Edit1"), QStringLiteral("a"));  // case-sensitive: not Vesmír, Reflex
        click(control(form, "Button4"));
        QCOMPARE(resultTitles(form.query()), (QStringList{"Abeceda", "Zahrada", "Dikobraz"}));
        const QImage enabledLook = group->grab().toImage();

        click(control(form, "RadioButton3"));  // "Tiskopisu"
        QCOMPARE(resultTitles(form.query()), (QStringList{"Abeceda", "Dikobraz", "Zahrada"}));
        QVERIFY(!group->isEnabled());
        // The same current row, drawn exactly as it was while the group took input.
        QCOMPARE(group->grab().toImage(), enabledLook);
        // Neither a click nor Tab reaches the group's controls, and no key starts an edit.
        click(control(form, "DBEdit1"));
        type(control(form, "DBEdit1"), QStringLiteral("x"));
        QCOMPARE(form.query().State(), DataSetState::Browse);
        for (int step = 0; step < 20; ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(!group->isAncestorOf(QApplication::focusWidget()),
                     qPrintable(QApplication::focusWidget()->objectName()));
        }

        click(control(form, "Button5"));
        QCOMPARE(resultTitles(form.query()),
                 (QStringList{"Abeceda", "Dikobraz", "Reflex", "Vesmír", "Zahrada"}));
        click(control(form, "RadioButton2"));  // "Čísla výtisku", numbers in natural order
        QCOMPARE(resultTitles(form.query()),
                 (QStringList{"Zahrada", "Vesmír", "Dikobraz", "Reflex", "Abeceda"}));
        QVERIFY(!group->isEnabled());
        click(control(form, "RadioButton1"));  // "Neřadit"
        QCOMPARE(resultTitles(form.query()),
                 (QStringList{"Vesmír", "Abeceda", "Reflex", "Zahrada", "Dikobraz"}));
        QVERIFY(group->isEnabled());
        click(control(form, "DBEdit1"));
        QCOMPARE(QApplication::focusWidget(), control(form, "DBEdit1"));
        form.close();
    }

    // A real refusal: another connection holds the table locked, so every statement waits out
    // the busy timeout and fails; the filter stays in force until "Zobrazit celou databázi".
    void aRefusedSearchFailsEveryStatementUntilShowAll() {
        TForm1 form;
        openWindow(form);
        sqlite3* locker = nullptr;
        QCOMPARE(sqlite3_open((directory_->path() / "qv.db").c_str(), &locker), SQLITE_OK);
        QCOMPARE(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        Answered handled;
        answerErrorHandler(handled);
        click(control(form, "Edit1"));
        type(control(form, "Edit1"), QStringLiteral("a"));
        click(control(form, "Button4"));
        QTRY_COMPARE_WITH_TIMEOUT(handled.texts.size(), 1, 15000);
        QVERIFY2(handled.texts.first().startsWith("Table is busy."),
                 qPrintable(handled.texts.first()));
        QVERIFY(!form.query().Active());
        QCOMPARE(resultTitles(form.query()), QStringList());

        // A sort change runs the same filter and fails alike; the edit group stays as it was.
        answerErrorHandler(handled);
        click(control(form, "RadioButton3"));
        QTRY_COMPARE_WITH_TIMEOUT(handled.texts.size(), 2, 15000);
        QCOMPARE(handled.texts.last(), handled.texts.first());
        QVERIFY(control(form, "GroupBox1")->isEnabled());
        QVERIFY(!form.query().Active());
        // New on the closed set fails with the window's own words.
        Answered shown;
        answerDialogs(shown, {"OK"});
        click(control(form, "Button1"));
        QTRY_COMPARE(shown.texts, QStringList{"Nepodařilo se vložit záznam do databáze!"});

        sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(locker);
        click(control(form, "Button5"));
        QCOMPARE(resultTitles(form.query()).size(), 5);
        QCOMPARE(handled.texts.size(), 2);
        form.close();
    }

    void aSearchFindsQuotesAndColonsAsTyped_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("found");
        const QString club = QStringLiteral("Klub \"Mladý svět\"");
        const QString rock = QStringLiteral("Rock'n'roll: návrat");
        const QString musketeer = QStringLiteral("d'Artagnan :jmeno");
        QTest::newRow("double quote") << "\"Mladý" << QStringList{club};
        QTest::newRow("apostrophes and a colon") << rock << QStringList{rock};
        QTest::newRow("apostrophe then :name") << musketeer << QStringList{musketeer};
        QTest::newRow("colon without a quote") << "cas:x" << QStringList();
    }

    void aSearchFindsQuotesAndColonsAsTyped() {
        QFETCH(QString, text);
        QFETCH(QStringList, found);
        {
            Engine engine(directory_->path());
            auto cursor = Cursor::open(engine.database(), "select * from qv", true);
            for (const char* title :
                 {"Klub \"Mladý svět\"", "Rock'n'roll: návrat", "d'Artagnan :jmeno"}) {
                RowData row;
                row.strings = {std::string(title), std::string("1/1990"), std::string()};
                cursor->insertRow(row);
            }
        }
        TForm1 form;
        openWindow(form);
        Answered handled;
        answerErrorHandler(handled);
        click(control(form, "Edit1"));
        type(control(form, "Edit1"), text);
        click(control(form, "Button4"));
        QVERIFY(form.query().Active());
        QCOMPARE(resultTitles(form.query()), found);
        QTest::qWait(50);
        QCOMPARE(handled.texts, QStringList());
        form.close();
    }

    void clickingTheCheckedNeraditRunsNothing() {
        TForm1 form;
        openWindow(form);
        form.query().MoveBy(3);
        click(control(form, "RadioButton1"));
        QCOMPARE(form.query().FieldByName("Vytisk").AsString(), std::string("Zahrada"));
        QVERIFY(control<QRadioButton>(form, "RadioButton1")->isChecked());
        form.close();
    }

    // A new statement and closing the window each drop a pending change without a word.
    void searchAndZavritLoseThePendingChange() {
        {
            TForm1 form;
            openWindow(form);
            Answered shown;
            answerDialogs(shown, {"OK"});
            click(control(form, "DBEdit2"));
            type(control(form, "DBEdit2"), QStringLiteral("99"));
            QCOMPARE(form.query().State(), DataSetState::Edit);
            click(control(form, "Button4"));
            QCOMPARE(form.query().FieldByName("Cislo").AsString(), std::string("3/2019"));

            click(control(form, "DBEdit1"));
            type(control(form, "DBEdit1"), QStringLiteral("Změněno"));
            QCOMPARE(form.query().State(), DataSetState::Edit);
            // Alt+P opens "&Program", Z chooses "&Zavřít".
            QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
            QTRY_VERIFY(form.findChild<QMenu*>("Soubor1")->isVisible());
            QTest::keyClick(form.findChild<QMenu*>("Soubor1"), Qt::Key_Z);
            QTRY_VERIFY(!form.isVisible());
            QVERIFY(shown.texts.isEmpty());
        }
        QCOMPARE(storedTitles(directory_->path()),
                 (QStringList{"Vesmír", "Abeceda", "Reflex", "Zahrada", "Dikobraz"}));
    }

  private:
    std::unique_ptr<WorkingDirectory> directory_;
    std::unique_ptr<Watchdog> watchdog_;
};

QUORVEL_UI_TEST_MAIN(MainWindowCommandsTest)
#include "MainWindowCommandsTest.moc"
