#include "messages/DefaultErrorHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include "Application.h"
#include "ApplicationTitle.h"
#include "FrameCentring.h"
#include "ModalDisplay.h"
#include "messages/FullStop.h"

namespace quorvel::ui {

namespace {

QString lastText;

QString currentApplicationTitle() {
    if (const Application* application = Application::instance()) {
        return application->title();
    }
    return applicationTitleFromPath(QCoreApplication::applicationFilePath());
}

// The platform's message box, centred on the given screen with its frame. Qt centres a box
// without owner on the screen under the mouse cursor when it shows it, whatever screen it was
// given; this one centres itself again once it knows its size, before it reaches the screen,
// and once more when the window manager's frame is known.
class CentredMessageBox : public QMessageBox {
  public:
    CentredMessageBox(const QString& caption, const QString& text, QScreen* screen)
        : QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok), screen_(screen) {
        setTextFormat(Qt::PlainText);  // a message is never markup, whatever it looks like
        if (screen_ != nullptr) {
            setScreen(screen_);
        }
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // gives the box its size
        if (screen_ != nullptr && centring_ == nullptr) {
            centring_ = new FrameCentring(*this, screen_->geometry());
        }
    }

  private:
    QPointer<QScreen> screen_;
    FrameCentring* centring_ = nullptr;
};

}  // namespace

void handleEscapedFailure(const std::exception& failure) {
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    if (dynamic_cast<const EAbort*>(&failure) != nullptr) {
        return;
    }
    const QString text = withHandlerFullStop(QString::fromUtf8(failure.what()));
    lastText = text;

    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> focus = QApplication::focusWidget();
    // No owner: the box belongs to the application. Shown modally like every modal window, it
    // disables the other windows without greying them and gives the focus back afterwards.
    CentredMessageBox box(currentApplicationTitle(), text,
                          active != nullptr ? active->screen() : QGuiApplication::primaryScreen());
    showModal(box);
    if (active != nullptr) {
        active->activateWindow();
    }
    if (focus != nullptr) {
        focus->setFocus(Qt::ActiveWindowFocusReason);
    }
}

QString lastEscapedFailureText() {
    return lastText;
}

}  // namespace quorvel::ui
