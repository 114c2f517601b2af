#include "FrameCentring.h"

#include <QEvent>
#include <QTimerEvent>
#include <QWidget>
#include <QWindow>

namespace quorvel::ui {

namespace {

// How often, in milliseconds, a shown window looks at its frame, and for how many looks a frame
// must stay the same to count as the window manager's finished one (a frame may be reported
// half-built on the way).
constexpr int FrameWatchInterval = 20;
constexpr int SteadyWatches = 25;

// A frame still being built can be smaller than its window; Qt then reports negative margins.
bool plausible(const QMargins& margins) {
    return margins.left() >= 0 && margins.top() >= 0 && margins.right() >= 0 &&
           margins.bottom() >= 0;
}

// Half of a (possibly negative) length, rounded down.
int halfDown(int length) {
    return length >= 0 ? length / 2 : -((1 - length) / 2);
}

}  // namespace

FrameCentring::FrameCentring(QWidget& window, const QRect& area)
    : QObject(&window), window_(window), area_(area) {
    window_.winId();  // some platforms know the frame once the native window exists
    const QMargins margins = window_.windowHandle()->frameMargins();
    centre(plausible(margins) ? margins : QMargins());
    window_.installEventFilter(this);
    if (window_.isVisible()) {
        frameWatch_.start(FrameWatchInterval, this);
    }
}

void FrameCentring::centre(const QMargins& margins) {
    centredFrame_ = window_.size().grownBy(margins);
    const QPoint frameTopLeft(area_.x() + halfDown(area_.width() - centredFrame_.width()),
                              area_.y() + halfDown(area_.height() - centredFrame_.height()));
    // The client area is placed, not the frame: the widget's own idea of its frame is renewed
    // only by Move and Resize events and can be out of date, the native window's is not.
    window_.setGeometry(
        QRect(frameTopLeft + QPoint(margins.left(), margins.top()), window_.size()));
}

void FrameCentring::followFrame() {
    const QWindow* window = window_.windowHandle();
    if (window == nullptr || !window_.isVisible()) {
        return;
    }
    const QMargins margins = window->frameMargins();
    if (plausible(margins) && window_.size().grownBy(margins) != centredFrame_) {
        centre(margins);
    }
}

bool FrameCentring::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &window_) {
        return false;
    }
    switch (event->type()) {
        case QEvent::Show:
            steadyWatches_ = 0;
            frameWatch_.start(FrameWatchInterval, this);
            break;
        case QEvent::Hide:
            frameWatch_.stop();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::WindowActivate:
            followFrame();
            break;
        default:
            break;
    }
    return false;
}

void FrameCentring::timerEvent(QTimerEvent* event) {
    if (event->timerId() == frameWatch_.timerId()) {
        const QSize before = centredFrame_;
        followFrame();
        // Once the window manager's frame has stood still a while the watch is over. Without a
        // window manager no frame comes, and the window goes on looking while it is shown: one
        // may start later.
        const QWindow* window = window_.windowHandle();
        const bool framed = window != nullptr && !window->frameMargins().isNull();
        steadyWatches_ = framed && centredFrame_ == before ? steadyWatches_ + 1 : 0;
        if (steadyWatches_ >= SteadyWatches) {
            frameWatch_.stop();
        }
    } else {
        QObject::timerEvent(event);
    }
}

}  // namespace quorvel::ui
