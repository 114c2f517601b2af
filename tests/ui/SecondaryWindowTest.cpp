// What the splash, about and help windows share: their frames, their place on the screen, and
// their openings, each a new window shown modally and kept hidden afterwards.
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <functional>
#include <memory>
#include <optional>

#include "SecondaryWindow.h"
#include "UiTestSupport.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit5.h"

using namespace quorvel::ui;
using test::whenActive;

namespace {

struct Kind {
    std::function<std::unique_ptr<SecondaryWindow>()> create;
    std::function<int()> open;
};

Kind kindOf(const QString& name) {
    if (name == "splash") {
        return {[] { return std::make_unique<TForm2>(); }, showSplash};
    }
    if (name == "about") {
        return {[] { return std::make_unique<TForm3>(); }, showAbout};
    }
    return {[] { return std::make_unique<TForm5>(); }, showHelp};
}

void addKindRows() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QColor>("background");
    const QColor buttonFace = QPalette().color(QPalette::Button);
    QTest::newRow("splash") << "splash"
                            << "Velmora" << QSize(151, 199) << buttonFace;
    QTest::newRow("about") << "about"
                           << "About" << QSize(193, 244) << QColor(Qt::white);
    QTest::newRow("help") << "help"
                          << "Nápověda" << QSize(536, 153) << buttonFace;
}

}  // namespace

class SecondaryWindowTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

  private slots:
    void init() { watchdog_.emplace(); }

    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void frameIsFixedWithACloseBoxOnlyAndCentred_data() { addKindRows(); }
    void frameIsFixedWithACloseBoxOnlyAndCentred() {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QColor, background);
        const std::unique_ptr<SecondaryWindow> form = kindOf(kind).create();
        QCOMPARE(form->windowTitle(), caption);
        QCOMPARE(form->size(), client);
        QCOMPARE(form->minimumSize(), client);
        QCOMPARE(form->maximumSize(), client);
        const Qt::WindowFlags flags = form->windowFlags();
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(form->font().family(), QStringLiteral("MS Sans Serif"));
        QCOMPARE(form->font().pixelSize(), 11);
        QVERIFY(form->autoFillBackground());
        QCOMPARE(form->palette().color(QPalette::Window), background);

        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        if (kind != "splash") {  // the splash's picture covers its background
            QCOMPARE(form->grab().toImage().pixelColor(form->width() - 1, 1), background);
        }
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QRect frame = form->frameGeometry();
        QCOMPARE(frame.left(), (screen.width() - frame.width()) / 2);
        QCOMPARE(frame.top(), (screen.height() - frame.height()) / 2);
        form->hide();
    }

    void eachOpeningIsANewModalWindowKeptHidden_data() { addKindRows(); }
    void eachOpeningIsANewModalWindowKeptHidden() {
        QFETCH(QString, kind);
        // A main window whose button counts the clicks that reach it through the window system.
        QWidget main;
        auto* button = new QPushButton(QStringLiteral("Main"), &main);
        button->setGeometry(0, 0, 100, 30);
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const auto clickMain = [&main] {
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, QPoint(50, 15));
        };

        QList<QPointer<QWidget>> opened;
        for (int opening = 0; opening < 2; ++opening) {
            whenActive([&](QWidget* window) { return qobject_cast<SecondaryWindow*>(window); },
                       [&](QWidget* window) {
                           opened << window;
                           clickMain();
                           window->close();
                       });
            QCOMPARE(kindOf(kind).open(), ResultClosed);
        }
        QCOMPARE(clicks, 0);
        clickMain();
        QCOMPARE(clicks, 1);  // and afterwards it does again
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0] != opened[1]);
        for (const QPointer<QWidget>& window : opened) {
            QVERIFY(window != nullptr);  // kept, owned by the application
            QVERIFY(window->isHidden());
            QVERIFY(window->parent() == nullptr);
        }
    }
};

QUORVEL_UI_TEST_MAIN(SecondaryWindowTest)
#include "SecondaryWindowTest.moc"
