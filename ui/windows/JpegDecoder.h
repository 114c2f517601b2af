// Decodes JPEG data with libjpeg, called directly. A failure of the library (data that is not
// a JPEG, damaged or cut short) comes back as an exception and never ends the process.
#pragma once

#include <QByteArray>
#include <QImage>

#include "Exceptions.h"

namespace quorvel::ui {

// JPEG data that can't be decoded; the message is libjpeg's own text.
class EJpegError : public Exception {
  public:
    using Exception::Exception;
    const char* kindName() const override { return "EJpegError"; }
};

class JpegDecoder {
  public:
    // The picture at its own size, in RGB (greyscale pictures too). Throws EJpegError for data
    // that libjpeg rejects, for a picture with corrupt or missing data (libjpeg would fill the
    // gaps with grey) and for one larger than MaxSide pixels on a side.
    static QImage decode(const QByteArray& data);

    static constexpr unsigned MaxSide = 8192;
};

}  // namespace quorvel::ui
