// The help window: its five lines exactly as the program words them, and its closing by the
// close box alone.
#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <optional>

#include "UiTestSupport.h"
#include "Unit5.h"

using namespace quorvel::ui;
using test::whenActive;

class HelpWindowTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

  private slots:
    void init() { watchdog_.emplace(); }

    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void linesByteForByte_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("top");
        QTest::addColumn<QByteArray>("utf8");
        // The program's own wording, slips included ("zádávejte", "tuďíž", "záznami").
        QTest::newRow("Label1") << "Label1" << 16
                                << QByteArray(
                                       "Program rozli\xc5\xa1uje velk\xc3\xa1 a mal\xc3\xa1 "
                                       "p\xc3\xadsmena, z\xc3\xa1"
                                       "d\xc3\xa1vejte "
                                       "tu\xc4\x8f\xc3\xad\xc5\xbe do datab\xc3\xa1ze "
                                       "slova tak,");
        QTest::newRow("Label2") << "Label2" << 32
                                << QByteArray(
                                       "aby jste nem\xc4\x9bli probl\xc3\xa9my s "
                                       "vyhled\xc3\xa1v\xc3\xa1n\xc3\xadm "
                                       "kl\xc3\xad\xc4\x8dov\xc3\xbd"
                                       "ch slov.");
        QTest::newRow("Label3") << "Label3" << 64
                                << QByteArray(
                                       "Pokud vyu\xc5\xbeijete volby se\xc5\x99"
                                       "adit, "
                                       "znep\xc5\x99\xc3\xadstupn\xc3\xad se v\xc3\xa1m "
                                       "t\xc3\xadm mo\xc5\xbenost editovat vybran\xc3\xa9 "
                                       "z\xc3\xa1znamy.");
        QTest::newRow("Label4") << "Label4" << 96
                                << QByteArray(
                                       "V p\xc5\x99\xc3\xad"
                                       "pad\xc4\x9b pot\xc5\x99"
                                       "eby "
                                       "editace z\xc3\xa1znamu, vlo\xc5\xbe"
                                       "en\xc3\xad "
                                       "nov\xc3\xa9ho z\xc3\xa1znami \xc4\x8di "
                                       "odstran\xc4\x9bn\xc3\xad mus\xc3\xad b\xc3\xbdt "
                                       "zvolena volba ne\xc5\x99"
                                       "adit.");
        QTest::newRow("Label5") << "Label5" << 128
                                << QByteArray(
                                       "Datab\xc3\xa1zi si m\xc5\xaf\xc5\xbe"
                                       "ete "
                                       "takt\xc3\xa9\xc5\xbe z\xc3\xa1lohovat pomoc\xc3\xad "
                                       "volby ulo\xc5\xbeit datab\xc3\xa1zi jako. "
                                       "(soubory qv.db, qv.mb).");
    }
    void linesByteForByte() {
        QFETCH(QString, name);
        QFETCH(int, top);
        QFETCH(QByteArray, utf8);
        TForm5 form;
        const auto* label = form.findChild<QLabel*>(name);
        QVERIFY(label != nullptr);
        QCOMPARE(label->text().toUtf8(), utf8);
        QCOMPARE(label->pos(), QPoint(16, top));
        QVERIFY(qAbs(label->width() - label->fontMetrics().horizontalAdvance(label->text())) <= 1);
        QCOMPARE(label->height(), 13);
        QVERIFY2(label->geometry().right() < form.width(),
                 qPrintable(QString::number(label->width())));
        QCOMPARE(form.findChildren<QLabel*>().size(), 5);
    }

    void closedOnlyByTheCloseBox() {
        bool openAfterKeys = false;
        whenActive<TForm5>([&](TForm5* form) {
            QVERIFY(form->findChildren<QAbstractButton*>().isEmpty());
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
                QTest::keyClick(form, key);
            }
            QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(300, 140));
            openAfterKeys = form->isVisible() && modalResult(*form) == 0;
            form->grab().save("/tmp/quorvel-help.png");
            form->windowHandle()->close();
        });
        QCOMPARE(showHelp(), ResultClosed);
        QVERIFY(openAfterKeys);
    }
};

QUORVEL_UI_TEST_MAIN(HelpWindowTest)
#include "HelpWindowTest.moc"
