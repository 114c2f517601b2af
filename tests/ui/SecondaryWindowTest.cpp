// The about and help windows, and what they share with the splash: frame, place, openings.
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <optional>

#include "UiTestSupport.h"
#include "windows/AboutWindow.h"
#include "windows/HelpWindow.h"
#include "windows/SplashWindow.h"

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

constexpr Qt::WindowFlags TitleButtons =
    Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint;

class SecondaryWindowTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;

    // Moves the mouse in two steps (Qt drops a move to where the cursor already is) to the
    // middle of a child, or onto the window's own background.
    static void moveOver(TForm3& form, const QString& target) {
        const auto* child = form.findChild<QWidget*>(target);
        const QPoint point = child != nullptr ? child->geometry().center() : QPoint(5, 160);
        QTest::mouseMove(&form, point + QPoint(1, 0));
        QTest::mouseMove(&form, point);
    }
    static QColor linkColour(const TForm3& form) {
        return form.findChild<QLabel*>("Label7")->palette().color(QPalette::WindowText);
    }

  private slots:
    void init() { watchdog_.emplace(); }
    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void eachOpeningIsANewCentredFixedModalWindow_data() {
        QTest::addColumn<std::function<int()>>("open");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QColor>("background");
        const QColor buttonFace = QPalette().color(QPalette::Button);
        QTest::newRow("splash") << std::function(showSplash) << "Velmora" << QSize(151, 199)
                                << buttonFace;
        QTest::newRow("about") << std::function(showAbout) << "About" << QSize(193, 244)
                               << QColor(Qt::white);
        QTest::newRow("help") << std::function(showHelp) << "Nápověda" << QSize(536, 153)
                              << buttonFace;
    }
    void eachOpeningIsANewCentredFixedModalWindow() {
        QFETCH(std::function<int()>, open);
        QFETCH(QString, caption);
        QFETCH(QSize, client);
        QFETCH(QColor, background);
        // A main window whose button counts the clicks that reach it through the window system.
        QWidget main;
        auto* button = new QPushButton(QStringLiteral("Main"), &main);
        button->setGeometry(0, 0, 100, 30);
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const auto clickMain = [&main] {
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, QPoint(50, 15));
        };

        QList<QPointer<QWidget>> opened;
        for (int opening = 0; opening < 2; ++opening) {
            whenActive([](QWidget* window) { return qobject_cast<SecondaryWindow*>(window); },
                       [&](QWidget* form) {
                           opened << form;
                           clickMain();
                           QCOMPARE(form->windowTitle(), caption);
                           QCOMPARE(form->size(), client);
                           QCOMPARE(form->minimumSize(), form->maximumSize());
                           QCOMPARE(form->windowFlags() & TitleButtons, Qt::WindowCloseButtonHint);
                           QCOMPARE(form->font().family(), QStringLiteral("MS Sans Serif"));
                           QCOMPARE(form->font().pixelSize(), 11);
                           QCOMPARE(form->palette().color(QPalette::Window), background);
                           const QRect screen = QGuiApplication::primaryScreen()->geometry();
                           const QRect frame = form->frameGeometry();
                           QCOMPARE(frame.topLeft(),
                                    QPoint((screen.width() - frame.width()) / 2,
                                           (screen.height() - frame.height()) / 2));
                           form->windowHandle()->close();
                       });
            QCOMPARE(open(), ResultClosed);
        }
        QCOMPARE(clicks, 0);
        clickMain();
        QCOMPARE(clicks, 1);  // and afterwards it does again
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0] != opened[1]);
        QVERIFY(opened[0] != nullptr && opened[0]->isHidden());  // kept by the application
    }

    void aboutLabelsAtTheirPlaces() {
        TForm3 form;
        const QColor text = QPalette().color(QPalette::WindowText);
        const QList<std::tuple<QString, QPoint, bool, QColor>> labels{
            {"Label1", {10, 8}, true, Qt::blue}, {"Label2", {15, 24}, true, Qt::blue},
            {"Label3", {40, 48}, true, text},    {"Label5", {56, 88}, true, Qt::red},
            {"Label7", {39, 208}, false, text},  {"Label8", {34, 224}, false, text}};
        for (const auto& [name, place, bold, colour] : labels) {
            const auto* label = form.findChild<QLabel*>(name);
            QCOMPARE(label->pos(), place);
            QCOMPARE(label->font().bold(), bold);
            QCOMPARE(label->palette().color(QPalette::WindowText), colour);
            QCOMPARE(label->height(), 13);
            QVERIFY2(label->geometry().right() < form.width(), qPrintable(name));
        }
        QCOMPARE(form.findChild<QLabel*>("Label5")->text(), QStringLiteral("Quorvel 1.0"));
        QCOMPARE(form.findChild<QLabel*>("Image1")->geometry(), QRect(80, 112, 33, 33));
        QCOMPARE(form.findChild<QLabel*>("Image1")->pixmap().size(), QSize(32, 32));
        QCOMPARE(form.findChild<QPushButton*>("Button1")->geometry(), QRect(48, 176, 97, 25));
        const auto* link = form.findChild<QLabel*>("Label7");
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(link->toolTip(), QStringLiteral("Oficiální stránky"));
    }

    void aboutLinkColourFollowsTheMouse_data() {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("link") << QStringList{"Label7"} << QColor(Qt::blue);
        QTest::newRow("link, background") << QStringList{"Label7", "bg"} << QColor(Qt::black);
        QTest::newRow("link, labels")
            << QStringList{"Label7", "Label8", "Label1"} << QColor(Qt::blue);
        QTest::newRow("link, picture") << QStringList{"Label7", "Image1"} << QColor(Qt::blue);
        QTest::newRow("link, button") << QStringList{"Label7", "Button1"} << QColor(Qt::blue);
        QTest::newRow("bg, label") << QStringList{"bg", "Label5"} << QColor(Qt::black);
    }
    void aboutLinkColourFollowsTheMouse() {
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

    void aboutLinkOpensTheSiteAndOkCloses() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("https", &catcher, "open");
        bool openAfterClick = false;
        whenActive<TForm3>([&](TForm3* form) {
            moveOver(*form, "Label7");  // the next opening starts black again
            QTest::mouseClick(form->findChild<QLabel*>("Label7"), Qt::LeftButton);
            openAfterClick = form->isVisible() && modalResult(*form) == 0;
            QTest::keyClick(form->focusWidget(), Qt::Key_Return);  // "Ok" has the focus
        });
        QCOMPARE(showAbout(), ResultClosed);
        QDesktopServices::unsetUrlHandler("https");
        QVERIFY(openAfterClick);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl("https://www.velmora.cz/")});
        whenActive<TForm3>([](TForm3* form) {
            QCOMPARE(linkColour(*form), QPalette().color(QPalette::WindowText));
            form->close();
        });
        QCOMPARE(showAbout(), ResultClosed);
    }

    void helpTextsByteForByteAndOnlyTheCloseBoxCloses() {
        const QList<std::pair<int, QByteArray>> lines{
            {16, "Program rozlišuje velká a malá písmena, zádávejte tuďíž do databáze slova tak,"},
            {32, "aby jste neměli problémy s vyhledáváním klíčových slov."},
            {64,
             "Pokud využijete volby seřadit, znepřístupní se vám tím možnost editovat vybrané "
             "záznamy."},
            {96,
             "V případě potřeby editace záznamu, vložení nového záznami či odstranění musí být "
             "zvolena volba neřadit."},
            {128,
             "Databázi si můžete taktéž zálohovat pomocí volby uložit databázi jako. (soubory "
             "qv.db, qv.mb)."}};
        bool openAfterKeys = false;
        whenActive<TForm5>([&](TForm5* form) {
            QCOMPARE(form->findChildren<QLabel*>().size(), lines.size());
            for (int index = 0; index < lines.size(); ++index) {
                const auto* label =
                    form->findChild<QLabel*>(QStringLiteral("Label%1").arg(index + 1));
                QCOMPARE(label->text().toUtf8(), lines[index].second);
                QCOMPARE(label->geometry().topLeft(), QPoint(16, lines[index].first));
                QVERIFY(label->geometry().right() < form->width());  // none cut by the edge
            }
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
                QTest::keyClick(form, key);
            }
            openAfterKeys = form->isVisible() && modalResult(*form) == 0;
            form->windowHandle()->close();
        });
        QCOMPARE(showHelp(), ResultClosed);
        QVERIFY(openAfterKeys);
    }
};

QUORVEL_UI_TEST_MAIN(SecondaryWindowTest)
#include "SecondaryWindowTest.moc"
