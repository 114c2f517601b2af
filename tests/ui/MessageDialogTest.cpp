// The message dialog: its layout worked out independently from the message font, its
// captions, icons and buttons, every way of answering it, and Ctrl+C.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QWindow>

#include <cmath>
#include <optional>

#include "UiTestSupport.h"
#include "messages/MessageDialog.h"
#include "messages/MessageDialogWindow.h"

using namespace quorvel::ui;

Q_DECLARE_METATYPE(quorvel::ui::MsgDlgType)

namespace {

const QString CopyFailed = QStringLiteral("Nepodařilo se zkopírovat soubor!");
const QString ConfirmDelete = QStringLiteral("Opravdu chcete odstranit vybraný záznam?");
const QString BadCopy = QStringLiteral(
    "Nepodařilo se odstranit špatně zkopírovaný soubor! Odstraňte ho prosím manuálně.(soubor "
    "/home/jana/zalohy/katalog)");

// A path without spaces, somewhat wider than half the primary screen.
QString longPath() {
    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    const int wrapWidth = QGuiApplication::primaryScreen()->geometry().width() / 2;
    QString path = "/home/jana/zalohy";
    while (metrics.horizontalAdvance(path) <= wrapWidth + 40) {
        path += "/katalog_casopisu";
    }
    return path;
}

MsgDlgButtons buttonsOf(MsgDlgType kind) {
    return kind == MsgDlgType::Error ? MsgDlgButtons(MsgDlgBtn::OK)
                                     : MsgDlgBtn::Yes | MsgDlgBtn::No;
}

QStringList captionsOf(MsgDlgType kind) {
    return kind == MsgDlgType::Error ? QStringList{"OK"} : QStringList{"&Yes", "&No"};
}

// The text block: the message's own lines, each filled with as many space-separated words as
// fit in half the screen's width; a longer word stands alone on its line and widens the block.
QSize expectedTextSize(const QFontMetrics& metrics, const QString& text) {
    const int wrapWidth = QGuiApplication::primaryScreen()->geometry().width() / 2;
    const auto width = [&](const QString& line) {
        return metrics.size(Qt::TextExpandTabs, line).width();
    };
    int lines = 0, widest = 0;
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.split(' ')) {
            const QString longer = line.isEmpty() ? word : line + ' ' + word;
            if (!line.isEmpty() && width(longer) > wrapWidth) {
                widest = std::max(widest, width(line));
                ++lines;
                line = word;
            } else {
                line = longer;
            }
        }
        widest = std::max(widest, width(line));
        ++lines;
    }
    return QSize(widest, lines * metrics.lineSpacing());
}

struct Layout {
    QSize client;
    QRect icon;
    QRect text;
    QList<QRect> buttons;
};

// The layout the dialog should have, from the message font's metrics: X is the average width
// of the 52 letters, Y their height, and every measure n·X/4 or n·Y/8 rounded half up.
Layout expectedLayout(const QString& text, const QStringList& captions) {
    const QFontMetrics metrics(QApplication::font("QMessageBox"));
    const int x =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
    const int y = metrics.height();
    const auto measure = [](int n, int unit, int parts) {
        return int(std::lround(double(n) * unit / parts));
    };
    const int marginX = measure(8, x, 4), marginY = measure(8, y, 8);
    const int iconGap = measure(10, x, 4), buttonGapY = measure(10, y, 8);
    const int buttonHeight = measure(14, y, 8), buttonGapX = measure(4, x, 4);
    int buttonWidth = measure(50, x, 4);
    for (QString caption : captions) {
        buttonWidth = std::max(buttonWidth, metrics.horizontalAdvance(caption.remove('&')) + 8);
    }
    const QRect textBox(QPoint(0, 0), expectedTextSize(metrics, text));
    const int contentHeight = std::max(textBox.height(), 32);
    const int rowWidth =
        int(captions.size()) * buttonWidth + (int(captions.size()) - 1) * buttonGapX;

    Layout layout;
    layout.client = QSize(std::max(textBox.width() + 32 + iconGap, rowWidth) + 2 * marginX,
                          contentHeight + buttonGapY + buttonHeight + 2 * marginY);
    layout.icon = QRect(marginX, marginY, 32, 32);
    layout.text = QRect(marginX + 32 + iconGap, marginY, textBox.width(), textBox.height());
    int left = (layout.client.width() - rowWidth) / 2;
    for (int index = 0; index < captions.size(); ++index) {
        layout.buttons << QRect(left, marginY + contentHeight + buttonGapY, buttonWidth,
                                buttonHeight);
        left += buttonWidth + buttonGapX;
    }
    return layout;
}

