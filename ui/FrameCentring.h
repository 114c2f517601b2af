// Keeps a top-level window centred in an area of the screen with its frame counted: the left and
// top of the frame, the window manager's border and title bar included, are (area − frame) / 2,
// halves rounded down. Under X11 the frame is known only some time after the window is mapped,
// and Qt sends no event when it arrives, so the window is centred on its client area first and
// again whenever the frame it has differs from the one it was centred with, while it is shown.
#pragma once

#include <QBasicTimer>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace quorvel::ui {

class FrameCentring : public QObject {
  public:
    // Centres window in area at once and follows its frame from then on, also when it is shown
    // already; a child of window, gone with it.
    FrameCentring(QWidget& window, const QRect& area);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void centre(const QMargins& margins);
    void followFrame();

    QWidget& window_;
    QRect area_;
    QSize centredFrame_;      // the frame size the window was last centred with
    QBasicTimer frameWatch_;  // runs after each show until the frame is known and steady
    int steadyWatches_ = 0;
};

}  // namespace quorvel::ui
