// "Přehled sbírky…" from the main window's menu: the page of the whole catalogue handed to
// xdg-open (a stand-in on PATH), then rendered by a real browser (headless Chromium): its DOM,
// and the pixels of a held and a missing cell. A page that can't be written, and a browser that
// doesn't open it, say so in an error box; the second offers a copy under a name of one's choice.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>

#include "MainWindowFixture.h"
#include "holdings/HoldingsPageOpener.h"

namespace quorvel::ui::test {

namespace {

// Writes an executable xdg-open into directory that runs body, and puts it first on PATH.
void standInXdgOpen(const std::filesystem::path& directory, const std::string& body) {
    const std::filesystem::path script = directory / "xdg-open";
    QFile file(QString::fromStdString(script.string()));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(("#!/bin/sh\n" + body + "\n").c_str());
    file.close();
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    qputenv("PATH", QByteArray(directory.c_str()) + ':' + qgetenv("PATH"));
}

std::string fileText(const std::filesystem::path& path) {
    QFile file(QString::fromStdString(path.string()));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

QByteArray chromium(const QStringList& arguments) {
    QProcess browser;
    QTemporaryDir profile;
    browser.start(QStringLiteral(QUORVEL_CHROMIUM),
                  QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                              "--disable-background-networking", "--disable-component-update",
                              "--disable-sync", "--user-data-dir=" + profile.path(),
                              "--hide-scrollbars", "--window-size=900,1400"} +
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
        path_ = qgetenv("PATH");
        cache_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QByteArray((directory_->path() / "cache").c_str()));
        // The stand-in writes down what it was asked to open.
        opened_ = directory_->path() / "opened.txt";
        standInXdgOpen(directory_->path(), "echo \"$1\" >> '" + opened_.string() + "'");
        watchdog_ = std::make_unique<Watchdog>(120000);
    }
    void cleanup() {
        watchdog_.reset();
        qputenv("PATH", path_);
        qputenv("XDG_CACHE_HOME", cache_);
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
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(opened_), 120000);
        const QString page =
            QUrl(QString::fromStdString(fileText(opened_)).trimmed()).toLocalFile();
        QCOMPARE(page, HoldingsPageOpener::keptPage());
        QVERIFY2(QFile::exists(page), qPrintable(page));
        // A second look replaces the page: one file, whatever the clicks.
        form.findChild<QAction*>("Pehledsbrky1")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(std::ranges::count(fileText(opened_), '\n') == 2, 120000);
        QCOMPARE(QDir(QFileInfo(page).path()).entryList(QDir::Files),
                 QStringList{"prehled-sbirky.html"});

        const QString dom = QString::fromUtf8(chromium({"--dump-dom", page}));
        for (const char* part :
             {"href=\"#t2\">Vesmír</a>", "title=\"1/1998: máme\"", "title=\"2/1998: chybí\"",
              "title=\"3/1998: máme 2×\"", "title=\"3/1999: máme\"", "„Speciál“",
              "<b>Chybí:</b> 1998: 2; 1999: 1</p>",
              "5 záznamů; 1998–1999: máme 4, chybí 2; 1 jiné číslo",
              "1 záznam; 2001: máme 1, chybí 0", "– 2 tiskopisy</p>",
              "&lt;script&gt;alert(1)&lt;/script&gt;"}) {
            QVERIFY2(dom.contains(QString::fromUtf8(part)), part);
        }
        QVERIFY(!dom.contains(QStringLiteral("<script>")));

