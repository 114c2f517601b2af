// The bound memo on a real catalogue: line breaks shown as lines and written back as CR LF, the
// keys that start a change, a text beyond its capacity, and the inactive set.
#include "BoundForm.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;

class DBMemoTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }

    void showsEveryLineBreakAndWritesCrLf() {
        BoundForm form({{"Vesmír", "3", "díry", "první\ndruhá\rtřetí\r\nčtvrtá"}});
        DBMemo* memo = form.memo;
        QCOMPARE(memo->blockCount(), 4);
        QVERIFY(memo->loaded());
        QCOMPARE(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        memo->setFocus(Qt::TabFocusReason);
        QVERIFY(!memo->textCursor().hasSelection());  // entered by keyboard: nothing selected
        memo->moveCursor(QTextCursor::End);
        typeText(memo, "!");
        QCOMPARE(form.Query1.State(), DataSetState::Edit);
        QTest::mouseClick(form.edits[1], Qt::LeftButton);
        QCOMPARE(form.field("Obsah_vytisku"), std::string("první\r\ndruhá\r\ntřetí\r\nčtvrtá!"));
        form.Query1.Close();  // no field: every key is ignored
        typeText(memo, "x");
        QTest::keyClick(memo, Qt::Key_Return);
        QVERIFY(memo->toPlainText().isEmpty());
    }

    void keysThatStartAChange_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("written");  // the memo's text afterwards, "" if unchanged
        QTest::newRow("enter") << QKeyCombination(Qt::Key_Return) << "a\r\n";
        QTest::newRow("ctrl+j") << (Qt::CTRL | Qt::Key_J) << "a\r\n";
        QTest::newRow("ctrl+i") << (Qt::CTRL | Qt::Key_I) << "a\t";
        QTest::newRow("backspace") << QKeyCombination(Qt::Key_Backspace) << "";
        QTest::newRow("ctrl+c") << (Qt::CTRL | Qt::Key_C) << "a";
        QTest::newRow("up") << QKeyCombination(Qt::Key_Up) << "a";
        QTest::newRow("tab moves on") << QKeyCombination(Qt::Key_Tab) << "a";
    }

    void keysThatStartAChange() {
        QFETCH(QKeyCombination, key);
        QFETCH(QString, written);
        BoundForm form({{"Vesmír", "3", "díry", "a"}});
        form.memo->setFocus(Qt::MouseFocusReason);
        form.memo->moveCursor(QTextCursor::End);
        QTest::keyClick(form.memo, key.key(), key.keyboardModifiers());
        QCOMPARE(form.memo->fieldText(), written);
        QCOMPARE(form.Query1.State(), written == "a" ? DataSetState::Browse : DataSetState::Edit);
        QCOMPARE(form.memo->hasFocus(), key.key() != Qt::Key_Tab);
    }

    void aTextBeyondCapacityIsNotLoadedUntilRetried_data() {
        QTest::addColumn<QString>("memo");
        QTest::newRow("one long line") << QString(DBMemo::CapacityLine + 1, u'ř');
        QTest::newRow("too much in all")
            << (QString(1000, u'x') + "\r\n").repeated(DBMemo::CapacityTotal / 1000);
    }

    void aTextBeyondCapacityIsNotLoadedUntilRetried() {
        QFETCH(QString, memo);
        BoundForm form({{"Vesmír", "3", "díry", memo.toStdString()}});
        QCOMPARE(form.memo->toPlainText(), QStringLiteral("(Text exceeds memo capacity)"));
        QVERIFY(!form.memo->loaded());
        typeText(form.memo, "x");
        QCOMPARE(form.Query1.State(), DataSetState::Browse);
        // The field is shortened while the memo doesn't hear of it; Enter tries again.
        form.DataSource1.SetDataSet(nullptr);
        form.Query1.Edit();
        form.Query1.FieldByName("Obsah_vytisku").SetAsString("krátký");
        form.DataSource1.SetDataSet(&form.Query1);
        QTest::keyClick(form.memo, Qt::Key_Return);
        QVERIFY(form.memo->loaded());
        QCOMPARE(form.memo->toPlainText(), QStringLiteral("krátký"));
    }
};

QUORVEL_UI_TEST_MAIN(DBMemoTest)
#include "DBMemoTest.moc"
