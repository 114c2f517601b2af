// A disabled UngreyedGroupBox: its caption and controls look exactly as when it is enabled, yet
// neither Tab nor a click reaches them.
#include <QLineEdit>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>
#include <QVBoxLayout>

#include "UiTestSupport.h"
#include "windows/UngreyedGroupBox.h"

using namespace quorvel::ui;

class UngreyedGroupBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create("Fusion")); }
    void cleanup() { QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left open"); }

    void disabledLooksTheSameAndTakesNoFocus() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* before = new QLineEdit(&window);
        auto* box = new UngreyedGroupBox("Záznam", &window);
        auto* inside = new QVBoxLayout(box);
        auto* edit = new QLineEdit("Vesmír", box);
        inside->addWidget(edit);
        inside->addWidget(new QPushButton("Nový", box));
        auto* after = new QLineEdit(&window);
        layout->addWidget(before);
        layout->addWidget(box);
        layout->addWidget(after);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        before->setFocus();
        const QImage enabled = box->grab().toImage();

        box->setEnabled(false);
        QCOMPARE(box->grab().toImage(), enabled);
        QTest::keyClick(before, Qt::Key_Tab);
        QVERIFY(after->hasFocus());
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(!edit->hasFocus());

        box->setEnabled(true);
        QTest::mouseClick(edit, Qt::LeftButton);
        QVERIFY(edit->hasFocus());
    }
};

QUORVEL_UI_TEST_MAIN(UngreyedGroupBoxTest)
#include "UngreyedGroupBoxTest.moc"
