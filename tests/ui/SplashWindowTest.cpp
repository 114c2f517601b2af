// The splash window: its picture decoded with libjpeg and drawn unscaled under the maker's name,
// a damaged picture, and its closing by the timer or the close box.
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QWindow>

#include <cstdlib>
#include <optional>

#include "PictureArt.h"
#include "UiTestSupport.h"
#include "windows/JpegDecoder.h"
#include "windows/SplashWindow.h"

using namespace quorvel::ui;

namespace {

int channelDistance(const QColor& one, const QColor& other) {
    return std::max({std::abs(one.red() - other.red()), std::abs(one.green() - other.green()),
                     std::abs(one.blue() - other.blue())});
}

// Whether the 11 x 11 pixels around a point have nearly one colour.
bool plainAround(const QImage& image, QPoint centre) {
    for (int dy = -5; dy <= 5; ++dy) {
        for (int dx = -5; dx <= 5; ++dx) {
            if (channelDistance(image.pixelColor(centre + QPoint(dx, dy)),
                                image.pixelColor(centre)) > 3) {
                return false;
            }
        }
    }
    return true;
}

// The time showSplash takes, with action run on the splash once it is up.
qint64 timeSplash(std::function<void(TForm2*)> action) {
    QElapsedTimer clock;
    clock.start();
    test::whenActive<TForm2>(action);
    const int result = showSplash();
    return result == ResultClosed ? clock.elapsed() : -1;
}

}  // namespace

class SplashWindowTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

  private slots:
    void init() { watchdog_.emplace(); }
    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void pictureIsTheDrawingDecodedAndShownUnscaled() {
        const QImage decoded = JpegDecoder::decode(StoredPictures::splashJpeg());
        const QImage drawn = quorvel::pictures::drawSplashPicture();
        QCOMPARE(decoded.size(), QSize(152, 200));
        // JPEG loses most at the edges of saturated shapes (the stored picture: 4.1 on average);
        // in the plain areas (field, sun, covers) the colours come through within 13.
        long long total = 0;
        int plainPixels = 0;
        for (int y = 0; y < decoded.height(); ++y) {
            for (int x = 0; x < decoded.width(); ++x) {
                const int distance =
                    channelDistance(decoded.pixelColor(x, y), drawn.pixelColor(x, y));
                total += distance;
                if (QRect(5, 5, 142, 190).contains(x, y) && plainAround(drawn, QPoint(x, y))) {
                    ++plainPixels;
                    QVERIFY2(distance <= 16, qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
                }
            }
        }
        QVERIFY2(total < 6 * 152 * 200, qPrintable(QString::number(total)));
        QVERIFY(plainPixels > 152 * 200 / 8);

        TForm2 form;
        QVERIFY(form.hasPicture());
        const QImage shown = form.grab().toImage();
        for (const QPoint& at : {QPoint(0, 0), QPoint(150, 0), QPoint(75, 100), QPoint(150, 198)}) {
            QCOMPARE(shown.pixelColor(at), decoded.pixelColor(at));
        }
        // The name in bold red on opaque white, 13 pixels high and sized to its text.
        const auto* name = form.findChild<QLabel*>("Label2");
        QCOMPARE(name->text(), QStringLiteral("Velmora"));
        QCOMPARE(name->pos(), QPoint(51, 184));
        QVERIFY(name->font().bold());
        // Sized to the text's extent, its glyphs' overhang included, and never narrower than
        // the text's advance.
        QVERIFY(qAbs(name->width() - name->fontMetrics().boundingRect("Velmora").width()) <= 1);
        QVERIFY(name->width() >= name->fontMetrics().horizontalAdvance("Velmora"));
        QCOMPARE(name->height(), 13);
        QCOMPARE(name->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(name->pos()), QColor(Qt::white));
    }

    void damagedPictureLeavesTheNameOnThePlainBackground() {
        const QByteArray stored = StoredPictures::splashJpeg();
        QByteArray badFrame = stored;  // a sample precision libjpeg doesn't take
        badFrame[badFrame.indexOf(QByteArray("\xFF\xC0", 2)) + 4] = 12;
        QByteArray scrambled = stored;
        for (qsizetype at = stored.size() / 2; at < stored.size() - 2; at += 7) {
            scrambled[at] = '\xFF';
        }
        for (const QByteArray& jpeg : {QByteArray(), QByteArray("\x89PNG\r\n\x1A\n", 8),
                                       stored.left(stored.size() / 2), badFrame, scrambled}) {
            QVERIFY_THROWS_EXCEPTION(EJpegError, JpegDecoder::decode(jpeg));
            TForm2 form(jpeg);
            QVERIFY(!form.hasPicture());
            const QImage shown = form.grab().toImage();
            QCOMPARE(shown.pixelColor(10, 10), form.palette().color(QPalette::Button));
            QCOMPARE(shown.pixelColor(51, 184), QColor(Qt::white));
        }
    }

    void closesItselfTwoSecondsAfterCreationOrAtOnceByTheCloseBox() {
        const qint64 byTimer = timeSplash([](TForm2*) {});
        QVERIFY2(byTimer >= 2000 && byTimer < 3500, qPrintable(QString::number(byTimer)));
        // As the window manager's close box does: a close request to the native window.
        const qint64 byCloseBox = timeSplash([](TForm2* form) { form->windowHandle()->close(); });
        QVERIFY2(byCloseBox >= 0 && byCloseBox < 1000, qPrintable(QString::number(byCloseBox)));
    }
};

QUORVEL_UI_TEST_MAIN(SplashWindowTest)
#include "SplashWindowTest.moc"
