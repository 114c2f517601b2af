// "Přehled sbírky…" from the main window's menu: the page of the whole catalogue handed to the
// desktop's browser, then rendered by a real one (headless Chromium): its DOM, and the pixels of
// a held and a missing cell. A page that can't be written says so in an error box.
#include <QDesktopServices>
#include <QImage>
#include <QProcess>
#include <QTest>
#include <QUrl>

#include "MainWindowFixture.h"

namespace quorvel::ui::test {

namespace {

// Where the browser was asked to go; stands in for the desktop's browser.
class BrowserStandIn : public QObject {
    Q_OBJECT

  public slots:
    void open(const QUrl& url) { urls << url; }

  public:
    QList<QUrl> urls;
};

QByteArray chromium(const QStringList& arguments) {
    QProcess browser;
    browser.start(QStringLiteral(QUORVEL_CHROMIUM),
                  QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                              "--window-size=900,1400"} +
                      arguments);
    browser.waitForFinished(120000);
    return browser.readAllStandardOutput();
}

bool near(QRgb pixel, QRgb colour) {
    return std::abs(qRed(pixel) - qRed(colour)) + std::abs(qGreen(pixel) - qGreen(colour)) +
               std::abs(qBlue(pixel) - qBlue(colour)) <=
           6;
}

}  // namespace

class CollectionOverviewTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        directory_ = std::make_unique<WorkingDirectory>();
        // Vesmír's 1998: number 1 held, 2 missing, 3 held twice; a title that would be markup.
        makeCatalogue(directory_->path(), {{"Vesmír", "1/1998", "", ""},
                                           {"Vesmír", "3/98", "", ""},
                                           {"Vesmír", "č. 3/1998", "", ""},
                                           {"Vesmír", "2-3/1999", "", ""},
                                           {"Vesmír", "Speciál", "", ""},
                                           {"<script>alert(1)</script>", "1/2001", "", ""}});
        browser_.urls.clear();
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &browser_, "open");
        watchdog_ = std::make_unique<Watchdog>();
    }
    void cleanup() {
        watchdog_.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        directory_.reset();
        QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open");
    }

    void theMenuOpensThePageInTheBrowserWithHeldAndMissingCells() {
        TForm1 form;
        openWindow(form);
        QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
        auto* menu = form.findChild<QMenu*>("Soubor1");
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_P);
        QTRY_COMPARE(browser_.urls.size(), 1);
        const QString page = browser_.urls.front().toLocalFile();
        QVERIFY2(QFile::exists(page), qPrintable(page));

        const QString dom = QString::fromUtf8(chromium({"--dump-dom", page}));
        for (const char* part :
             {"href=\"#t2\">Vesmír</a>", "title=\"1/1998: máme\"", "title=\"2/1998: chybí\"",
              "title=\"3/1998: máme 2×\"", "title=\"3/1999: máme\"", "„Speciál“",
              "&lt;script&gt;alert(1)&lt;/script&gt;"}) {
            QVERIFY2(dom.contains(QString::fromUtf8(part)), part);
        }
        QVERIFY(!dom.contains(QStringLiteral("<script>")));

        const QString shot = QString::fromStdString((directory_->path() / "page.png").string());
        chromium({"--screenshot=" + shot, page});
        const QImage image(shot);
        QVERIFY(!image.isNull());
        // Vesmír's 1998 row: a filled cell, a gap, an outlined empty one, a gap, a dark one.
        const QRgb held = qRgb(0x2e, 0x7d, 0x32), outline = qRgb(0x6b, 0x6b, 0x6b);
        const QRgb twice = qRgb(0x0d, 0x3c, 0x8c), empty = qRgb(0xff, 0xff, 0xff);
        bool found = false;
        for (int y = 0; y < image.height() && !found; ++y) {
            for (int x = 1; x + 40 < image.width() && !found; ++x) {
                if (!near(image.pixel(x - 1, y), held) || near(image.pixel(x, y), held)) {
                    continue;  // not the right edge of a filled cell
                }
                int border = x;
                while (border < x + 5 && !near(image.pixel(border, y), outline)) {
                    ++border;
                }
                int far = border + 1;
                while (far < border + 20 && near(image.pixel(far, y), empty)) {
                    ++far;
                }
                found = near(image.pixel(border, y), outline) && far - border > 8 &&
                        near(image.pixel(far, y), outline) && near(image.pixel(far + 3, y), twice);
            }
        }
        QVERIFY2(found, "no row of a held, a missing and a twice-held cell in the screenshot");
    }

    void aPageThatCantBeWrittenGetsAnErrorBox() {
        const QByteArray previous = qgetenv("TMPDIR");
        qputenv("TMPDIR", "/nonexistent/quorvel");
        TForm1 form;
        openWindow(form);
        Answered boxes;
        answerDialogs(boxes, {"OK"});
        form.findChild<QAction*>("Pehledsbrky1")->trigger();
        qputenv("TMPDIR", previous);
        QTRY_COMPARE(boxes.texts.size(), 1);
        QVERIFY2(
            boxes.texts.front().startsWith("Přehled sbírky nelze zapsat do /nonexistent/quorvel"),
            qPrintable(boxes.texts.front()));
        QVERIFY(browser_.urls.isEmpty());
    }

  private:
    std::unique_ptr<WorkingDirectory> directory_;
    std::unique_ptr<Watchdog> watchdog_;
    BrowserStandIn browser_;
};

}  // namespace quorvel::ui::test

QUORVEL_UI_TEST_MAIN(quorvel::ui::test::CollectionOverviewTest)
#include "CollectionOverviewTest.moc"
