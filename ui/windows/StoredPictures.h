// The pictures compiled into the program from resources/pictures.qrc.
#pragma once

#include <QByteArray>
#include <QPixmap>

namespace quorvel::ui {

class StoredPictures {
  public:
    // The splash picture's JPEG data as stored, undecoded.
    static QByteArray splashJpeg();
    // The about window's 32 x 32 icon.
    static QPixmap aboutIcon();
};

}  // namespace quorvel::ui
