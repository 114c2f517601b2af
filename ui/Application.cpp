#include "Application.h"

#include <QWidget>

#include <cassert>
#include <exception>
#include <utility>

#include "ApplicationTitle.h"
#include "messages/DefaultErrorHandler.h"

namespace quorvel::ui {

Application::Application(int& argc, char** argv)
    : QApplication(argc, argv),
      // Not the display name: Qt would append that to every window's caption. The executable's
      // real file name, not argv[0], which a symbolic link or the caller may have changed.
      title_(applicationTitleFromPath(QCoreApplication::applicationFilePath())) {}

Application::~Application() {
    for (const QPointer<QWidget>& window : std::as_const(windows_)) {
        delete window.data();
    }
}

Application* Application::instance() {
    return qobject_cast<Application*>(QCoreApplication::instance());
}

void Application::adoptWindow(QWidget* window) {
    assert(window != nullptr && window->parentWidget() == nullptr);
    windows_.append(window);
}

bool Application::notify(QObject* receiver, QEvent* event) {
    // The failed handler stays abandoned; the loop that dispatched the event goes on.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        handleEscapedFailure(failure);
    }
    return false;
}

}  // namespace quorvel::ui
