// The splash window: its picture decoded with libjpeg from the stored JPEG and drawn unscaled,
// the maker's name over it, a damaged picture, and its closing by the timer or the close box.
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QWindow>

#include <cstdlib>
#include <optional>

#include "JpegDecoder.h"
#include "PictureArt.h"
#include "StoredPictures.h"
#include "UiTestSupport.h"
#include "Unit2.h"

using namespace quorvel::ui;
using test::whenActive;

namespace {

// The largest difference of one colour channel between two colours.
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

    void decodedPictureIsTheDrawingWithinJpegLoss() {
        const QImage decoded = JpegDecoder::decode(StoredPictures::splashJpeg());
        const QImage drawn = quorvel::pictures::drawSplashPicture();
        QCOMPARE(decoded.size(), QSize(152, 200));
        long long totalDifference = 0;
        int farPixels = 0;
        for (int y = 0; y < decoded.height(); ++y) {
            for (int x = 0; x < decoded.width(); ++x) {
                const int distance =
                    channelDistance(decoded.pixelColor(x, y), drawn.pixelColor(x, y));
                totalDifference += distance;
                farPixels += distance > 40 ? 1 : 0;
            }
        }
        // The stored picture measured 4.1 on average and 1.5 % of pixels past 40, all at the
        // edges of saturated shapes, where JPEG halves the colour resolution. Swapped channels,
        // grey output or a shifted or scaled picture land far beyond these bounds.
        const double meanDifference = static_cast<double>(totalDifference) / (152 * 200);
        QVERIFY2(meanDifference < 6, qPrintable(QString::number(meanDifference)));
        QVERIFY2(farPixels < 152 * 200 * 3 / 100, qPrintable(QString::number(farPixels)));
        // Inside the drawing's plain areas (field, sun, covers) the colours come through
        // nearly unchanged: 13 at most in the stored picture, near a cover's edge.
        int plainPixels = 0;
        for (int y = 5; y < decoded.height() - 5; ++y) {
            for (int x = 5; x < decoded.width() - 5; ++x) {
                if (plainAround(drawn, QPoint(x, y))) {
                    ++plainPixels;
                    QVERIFY2(
                        channelDistance(decoded.pixelColor(x, y), drawn.pixelColor(x, y)) <= 16,
                        qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
                }
            }
        }
        QVERIFY2(plainPixels > 152 * 200 / 8, qPrintable(QString::number(plainPixels)));
    }

    void pictureIsDrawnUnscaledUnderTheMakersName() {
        TForm2 form;
        QVERIFY(form.hasPicture());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QImage shown = form.grab().toImage();
        form.grab().save("/tmp/quorvel-splash.png");
        form.hide();
        const QImage decoded = JpegDecoder::decode(StoredPictures::splashJpeg());
        for (const QPoint& at :
             {QPoint(0, 0), QPoint(150, 0), QPoint(75, 100), QPoint(20, 198), QPoint(150, 198)}) {
            QCOMPARE(shown.pixelColor(at), decoded.pixelColor(at));
        }

        const auto* name = form.findChild<QLabel*>("Label2");
        QVERIFY(name != nullptr);
        QCOMPARE(name->text(), QStringLiteral("Velmora"));
        QVERIFY(name->font().bold());
        QCOMPARE(name->pos(), QPoint(51, 184));
        QVERIFY(qAbs(name->width() - name->fontMetrics().horizontalAdvance("Velmora")) <= 1);
        QCOMPARE(name->height(), 13);
        // Red letters on opaque white, hiding the picture beneath.
        QCOMPARE(shown.pixelColor(name->geometry().topLeft()), QColor(Qt::white));
        bool hasRed = false;
        for (int x = name->x(); x <= name->geometry().right(); ++x) {
            for (int y = name->y(); y <= name->geometry().bottom(); ++y) {
                const QColor colour = shown.pixelColor(x, y);
                hasRed =
                    hasRed || (colour.red() > 200 && colour.green() < 80 && colour.blue() < 80);
            }
        }
        QVERIFY(hasRed);
    }

    void damagedPicture_data() {
        QTest::addColumn<QByteArray>("jpeg");
        const QByteArray stored = StoredPictures::splashJpeg();
        QByteArray badFrame = stored;
        // The frame header's precision byte; libjpeg accepts only 8 bits.
        const qsizetype frame = badFrame.indexOf(QByteArray("\xFF\xC0", 2));
        QVERIFY(frame > 0);
        badFrame[frame + 4] = 12;
        QByteArray scrambled = stored;
        for (qsizetype at = stored.size() / 2; at < stored.size() - 2; at += 7) {
            scrambled[at] = '\xFF';
        }
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1A\n", 8);
        QTest::newRow("only the start marker") << stored.left(2);
        QTest::newRow("cut in half") << stored.left(stored.size() / 2);
        QTest::newRow("bad frame header") << badFrame;
        QTest::newRow("scrambled scan") << scrambled;
    }
    void damagedPicture() {
        QFETCH(QByteArray, jpeg);
        try {
            JpegDecoder::decode(jpeg);
            QFAIL("the damaged picture was decoded");
        } catch (const EJpegError& failure) {
            QVERIFY(QByteArray(failure.what()).size() > 0);
            QCOMPARE(QString(failure.kindName()), QString("EJpegError"));
        }
        // The splash goes on with its background and the name in place of the picture.
        TForm2 form(jpeg);
        QVERIFY(!form.hasPicture());
        QVERIFY(form.timer().isActive());
        const QImage shown = form.grab().toImage();
        QCOMPARE(shown.pixelColor(10, 10), form.palette().color(QPalette::Button));
        QCOMPARE(shown.pixelColor(51, 184), QColor(Qt::white));
    }

    void closesItselfTwoSecondsAfterItWasCreated() {
        QElapsedTimer clock;
        clock.start();
        QPointer<QWidget> shown;
        whenActive<TForm2>([&](TForm2* form) {
            shown = form;
            QCOMPARE(form->timer().interval(), 2000);
        });
        QCOMPARE(showSplash(), ResultClosed);
        const qint64 elapsed = clock.elapsed();
        QVERIFY2(elapsed >= 1950 && elapsed < 3500, qPrintable(QString::number(elapsed)));
        QVERIFY(shown != nullptr);
        QVERIFY(shown->isHidden());
        QVERIFY(!static_cast<TForm2*>(shown.data())->timer().isActive());
    }

    void closeBoxClosesItAtOnce() {
        QElapsedTimer clock;
        clock.start();
        // As the window manager's close box does: a close request to the native window.
        whenActive<TForm2>([](TForm2* form) { form->windowHandle()->close(); });
        QCOMPARE(showSplash(), ResultClosed);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    }
};

QUORVEL_UI_TEST_MAIN(SplashWindowTest)
#include "SplashWindowTest.moc"
