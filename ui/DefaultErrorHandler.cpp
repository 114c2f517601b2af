#include "DefaultErrorHandler.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "Application.h"
#include "ApplicationTitle.h"
#include "Exceptions.h"
#include "FullStop.h"

namespace quorvel::ui {

namespace {

QString lastText;

QString currentApplicationTitle() {
    if (const Application* application = Application::instance()) {
        return application->title();
    }
    return applicationTitleFromPath(QCoreApplication::arguments().value(0));
}

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
    // No owner: the box belongs to the application; exec() makes it application-modal.
    QMessageBox box(QMessageBox::Critical, currentApplicationTitle(), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // a message is never markup, whatever it looks like
    if (active != nullptr) {
        box.setScreen(active->screen());
    }
    box.exec();
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
