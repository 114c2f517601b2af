// The main window as a screen reader sees it, offscreen on a real catalogue: every control named
// and in its role, the edit group reported unavailable while it is disabled, the grid as a table
// of the result's rows whose current cell follows the keys and is announced, and the texts of
// the message dialog and the small windows.
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QRadioButton>
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

// What a screen reader was told: the event, and the name of the cell or control it concerns.
struct Told {
    QAccessible::Event type;
    int child;
    QString name;
    int firstRow = -1;  // of a table change
    int lastRow = -1;
};
std::vector<Told> told;

void recordEvent(QAccessibleEvent* event) {
    Told entry{event->type(), event->child(), {}};
    if (event->type() == QAccessible::TableModelChanged) {
        const auto* change = static_cast<QAccessibleTableModelChangeEvent*>(event);
        entry.firstRow = change->firstRow();
        entry.lastRow = change->lastRow();
    } else if (QAccessibleInterface* about = event->accessibleInterface()) {
        entry.name = about->text(QAccessible::Name);
    }
    told.push_back(entry);
}

bool wasTold(QAccessible::Event type, const QString& name) {
    for (const Told& entry : told) {
        if (entry.type == type && entry.name == name) {
            return true;
        }
    }
    return false;
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

    void labelsGiveNamesAndLimits_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::newRow("required") << "*Tiskopis: (50)"
                                  << "Tiskopis"
                                  << "Povinný údaj, nejvýše 50 znaků";
        QTest::newRow("slash") << "Číslo výtisku/rok: (15)"
                               << "Číslo výtisku/rok"
                               << "Nejvýše 15 znaků";
        QTest::newRow("memo") << "Obsah výtisku:"
                              << "Obsah výtisku"
                              << "";
        QTest::newRow("access key, few") << "&Kód: (3)"
                                         << "Kód"
                                         << "Nejvýše 3 znaky";
        QTest::newRow("one") << "Znak: (1)"
                             << "Znak"
                             << "Nejvýše 1 znak";
    }

    void labelsGiveNamesAndLimits() {
        QFETCH(QString, label);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QCOMPARE(FieldAccessibility::nameFrom(label), name);
        QCOMPARE(FieldAccessibility::descriptionFrom(label), description);
    }

    void everyFocusableControlHasItsNameAndRole() {
        Window window;
        std::vector<QAccessibleInterface*> all;
        walk(accessible(&window.form), all);
        // Object name to the name and role a screen reader gives.
        const std::map<QString, std::pair<QString, QAccessible::Role>> expected = {
            {"DBGrid1", {"Výtisky", QAccessible::Table}},
            {"DBEdit1", {"Tiskopis", QAccessible::EditableText}},
            {"DBEdit2", {"Číslo výtisku/rok", QAccessible::EditableText}},
            {"DBEdit3", {"Nejzajímavější části", QAccessible::EditableText}},
            {"DBMemo1", {"Obsah výtisku", QAccessible::EditableText}},
            {"Button1", {"Nový záznam", QAccessible::Button}},
            {"Button2", {"Smazat záznam z DATABÁZE", QAccessible::Button}},
            {"Button3", {"Uložit", QAccessible::Button}},
            {"RadioButton1", {"Neřadit", QAccessible::RadioButton}},
            {"RadioButton2", {"Čísla výtisku", QAccessible::RadioButton}},
            {"RadioButton3", {"Tiskopisu", QAccessible::RadioButton}},
            {"RadioButton4", {"Názvu časopisu", QAccessible::RadioButton}},
            {"RadioButton5", {"Označení časopisu", QAccessible::RadioButton}},
            {"RadioButton6", {"Nejzajímavějších částech", QAccessible::RadioButton}},
            {"RadioButton7", {"Obsahu výtisku", QAccessible::RadioButton}},
            {"Edit1", {"Hledaný text", QAccessible::EditableText}},
            {"Button4", {"Zobrazit hledané", QAccessible::Button}},
            {"Button5", {"Zobrazit celou databázi", QAccessible::Button}},
            {"GroupBox1", {"Editace:", QAccessible::Grouping}},
            {"GroupBox2", {"Seřadit podle:", QAccessible::Grouping}},
            {"GroupBox3", {"Zobrazit slova obsažená v:", QAccessible::Grouping}},
        };
        std::map<QString, std::pair<QString, QAccessible::Role>> found;
        QStringList focusableNames;
        QStringList menu;
        for (QAccessibleInterface* node : all) {
            const QString name = node->text(QAccessible::Name);
            if (node->role() == QAccessible::MenuItem) {
                menu << name;
            }
            auto* widget = qobject_cast<QWidget*>(node->object());
            if (widget == nullptr || node->state().invisible) {
                continue;
            }
            if (expected.count(widget->objectName()) != 0) {
                found[widget->objectName()] = {name, node->role()};
            }
            if (node->state().focusable) {
                QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName() + " has no name"));
                focusableNames << name;
            }
        }
        QCOMPARE(found, expected);
        QCOMPARE(focusableNames.size(), 18);
        focusableNames.removeDuplicates();
        QCOMPARE(focusableNames.size(), 18);
        QCOMPARE(menu, (QStringList{"Program", "Exportovat databázi", "Zavřít", "Nápověda",
                                    "Nápověda", "About .."}));

        // The edits are their labels' buddies and tell their limits.
        QAccessibleInterface* edit = accessible(control(window.form, "DBEdit1"));
        QStringList labels;  // the group box labels it too
        for (const auto& [label, relation] : edit->relations(QAccessible::Label)) {
            labels << label->text(QAccessible::Name);
        }
        QVERIFY2(labels.contains("*Tiskopis: (50)"), qPrintable(labels.join(", ")));
        QCOMPARE(edit->text(QAccessible::Description),
                 QStringLiteral("Povinný údaj, nejvýše 50 znaků"));
        QCOMPARE(accessible(control(window.form, "DBEdit3"))->text(QAccessible::Description),
                 QStringLiteral("Nejvýše 150 znaků"));
    }

    void disabledEditGroupIsReportedUnavailable() {
        Window window;
        const char* names[] = {"DBEdit1", "DBEdit2", "DBEdit3", "DBMemo1",
                               "Button1", "Button2", "Button3"};
        const auto disabled = [&](const char* name) {
            return accessible(control(window.form, name))->state().disabled;
        };
        click(control(window.form, "RadioButton3"));  // sorted: the group takes no input
        QTRY_VERIFY(!control(window.form, "GroupBox1")->isEnabled());
        for (const char* name : names) {
            QVERIFY2(disabled(name), name);
        }
        QVERIFY(!disabled("DBGrid1"));
        click(control(window.form, "RadioButton1"));
        QTRY_VERIFY(control(window.form, "GroupBox1")->isEnabled());
        for (const char* name : names) {
            QVERIFY2(!disabled(name), name);
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
            QTRY_VERIFY(std::any_of(told.begin(), told.end(), [](const Told& entry) {
                return entry.type == QAccessible::TableModelChanged;
            }));
        }
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
            QTRY_VERIFY(wasTold(QAccessible::Focus, QStringLiteral("1/2026")));
        }

        // A title typed into the edit shows in the grid's row once written: a data change of
        // that row, and the edit mark read with the cell.
        DBEdit* edit = control<DBEdit>(window.form, "DBEdit1");
        click(edit);
        type(edit, QStringLiteral("Nový"));
        grid->setFocus();
        if (QAccessible::isActive()) {
            QTRY_VERIFY(std::any_of(told.begin(), told.end(), [](const Told& entry) {
                return entry.type == QAccessible::TableModelChanged && entry.firstRow == 1 &&
                       entry.lastRow == 1;
            }));
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
        const auto readLabels = [&read](QWidget* window) {
            std::vector<QAccessibleInterface*> all;
            walk(accessible(window), all);
            for (QAccessibleInterface* node : all) {
                if (node->role() == QAccessible::StaticText &&
                    !node->text(QAccessible::Name).isEmpty()) {
                    read << node->text(QAccessible::Name);
                }
            }
        };
        whenActive<TMessageForm>([&](TMessageForm* dialog) {
            readLabels(dialog);
            read << accessible(dialog->findChild<QPushButton*>("OK"))->text(QAccessible::Name);
            dialog->findChild<QPushButton*>("OK")->click();
        });
        ShowMessageDialog(QStringLiteral("Nepodařilo se zkopírovat soubor & data!"),
                          MsgDlgType::Error, MsgDlgBtn::OK);
        QCOMPARE(read, (QStringList{"Nepodařilo se zkopírovat soubor & data!", "OK"}));

        read.clear();
        whenActive<TForm5>([&](TForm5* help) {
            readLabels(help);
            help->windowHandle()->close();
        });
        showHelp();
        QCOMPARE(read.size(), 5);
        QVERIFY(read.contains("aby jste neměli problémy s vyhledáváním klíčových slov."));

        read.clear();
        whenActive<TForm3>([&](TForm3* about) {
            readLabels(about);
            about->windowHandle()->close();
        });
        showAbout();
        QVERIFY(read.contains("Quorvel 1.0"));
        QVERIFY(read.contains("info@velmora.cz"));
    }

  private:
    // A fresh catalogue of issueCount issues in a working directory of its own.
    struct Catalogue {
        Catalogue() { makeCatalogue(directory.path(), issues()); }
        WorkingDirectory directory;
    };
    // The main window open on it, hidden at the end.
    struct Window {
        Window() { openWindow(form); }
        ~Window() {
            form.hide();
            QApplication::processEvents();
        }
        Catalogue catalogue;
        TForm1 form;
    };

    std::unique_ptr<Watchdog> watchdog_;
};

QUORVEL_UI_TEST_MAIN(MainWindowAccessibilityTest)
#include "MainWindowAccessibilityTest.moc"
