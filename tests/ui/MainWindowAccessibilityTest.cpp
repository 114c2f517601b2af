// The main window as a screen reader sees it, on a real catalogue: every control named and in its
// role, the edit group reported unavailable while it is disabled, the grid as a table of the
// result's rows whose current cell follows the keys, and the texts of the message dialog and the
// small windows. Run offscreen, and on an X server with an accessibility bus, where what the grid
// tells is checked too.
#include <QAccessible>
#include <QTest>

#include <map>
#include <vector>

#include "../app/MainWindowFixture.h"
#include "DBEdit.h"
#include "DBGrid.h"
#include "FieldAccessibility.h"
#include "MessageDialog.h"
#include "Unit3.h"
#include "Unit5.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;

namespace {

constexpr int issueCount = 40;

QString title(int row) {
    return QStringLiteral("Titul %1").arg(row, 2, 10, QLatin1Char('0'));
}

// Every third issue has contents, so the memo column shows both forms.
std::vector<Issue> issues() {
    std::vector<Issue> made;
    for (int row = 0; row < issueCount; ++row) {
        made.push_back({title(row).toStdString(), std::to_string(row) + "/2026", "část",
                        row % 3 == 0 ? "obsah" : ""});
    }
    return made;
}

// What a screen reader was told: "Focus <cell's name>", "Selection <name>", "Table <first
// row>-<last row>" for a change of cells, "Table -1--1" for a reset.
QStringList told;

void recordEvent(QAccessibleEvent* event) {
    if (event->type() == QAccessible::TableModelChanged) {
        const auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        told << QStringLiteral("Table %1-%2").arg(change->firstRow()).arg(change->lastRow());
    } else if (event->type() == QAccessible::Focus || event->type() == QAccessible::Selection) {
        told << QStringLiteral("%1 %2").arg(
            event->type() == QAccessible::Focus ? "Focus" : "Selection",
            event->accessibleInterface()->text(QAccessible::Name));
    }
}

void walk(QAccessibleInterface* node, std::vector<QAccessibleInterface*>& into) {
    for (int index = 0; index < node->childCount(); ++index) {
        if (QAccessibleInterface* child = node->child(index)) {
            into.push_back(child);
            walk(child, into);
        }
    }
}

QAccessibleInterface* accessible(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

}  // namespace

class MainWindowAccessibilityTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        // Offscreen nothing turns accessibility on, and nothing is told: the interfaces alone
        // are checked. On an X server with an accessibility bus it comes on, as it does for a
        // screen reader, and what is told is checked too.
        QAccessible::installUpdateHandler(recordEvent);
        if (qEnvironmentVariableIsSet("QUORVEL_ACCESSIBILITY_BUS")) {
            QTRY_VERIFY_WITH_TIMEOUT(QAccessible::isActive(), 10000);
        }
    }

    void init() {
        watchdog_ = std::make_unique<Watchdog>();
        told.clear();
    }

    void cleanup() {
        watchdog_.reset();
        QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open");
    }

    void labelsGiveNamesAndLimits() {
        const QStringList cases[] = {
            {"*Tiskopis: (50)", "Tiskopis", "Povinný údaj, nejvýše 50 znaků"},
            {"Obsah výtisku:", "Obsah výtisku", ""},
            {"&Kód: (3)", "Kód", "Nejvýše 3 znaky"},
            {"Znak: (1)", "Znak", "Nejvýše 1 znak"}};
        for (const QStringList& names : cases) {
            QCOMPARE(FieldAccessibility::nameFrom(names[0]), names[1]);
            QCOMPARE(FieldAccessibility::descriptionFrom(names[0]), names[2]);
        }
    }

    // Every focusable control has a name of its own and its role; the edit group's controls are
    // unavailable while the group is disabled.
    void controlsAreNamedInTheirRoles() {
        Window window;
        std::vector<QAccessibleInterface*> all;
        walk(accessible(&window.form), all);
        using Role = QAccessible::Role;
        const Role edit = QAccessible::EditableText, button = QAccessible::Button,
                   radio = QAccessible::RadioButton, group = QAccessible::Grouping;
        const std::map<QString, std::pair<QString, Role>> expected = {
            {"DBGrid1", {"Výtisky", QAccessible::Table}},
            {"DBEdit1", {"Tiskopis", edit}},
            {"DBEdit2", {"Číslo výtisku/rok", edit}},
            {"DBEdit3", {"Nejzajímavější části", edit}},
            {"DBMemo1", {"Obsah výtisku", edit}},
            {"Button1", {"Nový záznam", button}},
            {"Button2", {"Smazat záznam z DATABÁZE", button}},
            {"Button3", {"Uložit", button}},
            {"RadioButton1", {"Neřadit", radio}},
            {"RadioButton2", {"Čísla výtisku", radio}},
            {"RadioButton3", {"Tiskopisu", radio}},
            {"RadioButton4", {"Názvu časopisu", radio}},
            {"RadioButton5", {"Označení časopisu", radio}},
            {"RadioButton6", {"Nejzajímavějších částech", radio}},
            {"RadioButton7", {"Obsahu výtisku", radio}},
            {"Edit1", {"Hledaný text", edit}},
            {"Button4", {"Zobrazit hledané", button}},
            {"Button5", {"Zobrazit celou databázi", button}},
            {"GroupBox1", {"Editace:", group}},
            {"GroupBox2", {"Seřadit podle:", group}},
            {"GroupBox3", {"Zobrazit slova obsažená v:", group}}};
        std::map<QString, std::pair<QString, Role>> found;
        QStringList focusable, menu;
        for (QAccessibleInterface* node : all) {
            const QString name = node->text(QAccessible::Name);
            if (node->role() == QAccessible::MenuItem) {
                menu << name;
            }
            auto* widget = qobject_cast<QWidget*>(node->object());
            if (widget != nullptr && !node->state().invisible) {
                if (expected.count(widget->objectName()) != 0) {
                    found[widget->objectName()] = {name, node->role()};
                }
                if (node->state().focusable) {
                    focusable << name;
                }
            }
        }
        QCOMPARE(found, expected);
        QCOMPARE(focusable.size(), 18);
        focusable.removeDuplicates();
        QCOMPARE(focusable.size(), 18);
        QVERIFY(!focusable.contains(QString()));
        QCOMPARE(menu, (QStringList{"Program", "Exportovat databázi", "Zavřít", "Nápověda",
                                    "Nápověda", "About .."}));

        // The edits are their labels' buddies (the group box labels them too), with limits.
        QAccessibleInterface* title = accessible(control(window.form, "DBEdit1"));
        QStringList labels;
        for (const auto& [label, relation] : title->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        QVERIFY2(labels.contains("*Tiskopis: (50)"), qPrintable(labels.join(", ")));
        QCOMPARE(title->text(QAccessible::Description), "Povinný údaj, nejvýše 50 znaků");
        QCOMPARE(accessible(control(window.form, "DBEdit3"))->text(QAccessible::Description),
                 "Nejvýše 150 znaků");

        const char* inGroup[] = {"DBEdit1", "DBEdit2", "DBEdit3", "DBMemo1",
                                 "Button1", "Button2", "Button3"};
        for (const char* sort : {"RadioButton3", "RadioButton1"}) {
            click(control(window.form, sort));
            const bool sorted = sort == std::string("RadioButton3");
            QTRY_COMPARE(control(window.form, "GroupBox1")->isEnabled(), !sorted);
            for (const char* name : inGroup) {
                QVERIFY2(accessible(control(window.form, name))->state().disabled == sorted, name);
            }
            QVERIFY(!accessible(control(window.form, "DBGrid1"))->state().disabled);
        }
    }

    void gridIsATableOfTheResult() {
        Window window;
        auto* grid = control<DBGrid>(window.form, "DBGrid1");
        QAccessibleInterface* table = accessible(grid);
        QCOMPARE(table->role(), QAccessible::Table);
        QAccessibleTableInterface* cells = table->tableInterface();
        QVERIFY(cells != nullptr);
        QCOMPARE(cells->columnCount(), 4);
        // The whole table doesn't number its rows: the rows are the lines shown.
        QCOMPARE(cells->rowCount(), grid->shownLines());
        QVERIFY(grid->shownLines() > 5 && grid->shownLines() < issueCount);
        QCOMPARE(table->childCount(), 4 * (1 + grid->shownLines()));
        const QStringList titles{"Vytisk", "Cislo", "Nejzajimavejsi_casti", "Obsah_vytisku"};
        for (int row = 0; row < cells->rowCount(); ++row) {
            const QStringList expected{title(row), QStringLiteral("%1/2026").arg(row), "část",
                                       row % 3 == 0 ? "(MEMO)" : "(Memo)"};
            for (int column = 0; column < 4; ++column) {
                QAccessibleInterface* cell = cells->cellAt(row, column);
                QCOMPARE(cell->role(), QAccessible::Cell);
                QCOMPARE(cell->text(QAccessible::Name), expected[column]);
                QAccessibleTableCellInterface* place = cell->tableCellInterface();
                QCOMPARE(place->columnHeaderCells().first()->text(QAccessible::Name),
                         titles[column]);
                QCOMPARE(table->indexOfChild(cell), 4 * (row + 1) + column);
                QCOMPARE(table->child(4 * (row + 1) + column), cell);
            }
        }
        QVERIFY(cells->cellAt(cells->rowCount(), 0) == nullptr);

        // A search numbers its rows: all of them are rows of the table, the lines shown among
        // them wherever the current row is.
        type(control(window.form, "Edit1"), QStringLiteral("Titul"));
        click(control(window.form, "Button4"));
        QTRY_COMPARE(cells->rowCount(), issueCount);
        QCOMPARE(table->childCount(), 4 * (1 + grid->shownLines()));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(cells->cellAt(issueCount - 1, 0)->text(QAccessible::Name), title(issueCount - 1));
        QCOMPARE(cells->selectedCells().first()->tableCellInterface()->rowIndex(), issueCount - 1);
        QVERIFY(cells->cellAt(0, 0) == nullptr);  // not shown
        const int first = issueCount - grid->shownLines();
        QCOMPARE(table->child(4)->tableCellInterface()->rowIndex(), first);
        QCOMPARE(table->child(4)->text(QAccessible::Name), title(first));
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Table -1--1"));  // a reset
        }

        // An empty result: the one blank line, as painted.
        type(control(window.form, "Edit1"), QStringLiteral("nic"));
        click(control(window.form, "Button4"));
        QTRY_COMPARE(cells->cellAt(0, 3)->text(QAccessible::Name), QStringLiteral("(Memo)"));
        QCOMPARE(cells->rowCount(), 1);
        QCOMPARE(cells->cellAt(0, 0)->text(QAccessible::Name), QString());
    }

    void currentCellFollowsKeysAndIsAnnounced() {
        Window window;
        auto* grid = control<DBGrid>(window.form, "DBGrid1");
        QAccessibleTableInterface* cells = accessible(grid)->tableInterface();
        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        told.clear();

        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Right);
        const QList<QAccessibleInterface*> selected = cells->selectedCells();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first()->tableCellInterface()->rowIndex(), 1);
        QCOMPARE(selected.first()->tableCellInterface()->columnIndex(), 1);
        QVERIFY(selected.first()->state().focused && selected.first()->state().selected);
        QCOMPARE(accessible(grid)->focusChild(), selected.first());
        QVERIFY(!cells->cellAt(0, 1)->state().selected);
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Focus 1/2026") && told.contains("Selection 1/2026"));
        }

        // A title typed into the edit shows in the grid's row once written: a data change of
        // that row, and the edit mark read with the cell.
        DBEdit* edit = control<DBEdit>(window.form, "DBEdit1");
        click(edit);
        type(edit, QStringLiteral("Nový"));
        grid->setFocus();
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Table 1-1"));
        }
        QCOMPARE(cells->cellAt(1, 0)->text(QAccessible::Name), title(1) + "Nový");
        QCOMPARE(cells->cellAt(1, 1)->text(QAccessible::Description),
                 QStringLiteral("Upravovaný záznam"));
        QTest::keyClick(grid, Qt::Key_Escape);
        QTRY_COMPARE(cells->cellAt(1, 0)->text(QAccessible::Name), title(1));

        // Leaving the grid takes the focus from its cells.
        click(control(window.form, "Edit1"));
        QVERIFY(!cells->selectedCells().first()->state().focused);
        QVERIFY(accessible(grid)->focusChild() == nullptr);
    }

    void dialogAndSmallWindowsAreReadable() {
        QStringList read;
        const auto readAndClose = [&read](QWidget* window) {
            std::vector<QAccessibleInterface*> all;
            walk(accessible(window), all);
            for (QAccessibleInterface* node : all) {
                if (node->role() == QAccessible::StaticText) {
                    read << node->text(QAccessible::Name);
                }
            }
            window->windowHandle()->close();
        };
        whenActive<TMessageForm>(readAndClose);
        ShowMessageDialog("Nepodařilo se zkopírovat soubor & data!", MsgDlgType::Error,
                          MsgDlgBtn::OK);
        QVERIFY(read.contains("Nepodařilo se zkopírovat soubor & data!"));
        whenActive<TForm5>(readAndClose);
        showHelp();
        QVERIFY(read.contains("aby jste neměli problémy s vyhledáváním klíčových slov."));
        whenActive<TForm3>(readAndClose);
        showAbout();
        QVERIFY(read.contains("Quorvel 1.0") && read.contains("info@velmora.cz"));
    }

  private:
    // The main window open on a fresh catalogue of issueCount issues, hidden at the end.
    struct Window {
        Window() { openWindow(form); }
        ~Window() { form.hide(); }
        WorkingDirectory directory;
        bool made = (makeCatalogue(directory.path(), issues()), true);
        TForm1 form;
    };

    std::unique_ptr<Watchdog> watchdog_;
};

QUORVEL_UI_TEST_MAIN(MainWindowAccessibilityTest)
#include "MainWindowAccessibilityTest.moc"
