// Geometry delivered ahead of a window's first showing: the window shows as it would have
// without it, and nothing is sent its size twice.
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>

#include "PendingGeometry.h"
#include "UiTestSupport.h"

using namespace quorvel::ui;

class PendingGeometryTest : public QObject {
    Q_OBJECT

    // A hidden window with a scroll area of unwrapped lines, as the memo is, and a child hidden on
    // purpose.
    struct Window {
        QWidget top;
        QPlainTextEdit* memo =
            new QPlainTextEdit(QString("Hlavní článek o Vltavě.\n").repeated(30), &top);
        QPushButton* hidden = new QPushButton("Skrytý", &top);
        Window() {
            top.resize(320, 240);
            memo->setGeometry(8, 8, 200, 120);
            memo->setLineWrapMode(QPlainTextEdit::NoWrap);
            memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            hidden->setGeometry(216, 8, 90, 25);
            hidden->hide();
        }
    };

    // Counts the resizes of the objects it watches.
    struct Resizes : QObject {
        std::map<QObject*, int> count;
        bool eventFilter(QObject* watched, QEvent* event) override {
            count[watched] += event->type() == QEvent::Resize ? 1 : 0;
            return false;
        }
    };

  private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Windows")); }

    void showsAsWithoutItAndSendsNothingTwice() {
        Window plain;
        plain.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain.top));
        const QImage plainLook = plain.top.grab().toImage();
        plain.top.hide();

        Window ahead;
        Resizes resizes;
        ahead.memo->viewport()->installEventFilter(&resizes);
        ahead.hidden->installEventFilter(&resizes);
        deliverPendingGeometry(ahead.top);
        QCOMPARE(ahead.memo->viewport()->geometry(), plain.memo->viewport()->geometry());
        QCOMPARE(resizes.count[ahead.hidden], 0);  // left for its own showing
        ahead.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ahead.top));
        QCOMPARE(resizes.count[ahead.memo->viewport()], 1);
        QCOMPARE(ahead.top.grab().toImage(), plainLook);
        ahead.top.hide();
    }
};

QUORVEL_UI_TEST_MAIN(PendingGeometryTest)
#include "PendingGeometryTest.moc"
