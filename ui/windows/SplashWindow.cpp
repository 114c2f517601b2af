#include "windows/SplashWindow.h"

#include <QLabel>
#include <QPixmap>

#include "windows/JpegDecoder.h"

namespace quorvel::ui {

TForm2::TForm2(const QByteArray& jpeg)
    : SecondaryWindow(QStringLiteral("Velmora"), QSize(ClientWidth, ClientHeight),
                      Background::ButtonFace) {
    setObjectName(QStringLiteral("Form2"));

    // Drawn unscaled at the top-left corner; the control and the picture are a pixel larger
    // than the client area and are cut at its edges.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setGeometry(0, 0, 153, 201);
    const QImage picture = decodePicture(jpeg);
    if (!picture.isNull()) {
        Image1->setPixmap(QPixmap::fromImage(picture));
    }

    Label2 = addLabel("Label2", QStringLiteral("Velmora"), 51, 184, {true, Qt::red});
    Label2->setAutoFillBackground(true);
    QPalette opaque = Label2->palette();
    opaque.setColor(QPalette::Window, Qt::white);
    Label2->setPalette(opaque);

    // A coarse timer may fire up to a twentieth early; the splash stays its full two seconds.
    Timer1.setTimerType(Qt::PreciseTimer);
    Timer1.setInterval(TimerInterval);
    connect(&Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);
    Timer1.start();
}

QImage TForm2::decodePicture(const QByteArray& jpeg) {
    try {
        return JpegDecoder::decode(jpeg);
    } catch (const EJpegError& failure) {
        // A greeting is not worth stopping for: the splash goes on without its picture.
        qWarning("The splash picture can't be decoded: %s", failure.what());
        return QImage();
    }
}

bool TForm2::hasPicture() const {
    return !Image1->pixmap().isNull();
}

void TForm2::Timer1Timer() {
    close();
}

void TForm2::hideEvent(QHideEvent* event) {
    // A hidden splash is never shown again: nothing is left for the timer to close.
    Timer1.stop();
    SecondaryWindow::hideEvent(event);
}

int showSplash() {
    return openSecondaryWindow<TForm2>();
}

}  // namespace quorvel::ui