Layout actualLayout(const TMessageForm* form) {
    Layout layout{form->size(),
                  form->findChild<QLabel*>("Image")->geometry(),
                  form->findChild<QLabel*>("Message")->geometry(),
                  {}};
    for (const char* name : {"Yes", "No", "OK"}) {
        if (const auto* button = form->findChild<QPushButton*>(name)) {
            layout.buttons << button->geometry();
        }
    }
    return layout;
}

// One step of answering the dialog: "click <button>", "close box", or a key sequence typed
// into the focused widget.
void perform(TMessageForm* form, const QString& step) {
    if (step.startsWith("click ")) {
        QTest::mouseClick(form->findChild<QPushButton*>(step.mid(6)), Qt::LeftButton);
    } else if (step == "close box") {
        form->windowHandle()->close();  // as the window manager does
    } else {
        const QKeyCombination key = QKeySequence(step)[0];
        QTest::keyClick(static_cast<QWidget*>(nullptr), key.key(), key.keyboardModifiers());
    }
}

bool anyMessageFormLeft() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](QWidget* window) {
        return qobject_cast<TMessageForm*>(window) != nullptr;
    });
}

}  // namespace

class MessageDialogTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;
    QFont messageFont_;

  private slots:
    void initTestCase() { messageFont_ = QApplication::font("QMessageBox"); }
    void init() { watchdog_.emplace(); }
    void cleanup() {
        watchdog_.reset();
        QApplication::setFont(messageFont_, "QMessageBox");
        QVERIFY2(test::hideLeftWindows().isEmpty(), "a window was left on screen");
    }

    void layoutFollowsTheMessageFont_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<MsgDlgType>("kind");
        QTest::addColumn<int>("pixelSize");  // 0: the platform's message font
        QTest::addColumn<QString>("shape");
        QTest::newRow("one line, error") << CopyFailed << MsgDlgType::Error << 0 << "one line";
        QTest::newRow("one line, confirmation")
            << ConfirmDelete << MsgDlgType::Confirmation << 0 << "one line";
        QTest::newRow("short, buttons set the width")
            << "Chyba" << MsgDlgType::Confirmation << 0 << "one line";
        QTest::newRow("wrapping") << BadCopy << MsgDlgType::Error << 0 << "wraps";
        QTest::newRow("unbreakable path")
            << "Soubor " + longPath() + " nelze otevřít" << MsgDlgType::Error << 0 << "widens";
        QTest::newRow("line break kept") << "Nebyl zadán tiskopis!\nZáznam nebude uložen."
                                         << MsgDlgType::Error << 0 << "two lines";
        QTest::newRow("tab expanded") << "Soubor:\tqv.db" << MsgDlgType::Error << 0 << "one line";
        QTest::newRow("one line, large font")
            << "Záznam nebude uložen." << MsgDlgType::Confirmation << 23 << "one line";
        QTest::newRow("wrapping, large font") << BadCopy << MsgDlgType::Error << 23 << "wraps";
    }
    void layoutFollowsTheMessageFont() {
        QFETCH(QString, text);
        QFETCH(MsgDlgType, kind);
        QFETCH(int, pixelSize);
        QFETCH(QString, shape);
        if (pixelSize > 0) {
            QFont font = messageFont_;
            font.setPixelSize(pixelSize);
            QApplication::setFont(font, "QMessageBox");
        }
        std::optional<Layout> actual;
        QRect frame;
        bool fixedSize = false, messageFont = false;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            actual = actualLayout(form);
            frame = form->frameGeometry();
            fixedSize = form->minimumSize() == form->maximumSize();
            messageFont = form->font() == QApplication::font("QMessageBox") &&
                          form->findChild<QPushButton*>()->font() == form->font();
            perform(form, "Escape");
        });
        ShowMessageDialog(text, kind, buttonsOf(kind));
        QVERIFY(actual);

        const Layout expected = expectedLayout(text, captionsOf(kind));
        QCOMPARE(actual->client, expected.client);
        QCOMPARE(actual->icon, expected.icon);
        QCOMPARE(actual->text, expected.text);
        QCOMPARE(actual->buttons, expected.buttons);
        QVERIFY(fixedSize);
        QVERIFY(messageFont);

        const QFontMetrics metrics(QApplication::font("QMessageBox"));
        const int wrapWidth = QGuiApplication::primaryScreen()->geometry().width() / 2;
        if (shape == "one line") {
            QCOMPARE(actual->text.height(), metrics.lineSpacing());
        } else if (shape == "two lines") {
            QCOMPARE(actual->text.height(), 2 * metrics.lineSpacing());
        } else if (shape == "wraps") {
            QVERIFY(actual->text.height() >= 2 * metrics.lineSpacing());
            QVERIFY(actual->text.width() <= wrapWidth);
        } else {
            QVERIFY(actual->text.width() >= metrics.horizontalAdvance(longPath()));
            QVERIFY(actual->text.width() > wrapWidth);
        }
        // Centred on the screen, frame included, halves rounded down.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(frame.topLeft(),
                 QPoint(int(std::floor((screen.width() - frame.width()) / 2.0)),
                        int(std::floor((screen.height() - frame.height()) / 2.0))));
    }

    void centredOnTheActiveWindowsMonitor() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2) {
            QSKIP("needs a second monitor: run with TwoScreens.json");
        }
        QScreen* second = screens.at(1);
        QWidget main;
        main.setGeometry(QRect(second->geometry().topLeft() + QPoint(100, 100), QSize(300, 200)));
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QCOMPARE(main.screen(), second);
        std::optional<Layout> actual;
        QRect frame;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            actual = actualLayout(form);
            frame = form->frameGeometry();
            perform(form, "Return");
        });
        ShowMessageDialog(BadCopy, MsgDlgType::Error, MsgDlgBtn::OK);
        QVERIFY(actual);
        // Still wrapped to half the primary screen, but centred on the main window's monitor.
        QCOMPARE(actual->text, expectedLayout(BadCopy, {"OK"}).text);
        const QRect area = second->geometry();
        QCOMPARE(frame.topLeft(), area.topLeft() + QPoint((area.width() - frame.width()) / 2,
                                                          (area.height() - frame.height()) / 2));
    }

    void captionIconAndButtons_data() {
        QTest::addColumn<MsgDlgType>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("defaultButton");
        QTest::newRow("error") << MsgDlgType::Error << "Error" << int(QStyle::SP_MessageBoxCritical)
                               << "OK";
        QTest::newRow("confirmation")
            << MsgDlgType::Confirmation << "Confirm" << int(QStyle::SP_MessageBoxQuestion) << "Yes";
    }
    void captionIconAndButtons() {
        QFETCH(MsgDlgType, kind);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(QString, defaultButton);
        QString title, focused, shownDefault, message;
        QStringList buttons;
        QImage image;
        Qt::WindowFlags flags;
        QWidget* owner = nullptr;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            title = form->windowTitle();
            flags = form->windowFlags();
            owner = form->parentWidget();
            image = form->findChild<QLabel*>("Image")->pixmap().toImage();
            message = form->findChild<QLabel*>("Message")->text();
            for (const auto* button : form->findChildren<QPushButton*>()) {
                buttons << button->objectName() + "=" + button->text();
                if (button->isDefault()) {
                    shownDefault = button->objectName();
                }
            }
            focused = QApplication::focusWidget()->objectName();
            perform(form, "Escape");
        });
        ShowMessageDialog("Chyba!", kind,
                          kind == MsgDlgType::Error ? MsgDlgButtons(MsgDlgBtn::OK)
                                                    : MsgDlgBtn::No | MsgDlgBtn::Yes);
        QCOMPARE(title, caption);
        QCOMPARE(message, QString("Chyba!"));  // no full stop is added
        const QStringList expectedButtons =
            kind == MsgDlgType::Error ? QStringList{"OK=OK"} : QStringList{"Yes=&Yes", "No=&No"};
        QCOMPARE(buttons, expectedButtons);  // in creation order: Yes stands first
        QCOMPARE(shownDefault, defaultButton);
        QCOMPARE(focused, buttons.first().section('=', 0, 0));
        QCOMPARE(owner, nullptr);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        const QImage stock = QApplication::style()
                                 ->standardIcon(QStyle::StandardPixmap(icon))
                                 .pixmap(32, 32)
                                 .toImage();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(image, stock);
    }

    void everyWayOfAnswering_data() {
        QTest::addColumn<MsgDlgType>("kind");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("result");
        const MsgDlgType confirm = MsgDlgType::Confirmation, error = MsgDlgType::Error;
        QTest::newRow("confirm: Enter") << confirm << "Return" << 6;
        QTest::newRow("confirm: keypad Enter") << confirm << "Enter" << 6;
        QTest::newRow("confirm: click Yes") << confirm << "click Yes" << 6;
        QTest::newRow("confirm: y") << confirm << "Y" << 6;
        QTest::newRow("confirm: Shift+Y") << confirm << "Shift+Y" << 6;
        QTest::newRow("confirm: Alt+Y") << confirm << "Alt+Y" << 6;
        QTest::newRow("confirm: Escape") << confirm << "Escape" << 7;
        QTest::newRow("confirm: click No") << confirm << "click No" << 7;
        QTest::newRow("confirm: n") << confirm << "N" << 7;
        QTest::newRow("confirm: Alt+N") << confirm << "Alt+N" << 7;
        QTest::newRow("confirm: close box") << confirm << "close box" << 2;
        QTest::newRow("confirm: Tab, Enter") << confirm << "Tab, Return" << 7;
        QTest::newRow("confirm: Right, Enter") << confirm << "Right, Return" << 7;
        QTest::newRow("confirm: Down, Enter") << confirm << "Down, Return" << 7;
        QTest::newRow("confirm: Tab twice wraps") << confirm << "Tab, Tab, Return" << 6;
        QTest::newRow("confirm: Shift+Tab wraps") << confirm << "Shift+Backtab, Return" << 7;
        QTest::newRow("confirm: Left wraps") << confirm << "Left, Return" << 7;
        QTest::newRow("confirm: Tab, Escape") << confirm << "Tab, Escape" << 7;
        QTest::newRow("confirm: Tab, Y") << confirm << "Tab, Y" << 6;
        QTest::newRow("confirm: Ctrl+Y does nothing") << confirm << "Ctrl+Y, Escape" << 7;
        QTest::newRow("confirm: Shift+Enter does nothing") << confirm << "Shift+Return, N" << 7;
        QTest::newRow("confirm: Ctrl+Escape does nothing") << confirm << "Ctrl+Escape, Y" << 6;
        QTest::newRow("confirm: Ctrl+C keeps it open") << confirm << "Ctrl+C, Y" << 6;
        QTest::newRow("error: Enter") << error << "Return" << 1;
        QTest::newRow("error: Escape") << error << "Escape" << 1;
        QTest::newRow("error: click OK") << error << "click OK" << 1;
        QTest::newRow("error: close box") << error << "close box" << 2;
        QTest::newRow("error: Y does nothing") << error << "Y, Return" << 1;
        QTest::newRow("error: Tab stays on OK") << error << "Tab, Return" << 1;
    }
    void everyWayOfAnswering() {
        QFETCH(MsgDlgType, kind);
        QFETCH(QString, steps);
        QFETCH(int, result);
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            for (const QString& step : steps.split(", ")) {
                perform(form, step);
            }
        });
        QCOMPARE(ShowMessageDialog(ConfirmDelete, kind, buttonsOf(kind)), result);
        QVERIFY(!anyMessageFormLeft());  // destroyed before the call returned
    }

    void ctrlCCopiesTheDialogAsText_data() {
        QTest::addColumn<MsgDlgType>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("clipboard");
        const QByteArray rule = "---------------------------\r\n";
        QTest::newRow("error") << MsgDlgType::Error << CopyFailed
                               << rule + "Error\r\n" + rule + CopyFailed.toUtf8() + "\r\n" + rule +
                                      "OK   \r\n" + rule;
        QTest::newRow("confirmation")
            << MsgDlgType::Confirmation << "A & B?"
            << rule + "Confirm\r\n" + rule + "A & B?\r\n" + rule + "Yes   No   \r\n" + rule;
    }
    void ctrlCCopiesTheDialogAsText() {
        QFETCH(MsgDlgType, kind);
        QFETCH(QString, text);
        QFETCH(QByteArray, clipboard);
        QApplication::clipboard()->setText("earlier content");
        bool stillOpen = false;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            perform(form, "Ctrl+C");
            stillOpen = form->isVisible() && form->modalResult() == 0;
            perform(form, "Escape");
        });
        ShowMessageDialog(text, kind, buttonsOf(kind));
        QVERIFY(stillOpen);
        QCOMPARE(QApplication::clipboard()->text().toUtf8(), clipboard);
    }

    void ampersandIsShownAsItself() {
        const QString text = "Soubor A&B.db";
        QString shown;
        int width = 0;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            const auto* label = form->findChild<QLabel*>("Message");
            shown = label->text();
            width = label->width();
            perform(form, "Return");
        });
        ShowMessageDialog(text, MsgDlgType::Error, MsgDlgBtn::OK);
        QCOMPARE(shown, text);
        // Measured with the "&" as a character, not as an access-key marker.
        QCOMPARE(width,
                 expectedTextSize(QFontMetrics(QApplication::font("QMessageBox")), text).width());
        QVERIFY(width > QFontMetrics(QApplication::font("QMessageBox"))
                            .boundingRect(QRect(0, 0, 400, 0),
                                          Qt::TextWordWrap | Qt::TextShowMnemonic, text)
                            .width());
    }
};

QUORVEL_UI_TEST_MAIN(MessageDialogTest)
#include "MessageDialogTest.moc"
