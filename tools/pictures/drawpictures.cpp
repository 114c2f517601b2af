// drawpictures DIRECTORY: draws the splash picture and the about icon and writes them as
// DIRECTORY/splash.jpg and DIRECTORY/about.png, the files the program stores. Run it again and
// commit the files after changing PictureArt.
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
    const bool saved = quorvel::pictures::drawSplashPicture().save(
                           directory.filePath(QStringLiteral("splash.jpg")), "JPEG", 92) &&
                       quorvel::pictures::drawAboutIcon().save(
                           directory.filePath(QStringLiteral("about.png")), "PNG");
    if (!saved) {
        std::fprintf(stderr, "drawpictures: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
