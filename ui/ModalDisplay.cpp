#include "ModalDisplay.h"

#include <QApplication>
#include <QCursor>
#include <QDynamicPropertyChangeEvent>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace quorvel::ui {

namespace {

// A window a display disabled, and the widget that had its keyboard focus.
struct DisabledWindow {
    QPointer<QWidget> window;
    QPointer<QWidget> focus;
};

// Windows whose modal display is running, innermost last, and the windows each disabled.
std::vector<const QWidget*> runningDisplays;
std::vector<const std::vector<DisabledWindow>*> disabledByDisplays;

bool isShownModally(const QWidget& window) {
    return std::find(runningDisplays.begin(), runningDisplays.end(), &window) !=
           runningDisplays.end();
}

// Watches the window while it is shown modally: closing it only sets its result, and a
// nonzero result ends the display's loop.
class DisplayWatcher : public QObject {
  public:
    DisplayWatcher(QWidget& window, QEventLoop& loop) : window_(window), loop_(loop) {
        window_.installEventFilter(this);
    }
    ~DisplayWatcher() override { window_.removeEventFilter(this); }

    // Whether the loop was ended by the window's result rather than by the application quitting.
    bool endedByResult() const { return endedByResult_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &window_) {
            return false;
        }
        switch (event->type()) {
            case QEvent::Close:
                event->ignore();
                setModalResult(window_, ResultClosed);
                return true;
            case QEvent::DynamicPropertyChange:
                if (static_cast<QDynamicPropertyChangeEvent*>(event)->propertyName() ==
                        ModalResultProperty &&
                    modalResult(window_) != 0) {
                    endedByResult_ = true;
                    loop_.quit();
                }
                return false;
            case QEvent::Hide:
                // A window that hides itself (hide(), QDialog::done) has closed: left without a
                // result, the application would stay disabled behind an invisible window.
                if (!event->spontaneous() && modalResult(window_) == 0) {
                    setModalResult(window_, ResultClosed);
                }
                return false;
            default:
                return false;
        }
    }

  private:
    QWidget& window_;
    QEventLoop& loop_;
    bool endedByResult_ = false;
};

// What a display does to the rest of the application, undone when it ends, however it ends.
class ModalSession {
  public:
    explicit ModalSession(QWidget& window) : window_(window) {
        // A drag or a pressed button in another window is let go.
        if (QWidget* grabber = QWidget::mouseGrabber()) {
            grabber->releaseMouse();
        }
        previousActive_ = QApplication::activeWindow();
        for (QWidget* other : QApplication::topLevelWidgets()) {
            if (other != &window && other->isWindow() && other->isVisible() &&
                isWindowEnabled(*other)) {
                // The focus goes to the modal window; keep each window's to give it back.
                disabled_.push_back({other, other->focusWidget()});
            }
        }
        disabledByDisplays.push_back(&disabled_);
        previousModality_ = window.windowModality();
        window.setWindowModality(Qt::ApplicationModal);
        QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        runningDisplays.push_back(&window);
    }

    ~ModalSession() {
        runningDisplays.erase(std::find(runningDisplays.begin(), runningDisplays.end(), &window_));
        disabledByDisplays.erase(
            std::find(disabledByDisplays.begin(), disabledByDisplays.end(), &disabled_));
        // Our arrow still on top: the earlier cursor comes back. A cursor set during the
        // display gives way to the arrow, which then stays.
        if (const QCursor* cursor = QGuiApplication::overrideCursor()) {
            if (cursor->shape() == Qt::ArrowCursor) {
                QGuiApplication::restoreOverrideCursor();
            } else {
                QGuiApplication::changeOverrideCursor(Qt::ArrowCursor);
            }
        }
        const bool wasActive = QApplication::activeWindow() == &window_;
        window_.hide();
        window_.setWindowModality(previousModality_);
        for (const DisabledWindow& entry : disabled_) {
            if (entry.window != nullptr) {
                if (entry.focus != nullptr) {
                    entry.focus->setFocus(Qt::OtherFocusReason);
                }
            }
        }
        if (wasActive && previousActive_ != nullptr) {
            previousActive_->activateWindow();
        }
    }

    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

  private:
    QWidget& window_;
    Qt::WindowModality previousModality_ = Qt::NonModal;
    QPointer<QWidget> previousActive_;
    std::vector<DisabledWindow> disabled_;
};

}  // namespace

int modalResult(const QWidget& window) {
    return window.property(ModalResultProperty).toInt();
}

void setModalResult(QWidget& window, int result) {
    window.setProperty(ModalResultProperty, result);
}

bool isWindowEnabled(const QWidget& window) {
    if (!window.isEnabled()) {
        return false;
    }
    for (const std::vector<DisabledWindow>* disabled : disabledByDisplays) {
        for (const DisabledWindow& entry : *disabled) {
            if (entry.window == &window) {
                return false;
            }
        }
    }
    return true;
}

int showModal(QWidget& window) {
    if (window.isVisible() || !isWindowEnabled(window) || isShownModally(window)) {
        throw EInvalidOperation("Cannot make a visible window modal");
    }
    ModalSession session(window);
    QEventLoop loop;
    DisplayWatcher watcher(window, loop);
    window.show();
    window.raise();
    window.activateWindow();
    setModalResult(window, 0);
    // The loop returns when the window gets a result, or at once and for good when the
    // application is quitting; then the window counts as closed.
    loop.exec();
    if (!watcher.endedByResult()) {
        setModalResult(window, ResultClosed);
    }
    return modalResult(window);
}

}  // namespace quorvel::ui
