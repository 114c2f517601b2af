#include "SecondaryWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <cassert>

#include "Application.h"
#include "LayoutFont.h"

namespace quorvel::ui {

namespace {

// How often, in milliseconds, a shown window looks at its frame; Qt sends no event when the
// window manager's frame extents arrive.
constexpr int FrameWatchInterval = 20;

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

SecondaryWindow::SecondaryWindow(const QString& caption, QSize clientSize, Background background)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setFont(layoutFont());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background == Background::White
                                           ? QColor(Qt::white)
                                           : colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    winId();  // some platforms know the frame once the native window exists
    const QMargins margins = windowHandle()->frameMargins();
    centre(plausible(margins) ? margins : QMargins());
}

QLabel* SecondaryWindow::addLabel(const char* name, const QString& text, int left, int top,
                                  LabelLook look) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont labelFont = font();
    labelFont.setBold(look.bold);
    label->setFont(labelFont);
    if (look.colour.isValid()) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, look.colour);
        label->setPalette(colours);
    }
    label->move(left, top);
    label->adjustSize();
    // The substitute font can be wider than the layout's, and a long line would then run past
    // the window's edge: such a line is condensed just enough to fit.
    for (int stretch = 95; label->geometry().right() >= width() && stretch >= 50; stretch -= 5) {
        labelFont.setStretch(stretch);
        label->setFont(labelFont);
        label->adjustSize();
    }
    return label;
}

void SecondaryWindow::centre(const QMargins& margins) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    centredFrame_ = size().grownBy(margins);
    const QPoint frameTopLeft(screen.x() + halfDown(screen.width() - centredFrame_.width()),
                              screen.y() + halfDown(screen.height() - centredFrame_.height()));
    // The client area is placed, not the frame: the native window's idea of its frame is the
    // current one, the widget's may be out of date.
    setGeometry(QRect(frameTopLeft + QPoint(margins.left(), margins.top()), size()));
}

void SecondaryWindow::followFrame() {
    const QWindow* window = windowHandle();
    if (window == nullptr || !isVisible()) {
        return;
    }
    const QMargins margins = window->frameMargins();
    if (plausible(margins) && size().grownBy(margins) != centredFrame_) {
        centre(margins);
    }
}

bool SecondaryWindow::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    switch (event->type()) {
        case QEvent::Show:
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
    return handled;
}

void SecondaryWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == frameWatch_.timerId()) {
        followFrame();
    } else {
        QWidget::timerEvent(event);
    }
}

void adoptSecondaryWindow(QWidget* window) {
    Application* application = Application::instance();
    assert(application != nullptr && "the program's windows belong to its application object");
    application->adoptWindow(window);
}

}  // namespace quorvel::ui
