// The about window: its labels, icon and button at their places, the link's colour along the
// mouse's paths, the link opening the maker's site, and "Ok".
#include <QDesktopServices>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolTip>
#include <QUrl>

#include <optional>

#include "UiTestSupport.h"
#include "Unit3.h"

using namespace quorvel::ui;
using test::whenActive;

// Stands in for the desktop's handler of web addresses.
class UrlCatcher : public QObject {
    Q_OBJECT

  public:
    QList<QUrl> opened;

  public slots:
    void open(const QUrl& url) { opened << url; }
};

class AboutWindowTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;
    UrlCatcher catcher_;

    // Moves the mouse, no button pressed, to the middle of a child, or to a point of the
    // window's own background for "background". Two steps: Qt drops a move to where the cursor
    // already is, and an earlier test may have left it there.
    static void moveOver(TForm3& form, const QString& target) {
        QPoint point(5, 160);
        if (target != "background") {
            const auto* child = form.findChild<QWidget*>(target);
            QVERIFY(child != nullptr);
            point = child->geometry().center();
        }
        QTest::mouseMove(&form, point + QPoint(1, 0));
        QTest::mouseMove(&form, point);
    }

    static QColor linkColour(const TForm3& form) {
        return form.findChild<QLabel*>("Label7")->palette().color(QPalette::WindowText);
    }

  private slots:
    void init() {
        watchdog_.emplace();
        catcher_.opened.clear();
        QDesktopServices::setUrlHandler("https", &catcher_, "open");
        QDesktopServices::setUrlHandler("http", &catcher_, "open");
    }

    void cleanup() {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void labelsIconAndButtonAtTheirPlaces_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("colour");
        const QColor text = QPalette().color(QPalette::WindowText);
        QTest::newRow("first notice") << "Label1" << QPoint(10, 8) << true << QColor(Qt::blue);
        QTest::newRow("second notice") << "Label2" << QPoint(15, 24) << true << QColor(Qt::blue);
        QTest::newRow("reservation") << "Label3" << QPoint(40, 48) << true << text;
        QTest::newRow("product") << "Label5" << QPoint(56, 88) << true << QColor(Qt::red);
        QTest::newRow("link") << "Label7" << QPoint(39, 208) << false << text;
        QTest::newRow("e-mail") << "Label8" << QPoint(34, 224) << false << text;
    }
    void labelsIconAndButtonAtTheirPlaces() {
        QFETCH(QString, name);
        QFETCH(QPoint, place);
        QFETCH(bool, bold);
        QFETCH(QColor, colour);
        TForm3 form;
        const auto* label = form.findChild<QLabel*>(name);
        QVERIFY(label != nullptr);
        QCOMPARE(label->pos(), place);
        QCOMPARE(label->font().bold(), bold);
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
        // Sized to its text, 13 pixels high, and inside the window.
        QVERIFY(qAbs(label->width() - label->fontMetrics().horizontalAdvance(label->text())) <= 1);
        QCOMPARE(label->height(), 13);
        QVERIFY2(label->geometry().right() < form.width(), qPrintable(label->text()));

        QCOMPARE(form.findChild<QLabel*>("Label5")->text(), QStringLiteral("Quorvel 1.0"));
        QCOMPARE(form.findChild<QLabel*>("Label7")->text(), QStringLiteral("www.velmora.cz"));
        QCOMPARE(form.findChild<QLabel*>("Label8")->text(), QStringLiteral("info@velmora.cz"));
        const auto* icon = form.findChild<QLabel*>("Image1");
        QCOMPARE(icon->geometry(), QRect(80, 112, 33, 33));
        QCOMPARE(icon->pixmap().size(), QSize(32, 32));
        const auto* ok = form.findChild<QPushButton*>("Button1");
        QCOMPARE(ok->text(), QStringLiteral("Ok"));
        QCOMPARE(ok->geometry(), QRect(48, 176, 97, 25));
    }

    void linkColourFollowsTheMouse_data() {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QColor>("colour");
        const QColor text = QPalette().color(QPalette::WindowText);
        QTest::newRow("not yet moved") << QStringList() << text;
        QTest::newRow("over the link") << QStringList{"Label7"} << QColor(Qt::blue);
        QTest::newRow("link, then background")
            << QStringList{"Label7", "background"} << QColor(Qt::black);
        QTest::newRow("background only") << QStringList{"background"} << QColor(Qt::black);
        QTest::newRow("link, then another label")
            << QStringList{"Label7", "Label8", "Label5"} << QColor(Qt::blue);
        QTest::newRow("link, then the picture")
            << QStringList{"Label7", "Image1"} << QColor(Qt::blue);
        QTest::newRow("link, then the button")
            << QStringList{"Label7", "Button1"} << QColor(Qt::blue);
        QTest::newRow("background, then a label")
            << QStringList{"background", "Label1"} << QColor(Qt::black);
        QTest::newRow("back onto the link")
            << QStringList{"Label7", "background", "Label7"} << QColor(Qt::blue);
    }
    void linkColourFollowsTheMouse() {
        QFETCH(QStringList, path);
        QFETCH(QColor, colour);
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const QString& target : path) {
            moveOver(form, target);
        }
        QCOMPARE(linkColour(form), colour);
        form.hide();
    }

    void linkShowsAHandCursorAndItsHint() {
        TForm3 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* link = form.findChild<QLabel*>("Label7");
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QHelpEvent hover(QEvent::ToolTip, link->rect().center(),
                         link->mapToGlobal(link->rect().center()));
        QApplication::sendEvent(link, &hover);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QStringLiteral("Oficiální stránky"));
        QToolTip::hideText();
        form.grab().save("/tmp/quorvel-about.png");
        form.hide();
    }

    void linkOpensTheSiteAndTheWindowStaysOpen() {
        bool openAfterClick = false;
        whenActive<TForm3>([&](TForm3* form) {
            QTest::mouseClick(form->findChild<QLabel*>("Label7"), Qt::LeftButton);
            openAfterClick = form->isVisible() && modalResult(*form) == 0;
            QTest::mouseClick(form->findChild<QPushButton*>("Button1"), Qt::LeftButton);
        });
        QCOMPARE(showAbout(), ResultClosed);
        QVERIFY(openAfterClick);
        QCOMPARE(catcher_.opened, QList<QUrl>{QUrl("https://www.velmora.cz/")});
    }

    void okHasTheFocusAndEnterPressesIt() {
        whenActive<TForm3>([](TForm3* form) {
            QCOMPARE(form->focusWidget(), form->findChild<QPushButton*>("Button1"));
            QTest::keyClick(form->focusWidget(), Qt::Key_Return);
        });
        QCOMPARE(showAbout(), ResultClosed);
        QVERIFY(catcher_.opened.isEmpty());
    }

    void aNewOpeningStartsWithTheLinkInTheTextColour() {
        QColor firstColour;
        QColor secondColour;
        whenActive<TForm3>([&](TForm3* form) {
            moveOver(*form, "Label7");
            firstColour = linkColour(*form);
            form->close();
        });
        showAbout();
        whenActive<TForm3>([&](TForm3* form) {
            secondColour = linkColour(*form);
            form->close();
        });
        showAbout();
        QCOMPARE(firstColour, QColor(Qt::blue));
        QCOMPARE(secondColour, QPalette().color(QPalette::WindowText));
    }
};

QUORVEL_UI_TEST_MAIN(AboutWindowTest)
#include "AboutWindowTest.moc"
