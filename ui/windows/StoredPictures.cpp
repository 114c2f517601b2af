#include "windows/StoredPictures.h"

#include <QFile>

#include <cassert>

// The resources live in a static library: nothing would pull them into the program unless
// they are registered explicitly, which must happen outside any namespace. Registering them
// again changes nothing.
static void registerStoredPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace quorvel::ui {

namespace {

QByteArray storedFile(const QString& path) {
    registerStoredPictures();
    QFile file(path);
    const bool opened = file.open(QIODevice::ReadOnly);
    assert(opened && "the file is compiled in");
    (void)opened;
    return file.readAll();
}

}  // namespace

QByteArray StoredPictures::splashJpeg() {
    return storedFile(QStringLiteral(":/pictures/splash.jpg"));
}

QPixmap StoredPictures::aboutIcon() {
    QPixmap icon;
    icon.loadFromData(storedFile(QStringLiteral(":/pictures/about.png")), "PNG");
    return icon;
}

}  // namespace quorvel::ui
