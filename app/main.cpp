// Project1, the main module: initialises the application, creates the main window (which opens
// the table), runs the message loop and ends with exit code 0 when the main window closes. A
// failure while the main window is created is reported and ends the process with exit code 1.
#include <QIcon>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

#include "Application.h"
#include "messages/StartupFailureReport.h"
#include "windows/MainWindow.h"

int main(int argc, char** argv) {
    quorvel::ui::Application application(argc, argv);
    // The pixel layout of the windows was made for this style's metrics: a group box's caption
    // stands on its frame line, where the labels inside the boxes leave room for it.
    application.setStyle(QStyleFactory::create(QStringLiteral("Windows")));

    std::unique_ptr<quorvel::ui::TForm1> form;
    try {
        form = std::make_unique<quorvel::ui::TForm1>();
    } catch (const std::exception& failure) {
        // The half-built window is gone already; nothing of the program is on screen.
        const QString text = quorvel::ui::startupFailureText(
            failure, QCoreApplication::applicationFilePath().section(QLatin1Char('/'), -1));
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        quorvel::ui::showStartupFailure(failure);
        return 1;
    }
    form->setWindowIcon(QIcon(QStringLiteral(":/icons/quorvel.png")));
    form->show();
    return application.exec();
}
