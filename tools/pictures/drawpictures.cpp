// drawpictures DIRECTORY: draws the splash picture, the about icon and the program's icon and
// writes them as DIRECTORY/splash.jpg, DIRECTORY/about.png and DIRECTORY/icons/quorvel-N.png
// (one for each size), the files the program stores and installs. Run it again and commit the
// files after changing PictureArt.
#include <QDir>
#include <QGuiApplication>

#include <cstdio>

#include "PictureArt.h"

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawpictures DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    // Quality 92 keeps the edges of the shapes close to what was drawn.
    bool saved = quorvel::pictures::drawSplashPicture().save(
                     directory.filePath(QStringLiteral("splash.jpg")), "JPEG", 92) &&
                 quorvel::pictures::drawAboutIcon().save(
                     directory.filePath(QStringLiteral("about.png")), "PNG") &&
                 directory.mkpath(QStringLiteral("icons"));
    for (const int size : quorvel::pictures::ProgramIconSizes) {
        saved = saved &&
                quorvel::pictures::drawProgramIcon(size).save(
                    directory.filePath(QStringLiteral("icons/quorvel-%1.png").arg(size)), "PNG");
    }
    if (!saved) {
        std::fprintf(stderr, "drawpictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
