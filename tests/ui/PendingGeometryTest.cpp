// Geometry delivered ahead of a window's first showing: the window then shows and paints as it
// would have without it, and no widget is sent its move or resize twice.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTest>
#include <QVBoxLayout>

#include <map>
#include <memory>

#include "PendingGeometry.h"
#include "UiTestSupport.h"

using namespace quorvel::ui;

namespace {

// Counts the moves and resizes each widget of a window is sent.
class GeometryEvents : public QObject {
  public:
    std::map<QObject*, int> moves;
    std::map<QObject*, int> resizes;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Move) {
            ++moves[watched];
        } else if (event->type() == QEvent::Resize) {
            ++resizes[watched];
        }
        return false;
    }
};

// A window as the main window is made: fixed places, a scroll area with text that doesn't
// wrap, a group with a layout of its own, and a child hidden on purpose.
struct Window {
    QWidget top;
    QPlainTextEdit* memo;
    QWidget* group;
    QPushButton* hidden;

    Window() {
        top.resize(320, 240);
        memo = new QPlainTextEdit(&top);
        memo->setGeometry(8, 8, 200, 120);
        memo->setLineWrapMode(QPlainTextEdit::NoWrap);
        memo->setPlainText(
            QString("Hlavní článek popisuje stavbu přehrady na Vltavě.\n").repeated(30));
        group = new QWidget(&top);
        group->setGeometry(8, 136, 300, 90);
        auto* layout = new QVBoxLayout(group);
        layout->addWidget(new QLabel("Seřadit podle:", group));
        layout->addWidget(new QPushButton("Uložit", group));
        hidden = new QPushButton("Skrytý", &top);
        hidden->setGeometry(216, 8, 90, 25);
        hidden->hide();
    }

    QList<QWidget*> widgets() { return top.findChildren<QWidget*>() << &top; }
};

}  // namespace

class PendingGeometryTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Windows")); }
    void cleanup() { QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left open"); }

    void showsAsWithoutItAndSendsNothingTwice() {
        // Each shown alone, so that both have the same focus and activation.
        Window plain;
        plain.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plain.top));
        const QImage plainLook = plain.top.grab().toImage();
        plain.top.hide();

        Window ahead;
        GeometryEvents events;
        for (QWidget* widget : ahead.widgets()) {
            widget->installEventFilter(&events);
        }
        deliverPendingGeometry(ahead.top);
        // Laid out already, before any showing: the scroll area's viewport has its place.
        QCOMPARE(ahead.memo->viewport()->geometry(), plain.memo->viewport()->geometry());
        QCOMPARE(events.resizes[ahead.memo->viewport()], 1);
        QCOMPARE(events.resizes[ahead.hidden], 0);  // hidden on purpose: left for its showing

        ahead.top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ahead.top));
        for (QWidget* widget : ahead.widgets()) {
            QVERIFY2(events.resizes[widget] <= 1 && events.moves[widget] <= 1,
                     qPrintable(widget->metaObject()->className()));
        }
        QCOMPARE(ahead.top.grab().toImage(), plainLook);
        QCOMPARE(ahead.memo->horizontalScrollBar()->maximum(),
                 plain.memo->horizontalScrollBar()->maximum());

        // The hidden child gets its geometry when it is shown after all.
        ahead.hidden->show();
        QCOMPARE(events.resizes[ahead.hidden], 1);
        ahead.top.hide();
    }
};

QUORVEL_UI_TEST_MAIN(PendingGeometryTest)
#include "PendingGeometryTest.moc"
