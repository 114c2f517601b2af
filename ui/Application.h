// The application object: makes the application title at start, owns the secondary windows
// until the end of the run, and hands every failure that escapes an event handler to the
// default error handler so that the program goes on.
#pragma once

#include <QApplication>
#include <QList>
#include <QPointer>
#include <QString>

class QWidget;

namespace quorvel::ui {

class Application : public QApplication {
    Q_OBJECT

  public:
    // The executable's real file name gives the application title; argc must outlive the
    // object, as for QApplication.
    Application(int& argc, char** argv);
    // Releases the windows it owns.
    ~Application() override;

    // The running application object, or nullptr when there is none or it isn't ours.
    static Application* instance();

    // The title made from the executable's name at start (see applicationTitleFromPath).
    QString title() const { return title_; }

    // Takes a top-level window without parent into the application's ownership: it is deleted
    // when the application object goes, unless it was deleted before.
    void adoptWindow(QWidget* window);

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    QString title_;
    QList<QPointer<QWidget>> windows_;
};

}  // namespace quorvel::ui