        const QString shot = QString::fromStdString((directory_->path() / "page.png").string());
        chromium({"--screenshot=" + shot, page});
        const QImage image(shot);
        QVERIFY(!image.isNull());
        // Vesmír's 1998 row: a filled cell, then a missing one hatched in red and white, then a
        // dark one.
        const QRgb held = qRgb(0x2e, 0x7d, 0x32), wanted = qRgb(0xc6, 0x28, 0x28);
        const QRgb twice = qRgb(0x0d, 0x3c, 0x8c), empty = qRgb(0xff, 0xff, 0xff);
        bool found = false;
        for (int y = 0; y < image.height() && !found; ++y) {
            for (int x = 1; x + 40 < image.width() && !found; ++x) {
                if (!near(image.pixel(x - 1, y), held) || near(image.pixel(x, y), held)) {
                    continue;  // not the right edge of a filled cell
                }
                int red = 0, white = 0, far = x;
                for (; far < x + 30 && !near(image.pixel(far, y), twice); ++far) {
                    red += near(image.pixel(far, y), wanted) ? 1 : 0;
                    white += near(image.pixel(far, y), empty) ? 1 : 0;
                }
                found = near(image.pixel(far, y), twice) && red >= 3 && white >= 3;
            }
        }
        QVERIFY2(found, "no row of a held, a hatched missing and a twice-held cell in the shot");
    }

    void aPageThatCantBeWrittenGetsAnErrorBox() {
        // The cache's folder would be inside a plain file.
        const std::filesystem::path plain = directory_->path() / "plain";
        QFile(QString::fromStdString(plain.string())).open(QIODevice::WriteOnly);
        qputenv("XDG_CACHE_HOME", QByteArray((plain / "cache").c_str()));
        TForm1 form;
        openWindow(form);
        Answered boxes;
        answerDialogs(boxes, {"OK"});
        form.findChild<QAction*>("Pehledsbrky1")->trigger();
        QTRY_COMPARE(boxes.texts.size(), 1);
        const QString expected = "Přehled sbírky nelze zapsat do " +
                                 QString::fromStdString((plain / "cache" / "quorvel").string());
        QVERIFY2(boxes.texts.front().startsWith(expected), qPrintable(boxes.texts.front()));
        QVERIFY(!std::filesystem::exists(opened_));
    }

    // As on a desktop where no browser is set: xdg-open starts, then says it can't.
    void aBrowserThatDoesntOpenThePageGetsAnErrorBoxOfferingACopy() {
        standInXdgOpen(directory_->path(),
                       "echo \"xdg-open: no method available for opening '$1'\" >&2; exit 3");
        TForm1 form;
        openWindow(form);
        Answered boxes;
        const std::filesystem::path copy = directory_->path() / "u veletrhu.html";
        // Long enough for xdg-open to end first under any load, short of the test's time-out.
        const auto isBox = [](QWidget* window) { return qobject_cast<TMessageForm*>(window); };
        whenActive(
            isBox,
            [&](QWidget* window) {
                auto* box = qobject_cast<TMessageForm*>(window);
                boxes.texts << box->message();
                whenActive<QFileDialog>([&](QFileDialog* dialog) { enterName(dialog, copy); });
                box->findChild<QPushButton*>("Yes")->click();
            },
            24000);
        form.findChild<QAction*>("Pehledsbrky1")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(copy), 120000);
        QCOMPARE(boxes.texts.size(), 1);
        const QString page = HoldingsPageOpener::keptPage();
        for (const QString& part :
             {QStringLiteral("Prohlížeč přehled sbírky neotevřel: xdg-open skončil s kódem 3 "
                             "(xdg-open: no method available for opening"),
              "Přehled je zapsán v " + page + ".\nUložit ho jinam?"}) {
            QVERIFY2(boxes.texts.front().contains(part), qPrintable(boxes.texts.front()));
        }
        QCOMPARE(fileText(copy), fileText(page.toStdString()));
        QVERIFY(fileText(copy).starts_with("<!DOCTYPE html>"));
    }

  private:
    std::unique_ptr<WorkingDirectory> directory_;
    std::unique_ptr<Watchdog> watchdog_;
    std::filesystem::path opened_;
    QByteArray path_;
    QByteArray cache_;
};

}  // namespace quorvel::ui::test

QUORVEL_UI_TEST_MAIN(quorvel::ui::test::CollectionOverviewTest)
#include "CollectionOverviewTest.moc"
