// The main window as a screen reader sees it, on a real catalogue: controls named in their roles,
// the edit group unavailable while disabled, the grid as a table of the result's rows whose
// current cell follows the keys, and the texts of the message dialog and the small windows.
// Offscreen the interfaces are checked; on an X server with an accessibility bus, what the grid
// tells too.
#include <QAccessible>
#include <QTest>

#include <map>
#include <vector>

#include "../app/MainWindowFixture.h"
#include "fields/DBEdit.h"
#include "fields/FieldAccessibility.h"
#include "grid/DBGrid.h"
#include "messages/MessageDialog.h"
#include "windows/AboutWindow.h"
#include "windows/HelpWindow.h"

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

// What a screen reader was told: "Focus <name>", "Selection <name>", "Table <first>-<last>" for
// changed rows ("Table -1--1" for a reset).
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
        // Nothing turns accessibility on offscreen; the bus does, as for a screen reader.
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
        // Object name and accessible name; the role follows from the kind of control.
        const QString names =
            "DBGrid1:Výtisky;DBEdit1:Tiskopis;DBEdit2:Číslo výtisku/rok;"
            "DBEdit3:Nejzajímavější části;DBMemo1:Obsah výtisku;Button1:Nový záznam;"
            "Button2:Smazat záznam z DATABÁZE;Button3:Uložit;RadioButton1:Neřadit;"
            "RadioButton2:Čísla výtisku;RadioButton3:Tiskopisu;RadioButton4:Názvu časopisu;"
            "RadioButton5:Označení časopisu;RadioButton6:Nejzajímavějších částech;"
            "RadioButton7:Obsahu výtisku;Edit1:Hledaný text;Button4:Zobrazit hledané;"
            "Button5:Zobrazit celou databázi;GroupBox1:Editace:;GroupBox2:Seřadit podle:;"
            "GroupBox3:Zobrazit slova obsažená v:";
        using Role = QAccessible::Role;
        const auto roleOf = [](const QString& object) {
            return object.startsWith("Radio")    ? QAccessible::RadioButton
                   : object.startsWith("Button") ? QAccessible::Button
                   : object.startsWith("Group")  ? QAccessible::Grouping
                   : object.startsWith("DBGrid") ? QAccessible::Table
                                                 : QAccessible::EditableText;
        };
        std::map<QString, std::pair<QString, Role>> expected;
        for (const QString& entry : names.split(';')) {
            const QString object = entry.section(':', 0, 0);
            expected[object] = {entry.section(':', 1), roleOf(object)};
        }
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
        QCOMPARE(focusable.removeDuplicates(), 0);
        QVERIFY(!focusable.contains(QString()));
        QCOMPARE(menu,
                 (QStringList{"Program", "Exportovat databázi", "Importovat seznam…",
                              "Přehled sbírky…", "Zavřít", "Nápověda", "Nápověda", "About .."}));

        // The edits are their labels' buddies, with their limits.
        QAccessibleInterface* title = accessible(control(window.form, "DBEdit1"));
        QStringList labels;
        for (const auto& [label, relation] : title->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        QVERIFY2(labels.contains("*Tiskopis: (50)"), qPrintable(labels.join(", ")));
        QCOMPARE(title->text(QAccessible::Description), "Povinný údaj, nejvýše 50 znaků");

        for (const bool sorted : {true, false}) {
            click(control(window.form, sorted ? "RadioButton3" : "RadioButton1"));
            QTRY_COMPARE(control(window.form, "GroupBox1")->isEnabled(), !sorted);
            for (const char* name :
                 {"DBEdit1", "DBEdit2", "DBEdit3", "DBMemo1", "Button1", "Button2", "Button3"}) {
                QVERIFY2(accessible(control(window.form, name))->state().disabled == sorted, name);
            }
            QVERIFY(!accessible(control(window.form, "DBGrid1"))->state().disabled);
        }
    }

    // Unnumbered, the table's rows are the lines shown; its current cell follows the keys and
    // the focus, an edited row reads with its edit; a search numbers all its rows.
    void gridIsATableOfTheResult() {
        Window window;
        auto* grid = control<DBGrid>(window.form, "DBGrid1");
        QAccessibleInterface* table = accessible(grid);
        QAccessibleTableInterface* cells = table->tableInterface();
        QCOMPARE(cells->columnCount(), 4);
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
                QCOMPARE(cell->tableCellInterface()->columnHeaderCells().first()->text(
                             QAccessible::Name),
                         titles[column]);
                QCOMPARE(table->indexOfChild(cell), 4 * (row + 1) + column);
                QCOMPARE(table->child(4 * (row + 1) + column), cell);
            }
        }
        QVERIFY(cells->cellAt(cells->rowCount(), 0) == nullptr);

        grid->setFocus();
        QTRY_VERIFY(grid->hasFocus());
        told.clear();
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Right);
        QAccessibleInterface* current = cells->cellAt(1, 1);
        QCOMPARE(cells->selectedCells(), QList<QAccessibleInterface*>{current});
        QVERIFY(current->state().focused && current->state().selected);
        QCOMPARE(table->focusChild(), current);
        QVERIFY(!cells->cellAt(0, 1)->state().selected);
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Focus 1/2026") && told.contains("Selection 1/2026"));
        }

        // A title typed into the edit is a data change of that row, read with the edit mark.
        DBEdit* edit = control<DBEdit>(window.form, "DBEdit1");
        click(edit);
        type(edit, QStringLiteral("Nový"));
        grid->setFocus();
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Table 1-1"));
        }
        QCOMPARE(cells->cellAt(1, 0)->text(QAccessible::Name), title(1) + "Nový");
        QCOMPARE(cells->cellAt(1, 1)->text(QAccessible::Description), "Upravovaný záznam");
        QTest::keyClick(grid, Qt::Key_Escape);
        QTRY_COMPARE(cells->cellAt(1, 0)->text(QAccessible::Name), title(1));

        // Leaving the grid takes the focus from its cells.
        click(control(window.form, "Edit1"));
        QVERIFY(!cells->selectedCells().first()->state().focused);
        QVERIFY(table->focusChild() == nullptr);

        // A search's rows are all rows of the table, the lines shown among them.
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
        if (QAccessible::isActive()) {
            QTRY_VERIFY(told.contains("Table -1--1"));
        }

        // An empty result: the one blank line, as painted.
        type(control(window.form, "Edit1"), QStringLiteral("nic"));
        click(control(window.form, "Button4"));
        QTRY_COMPARE(cells->cellAt(0, 3)->text(QAccessible::Name), QStringLiteral("(Memo)"));
        QCOMPARE(cells->rowCount(), 1);
        QCOMPARE(cells->cellAt(0, 0)->text(QAccessible::Name), QString());
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
        whenActive<TForm5>(readAndClose);
        showHelp();
        whenActive<TForm3>(readAndClose);
        showAbout();
        for (const char* text : {"Nepodařilo se zkopírovat soubor & data!",
                                 "aby jste neměli problémy s vyhledáváním klíčových slov.",
                                 "Quorvel 1.0", "info@velmora.cz"}) {
            QVERIFY2(read.contains(text), text);
        }
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
