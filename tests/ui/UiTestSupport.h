// What every window test needs: a main that runs the tests under our application object, a
// helper that answers a modal window from inside its loop, and a watchdog so that a window
// nobody answers fails the test instead of hanging it.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "Application.h"
#include "Exceptions.h"
#include "ModalDisplay.h"

namespace quorvel::ui::test {

inline QWidgetList visibleTopLevels() {
    QWidgetList visible;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible()) {
            visible.append(window);
        }
    }
    return visible;
}

// Polls of whenActive still waiting end with the test's Watchdog, so that none of them can
// act on a later test's windows.
inline QObject*& pollingContext() {
    static QObject* context = nullptr;
    return context;
}

// Hides every window still on screen, so that one leaked window fails one test, not every test
// after it; gives the windows that were left.
inline QWidgetList hideLeftWindows() {
    const QWidgetList left = visibleTopLevels();
    for (QWidget* window : left) {
        window->hide();
    }
    return left;
}

// Runs action once a visible, active top-level window accepted by match is up; polls from
// inside whatever loop is running (a modal display's, or QMessageBox::exec's), every 10 ms for
// up to a minute, a busy machine's time to show a window.
inline void whenActive(std::function<bool(QWidget*)> match, std::function<void(QWidget*)> action,
                       int attemptsLeft = 6000) {
    Q_ASSERT(pollingContext() != nullptr);
    QTimer::singleShot(10, pollingContext(), [=] {
        for (QWidget* window : visibleTopLevels()) {
            if (window->isActiveWindow() && match(window)) {
                action(window);
                return;
            }
        }
        if (attemptsLeft > 0) {
            whenActive(match, action, attemptsLeft - 1);
        }
    });
}

template <typename Window>
void whenActive(std::function<void(Window*)> action) {
    whenActive([](QWidget* window) { return dynamic_cast<Window*>(window) != nullptr; },
               [action](QWidget* window) { action(dynamic_cast<Window*>(window)); });
}

// Runs action once the given window is up and active.
inline void whenActive(QWidget& window, std::function<void()> action) {
    whenActive([&window](QWidget* candidate) { return candidate == &window; },
               [action](QWidget*) { action(); });
}

// An object whose handler of QEvent::User fails, as a command handler can.
class ThrowingObject : public QObject {
  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            throw quorvel::EDatabaseError("Query1: Table is busy");
        }
        return QObject::event(event);
    }
};

// Ends every modal display and message box still up after a while. The test then fails on
// its results (-1) or on its cleanup check, rather than waiting forever. One lives for each
// test; whenActive needs it. A test of many long steps gives a longer patience.
class Watchdog {
  public:
    explicit Watchdog(int patienceMs = 15000) {
        pollingContext() = &context_;
        timer_.setSingleShot(true);
        timer_.setInterval(patienceMs);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            for (QWidget* window : visibleTopLevels()) {
                if (auto* box = qobject_cast<QMessageBox*>(window)) {
                    box->done(0);
                } else {
                    setModalResult(*window, -1);
                }
            }
        });
        timer_.start();
    }
    ~Watchdog() { pollingContext() = nullptr; }

    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    QObject context_;
    QTimer timer_;
};

}  // namespace quorvel::ui::test

// Like QTEST_MAIN, with our application object, so that failures escaping handlers reach the
// default error handler as they do in the program.
#define QUORVEL_UI_TEST_MAIN(TestClass)                   \
    int main(int argc, char** argv) {                     \
        quorvel::ui::Application application(argc, argv); \
        application.setAttribute(Qt::AA_Use96Dpi, true);  \
        TestClass test;                                   \
        return QTest::qExec(&test, argc, argv);           \
    }
