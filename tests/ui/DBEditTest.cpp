// The bound edits on a real catalogue: loading at the record set's notices, the inputs that
// start a change, the length limits, write-back, Escape, and the failures of Edit and of
// writing back.
#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>

#include "BoundForm.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;

namespace {

const std::vector<Issue> twoIssues{{"Vesmír", "3/1998", "Černé díry", "obsah"},
                                   {"Reflex", "12/2001", "Rozhovor", std::nullopt}};

}  // namespace

class DBEditTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }

    void loadsAtEveryNoticeWithTheFieldsLimits() {
        Watchdog watchdog;
        BoundForm form(twoIssues);
        DBEdit** edits = form.edits;
        QCOMPARE(edits[0]->text(), QStringLiteral("Vesmír"));
        QCOMPARE(edits[2]->text(), QStringLiteral("Černé díry"));
        QCOMPARE(edits[0]->characterLimit(), 50);
        QCOMPARE(edits[1]->characterLimit(), 15);
        QCOMPARE(edits[2]->characterLimit(), 150);
        QVERIFY(edits[0]->isReadOnly());
        form.Query1.MoveBy(1);
        QCOMPARE(edits[1]->text(), QStringLiteral("12/2001"));
        form.Query1.Append();
        QVERIFY(edits[0]->text().isEmpty());
        QVERIFY(!edits[0]->isReadOnly());
        form.Query1.Close();
        QVERIFY(edits[1]->text().isEmpty());
        QVERIFY(edits[1]->isReadOnly());
        QCOMPARE(edits[1]->characterLimit(), 0);
        form.Query1.Open();
        QCOMPARE(edits[0]->text(), QStringLiteral("Vesmír"));
        form.Query1.AddSQL("order by vytisk");  // a read-only result refuses, without a word
        form.Query1.Open();
        const QString shownBefore = lastEscapedFailureText();
        typeText(edits[0], "x");
        QCOMPARE(edits[0]->text(), QStringLiteral("Reflex"));
        QCOMPARE(form.Query1.State(), DataSetState::Browse);
        QCOMPARE(lastEscapedFailureText(), shownBefore);
    }

    void inputsThatStartAChange_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QString>("after");  // the edit's text afterwards, caret at the end
        const auto row = [](const char* name, QKeyCombination key, bool starts, const char* after) {
            QTest::newRow(name) << key << QString() << starts << QString::fromUtf8(after);
        };
        QTest::newRow("letter") << QKeyCombination(Qt::Key_unknown) << "ů" << true << "Vesmírů";
        row("backspace", Qt::Key_Backspace, true, "Vesmí");
        row("ctrl+v", Qt::CTRL | Qt::Key_V, true, "Vesmírxy");
        row("shift+insert", Qt::SHIFT | Qt::Key_Insert, true, "Vesmírxy");
        row("ctrl+x", Qt::CTRL | Qt::Key_X, true, "Vesmír");
        row("delete", Qt::Key_Delete, true, "Vesmír");
        row("shift+delete", Qt::SHIFT | Qt::Key_Delete, true, "Vesmír");
        row("left", Qt::Key_Left, false, "Vesmír");
        row("home", Qt::Key_Home, false, "Vesmír");
        row("shift+left", Qt::SHIFT | Qt::Key_Left, false, "Vesmír");
        row("ctrl+c", Qt::CTRL | Qt::Key_C, false, "Vesmír");
        row("enter", Qt::Key_Return, false, "Vesmír");
    }

    void inputsThatStartAChange() {
        QFETCH(QKeyCombination, key);
        QFETCH(QString, text);
        QFETCH(bool, starts);
        QFETCH(QString, after);
        BoundForm form(twoIssues);
        DBEdit* edit = form.edits[0];
        QApplication::clipboard()->setText("xy");
        edit->setFocus(Qt::MouseFocusReason);
        edit->end(false);
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers(), text);
        QApplication::sendEvent(edit, &press);
        QCOMPARE(form.Query1.State(), starts ? DataSetState::Edit : DataSetState::Browse);
        QCOMPARE(edit->isReadOnly(), !starts);
        QCOMPARE(edit->text(), after);
        QCOMPARE(edit->changed(), after != "Vesmír");
    }

    void pasteFromTheContextMenuStartsTheChange() {
        Watchdog watchdog;
        BoundForm form(twoIssues);
        QApplication::clipboard()->setText("xy");
        QTimer::singleShot(50, [] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu != nullptr);
            for (QAction* action : menu->actions()) {
                if (action->text().startsWith("&Paste") && action->isEnabled()) {
                    action->trigger();
                }
            }
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                form.edits[0]->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(form.edits[0], &event);
        QCOMPARE(form.Query1.State(), DataSetState::Edit);
        QCOMPARE(form.edits[0]->text(), QStringLiteral("Vesmírxy"));
    }

    void lengthLimitsRefuseTypingAndCutPastes_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("limit");
        QTest::newRow("DBEdit1") << 0 << 50;
        QTest::newRow("DBEdit2") << 1 << 15;
        QTest::newRow("DBEdit3") << 2 << 150;
    }

    void lengthLimitsRefuseTypingAndCutPastes() {
        QFETCH(int, index);
        QFETCH(int, limit);
        BoundForm form(twoIssues);
        DBEdit* edit = form.edits[index];
        form.button->setFocus();
        edit->setFocus(Qt::TabFocusReason);
        QCOMPARE(edit->selectedText(), edit->text());  // entered by keyboard: all selected
        // Czech letters and one character outside the BMP, which QLineEdit counts twice.
        const QString full = QString("ř").repeated(limit - 1) + QString::fromUtf8("𝄞");
        typeText(edit, full + "žx");
        QCOMPARE(edit->text(), full);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QApplication::clipboard()->setText(QString("čš").repeated(limit) + "\r\ndruhý řádek");
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), QString("čš").repeated(limit).left(limit));
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(form.Query1.Fields(index).AsString(), edit->text().toStdString());
    }

    void writtenBackOnLeavingAndWhenTheSetAsks() {
        BoundForm form(twoIssues);
        DBEdit** edits = form.edits;
        QTest::mouseClick(edits[0], Qt::LeftButton, {}, QPoint(3, edits[0]->height() / 2));
        QVERIFY(edits[0]->hasFocus());
        QVERIFY(!edits[0]->hasSelectedText());  // a click places the caret
        QCOMPARE(edits[0]->cursorPosition(), 0);
        typeText(edits[0], "Nový ");
        QCOMPARE(form.field("Vytisk"), std::string("Vesmír"));  // nothing while typing
        QTest::mouseClick(edits[1], Qt::LeftButton);
        QCOMPARE(form.field("Vytisk"), std::string("Nový Vesmír"));
        QVERIFY(!edits[0]->changed());
        QCOMPARE(form.stored(0), std::string("Vesmír"));  // the table waits for Post
        typeText(edits[1], "b");
        form.Query1.Post();  // asks for pending input: DBEdit2 still has the focus
        QCOMPARE(form.stored(1), std::string("3/1998b"));
        QCOMPARE(form.stored(0), std::string("Nový Vesmír"));
    }

    void escapeBringsTheFieldBackAndKeepsTheEdit() {
        BoundForm form(twoIssues);
        DBEdit* edit = form.edits[1];
        edit->setFocus(Qt::MouseFocusReason);
        typeText(edit, "99");
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(edit->text(), QStringLiteral("3/1998"));
        QCOMPARE(edit->selectedText(), QStringLiteral("3/1998"));
        QCOMPARE(form.Query1.State(), DataSetState::Edit);
        QVERIFY(!edit->changed());
    }

    void typingIntoAnEmptyResultStartsANewRow() {
        BoundForm form({});
        typeText(form.edits[0], "Č");
        QCOMPARE(form.Query1.State(), DataSetState::Insert);
        QCOMPARE(form.edits[0]->text(), QStringLiteral("Č"));
        QVERIFY(!form.memo->isReadOnly());
    }

    void aRowLockedElsewhereLosesTheInput() {
        Watchdog watchdog;
        BoundForm form(twoIssues);
        Engine other(form.directory.path().toStdString());
        auto cursor = Cursor::open(other.database(), "select * from qv", true);
        cursor->lockRow(cursor->readFirst(1).at(0));
        QString shown;
        answerErrorBox(&shown);
        typeText(form.edits[0], "x");
        QVERIFY2(!shown.isEmpty(), "no error box");
        QCOMPARE(shown, lastEscapedFailureText());
        QCOMPARE(form.Query1.State(), DataSetState::Browse);
        QCOMPARE(form.edits[0]->text(), QStringLiteral("Vesmír"));
        QVERIFY(form.edits[0]->isReadOnly());
    }

    void aFailedWriteBackKeepsTheFocusAndTheText() {
        Watchdog watchdog;
        BoundForm form(twoIssues);
        DBEdit* edit = form.edits[0];
        edit->setFocus(Qt::MouseFocusReason);
        typeText(edit, "Nový");
        // The set goes back to browse behind the edit's back, so writing is refused.
        form.DataSource1.SetDataSet(nullptr);
        form.Query1.Cancel();
        form.DataSource1.SetDataSet(&form.Query1);
        QString shown;
        answerErrorBox(&shown);
        QTest::mouseClick(form.button, Qt::LeftButton);
        QVERIFY(edit->hasFocus());  // taken back at once, before the box
        QTRY_COMPARE(shown, QStringLiteral("Query1: Dataset not in edit or insert mode."));
        QTRY_VERIFY(edit->hasFocus());
        QVERIFY(!form.button->hasFocus());
        QCOMPARE(edit->text(), QStringLiteral("VesmírNový"));
        QCOMPARE(edit->selectedText(), edit->text());
        QVERIFY(edit->changed());
    }
};

QUORVEL_UI_TEST_MAIN(DBEditTest)
#include "DBEditTest.moc"
