// The application object: its title, the windows it owns, and failures escaping handlers.
// Each test makes its own application object, so that it can give it any executable name and
// see what its end releases.
#include <QMessageBox>
#include <QTest>
#include <QWidget>

#include <memory>

#include "Application.h"
#include "ApplicationTitle.h"
#include "Exceptions.h"
#include "UiTestSupport.h"
#include "messages/DefaultErrorHandler.h"

using namespace quorvel::ui;

namespace {

// An application object started as if from the given executable path.
struct TestApplication {
    explicit TestApplication(const char* executable) : path(executable) {
        application = std::make_unique<Application>(argc, arguments);
    }
    QByteArray path;
    char* arguments[2] = {path.data(), nullptr};
    int argc = 1;
    std::unique_ptr<Application> application;
};

}  // namespace

class ApplicationTest : public QObject {
    Q_OBJECT

  private slots:
    void titleFromPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("upper case with two extensions") << "CATALOG.V2.EXE"
                                                        << "Catalog";
        QTest::newRow("backslash directory") << "C:\\APPS\\CATALOG.V2.EXE"
                                             << "Catalog";
        QTest::newRow("our executable") << "/usr/bin/quorvel"
                                        << "Quorvel";
        QTest::newRow("relative") << "./quorvel"
                                  << "Quorvel";
        QTest::newRow("bare name") << "quorvel"
                                   << "Quorvel";
        QTest::newRow("mixed case") << "/opt/QuorVel"
                                    << "Quorvel";
        QTest::newRow("dot in a directory only") << "/opt/qv.1/quorvel"
                                                 << "Quorvel";
        QTest::newRow("both separators") << "C:\\x/y\\Katalog.exe"
                                         << "Katalog";
        QTest::newRow("accented") << "/opt/ŽIVOT.EXE"
                                  << "Život";
        QTest::newRow("starts with a dot") << "/home/user/.quorvel"
                                           << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void titleFromPath() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        QCOMPARE(applicationTitleFromPath(path), title);
    }

    void titleFromTheExecutablesRealNameCaptionsTheDefaultErrorHandlersBox() {
        // Whatever the caller put in argv[0], the title is this executable's.
        TestApplication started("C:\\APPS\\CATALOG.V2.EXE");
        test::Watchdog watchdog;
        QCOMPARE(started.application->title(), QString("Applicationtest"));
        QCOMPARE(Application::instance(), started.application.get());
        // Not Qt's display name, which would be appended to every window's caption.
        QCOMPARE(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());

        QString caption;
        test::whenActive<QMessageBox>([&](QMessageBox* box) {
            caption = box->windowTitle();
            box->button(QMessageBox::Ok)->click();
        });
        handleEscapedFailure(quorvel::EDatabaseError("Table is busy"));
        QCOMPARE(caption, QString("Applicationtest"));
    }

    void failureEscapingAnEventHandlerIsShownAndTheProgramGoesOn() {
        TestApplication started("/usr/bin/quorvel");
        test::Watchdog watchdog;
        test::ThrowingObject thrower;
        QString shown;
        test::whenActive<QMessageBox>([&](QMessageBox* box) {
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
        QTRY_COMPARE(shown, QString("Query1: Table is busy."));
        QCOMPARE(lastEscapedFailureText(), shown);
        // The loop goes on: later events are still dispatched.
        bool later = false;
        QTimer::singleShot(0, [&] { later = true; });
        QTRY_VERIFY(later);
    }

    void adoptedWindowsAreReleasedWithTheApplication() {
        int released = 0;
        {
            TestApplication started("/usr/bin/quorvel");
            auto* kept = new QWidget;
            auto* deletedEarly = new QWidget;
            QObject::connect(kept, &QObject::destroyed, [&] { ++released; });
            started.application->adoptWindow(kept);
            started.application->adoptWindow(deletedEarly);
            delete deletedEarly;  // must not be deleted a second time
            QCOMPARE(released, 0);
        }
        QCOMPARE(released, 1);
    }
};

int main(int argc, char** argv) {
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "ApplicationTest.moc"
