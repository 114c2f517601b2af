// Modal display: what it does to the other windows, the cursor, the mouse capture and the
// active window, how it ends, and how displays nest.
#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <optional>

#include "ModalDisplay.h"
#include "UiTestSupport.h"
#include "messages/DefaultErrorHandler.h"

using namespace quorvel::ui;
using test::whenActive;

class ModalDisplayTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

    static void expectRefusal(QWidget& window) {
        try {
            showModal(window);
            QFAIL("the window was shown modally");
        } catch (const quorvel::EInvalidOperation& failure) {
            QCOMPARE(QString(failure.what()), QString("Cannot make a visible window modal"));
            QCOMPARE(QString(failure.kindName()), QString("EInvalidOperation"));
        }
    }

  private slots:
    void init() { watchdog_.emplace(); }

    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }

    void refusesAVisibleOrDisabledWindow() {
        QWidget visible;
        visible.show();
        expectRefusal(visible);
        QVERIFY(visible.isEnabled());

        QWidget disabled;
        disabled.setEnabled(false);
        expectRefusal(disabled);
        QVERIFY(!disabled.isVisible());
    }

    void disablesExactlyTheVisibleEnabledWindowsAndEnablesThemAgain() {
        QWidget main;
        main.show();
        QWidget alreadyDisabled;
        alreadyDisabled.setEnabled(false);
        alreadyDisabled.show();
        QWidget hidden;
        QWidget modal;
        bool mainEnabled = true, alreadyDisabledEnabled = true, hiddenEnabled = false,
             modalEnabled = false;
        whenActive(modal, [&] {
            mainEnabled = isWindowEnabled(main);
            alreadyDisabledEnabled = isWindowEnabled(alreadyDisabled);
            hiddenEnabled = isWindowEnabled(hidden);
            modalEnabled = isWindowEnabled(modal);
            setModalResult(modal, 1);
        });
        QCOMPARE(showModal(modal), 1);
        QVERIFY(!mainEnabled);
        QVERIFY(!alreadyDisabledEnabled);
        QVERIFY(hiddenEnabled);
        QVERIFY(modalEnabled);

        QVERIFY(isWindowEnabled(main));
        QVERIFY(!isWindowEnabled(alreadyDisabled));
        QVERIFY(isWindowEnabled(hidden));
    }

    void windowsBehindTakeNoInputAndAreDrawnAsUsual() {
        QWidget main;
        auto* button = new QPushButton("&Zobrazit", &main);
        auto* edit = new QLineEdit("Titul", &main);
        edit->move(0, 40);
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++clicks; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        // Through the window system, as a person's click comes.
        const auto click = [&] {
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, button->geometry().center());
        };
        click();
        QCOMPARE(clicks, 1);
        // As an inactive window is drawn while another one of the program is active.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        const QImage before = main.grab().toImage();
        other.hide();

        QWidget modal;
        QImage during;
        whenActive(modal, [&] {
            during = main.grab().toImage();
            click();
            modal.close();
        });
        showModal(modal);
        QCOMPARE(clicks, 1);
        QVERIFY(during == before);  // not greyed
        click();
        QCOMPARE(clicks, 2);
    }

    void endsWithTheWindowsResultAndHidesTheWindow_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("result");
        QTest::newRow("close box") << "close box" << 2;
        QTest::newRow("close() from a handler") << "close()" << 2;
        QTest::newRow("the window hides itself") << "hide()" << 2;
        QTest::newRow("a button's result") << "result 6" << 6;
    }
    void endsWithTheWindowsResultAndHidesTheWindow() {
        QFETCH(QString, how);
        QFETCH(int, result);
        auto* window = new QWidget;
        qobject_cast<Application*>(qApp)->adoptWindow(window);
        const QPointer<QWidget> kept = window;
        whenActive(*window, [&] {
            if (how == "close box") {
                window->windowHandle()->close();  // as the window manager does
            } else if (how == "close()") {
                window->close();
            } else if (how == "hide()") {
                window->hide();
            } else {
                setModalResult(*window, 6);
            }
        });
        QCOMPARE(showModal(*window), result);
        QCOMPARE(modalResult(*window), result);
        QVERIFY(kept != nullptr);
        QVERIFY(!window->isVisible());
    }

    void nestedDisplaysEndInnermostFirst() {
        QWidget main;
        main.show();
        QWidget outer, inner;
        QStringList ends;
        bool outerEnabledDuringInner = true, mainEnabledAfterInner = true,
             outerEnabledAfterInner = false;
        whenActive(outer, [&] {
            whenActive(inner, [&] {
                outerEnabledDuringInner = isWindowEnabled(outer);
                setModalResult(outer, 3);  // can't end the outer display while this one runs
                QTimer::singleShot(50, [&] { inner.close(); });
            });
            ends << QString("inner %1").arg(showModal(inner));
            outerEnabledAfterInner = isWindowEnabled(outer);
            mainEnabledAfterInner = isWindowEnabled(main);
        });
        ends << QString("outer %1").arg(showModal(outer));
        QCOMPARE(ends, QStringList({"inner 2", "outer 3"}));
        QVERIFY(!outerEnabledDuringInner);
        QVERIFY(outerEnabledAfterInner);
        QVERIFY(!mainEnabledAfterInner);  // the outer display's to enable again
        QVERIFY(isWindowEnabled(main));
    }

    void theActiveWindowAndItsFocusComeBack() {
        QWidget main;
        auto* first = new QLineEdit(&main);
        auto* second = new QLineEdit(&main);
        second->move(0, 40);
        main.show();
        second->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QCOMPARE(QApplication::focusWidget(), second);

        QWidget modal;
        whenActive(modal, [&] { setModalResult(modal, 1); });
        showModal(modal);
        QTRY_COMPARE(QApplication::activeWindow(), &main);
        QCOMPARE(QApplication::focusWidget(), second);
        QVERIFY(first->isEnabled());
    }

    void mouseCaptureIsLetGo() {
        QWidget main;
        auto* dragged = new QWidget(&main);
        main.show();
        dragged->grabMouse();
        QCOMPARE(QWidget::mouseGrabber(), dragged);
        QWidget modal;
        QWidget* grabberDuring = dragged;
        whenActive(modal, [&] {
            grabberDuring = QWidget::mouseGrabber();
            modal.close();
        });
        showModal(modal);
        QCOMPARE(grabberDuring, nullptr);
    }

    void cursorIsTheArrowDuringTheDisplay_data() {
        QTest::addColumn<bool>("waitBefore");
        QTest::addColumn<bool>("setDuring");
        QTest::addColumn<int>("after");  // -1: no override cursor
        QTest::newRow("no cursor before") << false << false << -1;
        QTest::newRow("wait cursor before") << true << false << int(Qt::WaitCursor);
        QTest::newRow("cursor set during the display") << false << true << int(Qt::ArrowCursor);
    }
    void cursorIsTheArrowDuringTheDisplay() {
        QFETCH(bool, waitBefore);
        QFETCH(bool, setDuring);
        QFETCH(int, after);
        if (waitBefore) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
        QWidget modal;
        int during = -1;
        whenActive(modal, [&] {
            during = QGuiApplication::overrideCursor()->shape();
            if (setDuring) {
                QGuiApplication::changeOverrideCursor(Qt::WaitCursor);
            }
            modal.close();
        });
        showModal(modal);
        QCOMPARE(during, int(Qt::ArrowCursor));
        const QCursor* cursor = QGuiApplication::overrideCursor();
        QCOMPARE(cursor != nullptr ? int(cursor->shape()) : -1, after);
        while (QGuiApplication::overrideCursor() != nullptr) {
            QGuiApplication::restoreOverrideCursor();
        }
    }

    void failureInAHandlerReachesTheDefaultHandlerAndTheDisplayGoesOn() {
        QWidget modal;
        test::ThrowingObject thrower;
        QString shown;
        bool activeAgain = false;
        whenActive(modal, [&] {
            test::whenActive<QMessageBox>([&](QMessageBox* box) {
                shown = box->text();
                box->button(QMessageBox::Ok)->click();
                whenActive(modal, [&] {
                    activeAgain = true;
                    setModalResult(modal, 1);
                });
            });
            QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        });
        QCOMPARE(showModal(modal), 1);
        QCOMPARE(shown, QString("Query1: Table is busy."));
        QCOMPARE(lastEscapedFailureText(), shown);
        QVERIFY(activeAgain);
    }

    void quittingTheApplicationEndsTheDisplayAsClosed() {
        QWidget main;
        main.show();
        QWidget modal;
        whenActive(modal, [] { QCoreApplication::exit(0); });
        QCOMPARE(showModal(modal), 2);
        QVERIFY(!modal.isVisible());
        QVERIFY(isWindowEnabled(main));
        // Run the application's loop once, so that it forgets the quit for the next tests.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCOMPARE(QCoreApplication::exec(), 0);
    }
};

QUORVEL_UI_TEST_MAIN(ModalDisplayTest)
#include "ModalDisplayTest.moc"
