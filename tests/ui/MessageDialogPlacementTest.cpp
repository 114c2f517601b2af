// The message dialog on a real X server, where the window manager frames a window only after it
// is mapped, and may report a half-built frame on the way: the dialog must still end up centred,
// frame included. Where it ends up is measured on screenshots, apart from what Qt believes the
// frame to be. Run under xvfb-run with QT_QPA_PLATFORM=xcb; the test starts openbox itself, so
// that it can start it while the first dialog is already on screen.
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <functional>
#include <optional>

#include "UiTestSupport.h"
#include "messages/MessageDialog.h"
#include "messages/MessageDialogWindow.h"

using namespace quorvel::ui;

Q_DECLARE_METATYPE(quorvel::ui::MsgDlgType)

namespace {

QImage screenshot() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(
        QImage::Format_RGB32);
}

// The bounding box of the pixels that differ from the empty screen: the one window shown, with
// its frame.
QRect shownArea(const QImage& empty, const QImage& now) {
    QRect area;
    for (int y = 0; y < now.height(); ++y) {
        const auto* before = reinterpret_cast<const QRgb*>(empty.constScanLine(y));
        const auto* after = reinterpret_cast<const QRgb*>(now.constScanLine(y));
        for (int x = 0; x < now.width(); ++x) {
            if (before[x] != after[x]) {
                area |= QRect(x, y, 1, 1);
            }
        }
    }
    return area;
}

// The window on screen once it wears a frame (it is larger than the dialog's client area) and
// has stayed put for a second; an empty rectangle if that does not happen within a minute, the
// window manager's time on a busy machine.
QRect settledFrame(const QImage& empty, const QSize& client) {
    QElapsedTimer total;
    total.start();
    QElapsedTimer still;
    still.start();
    QRect last;
    while (total.elapsed() < 60000) {
        const QRect area = shownArea(empty, screenshot());
        if (area != last) {
            last = area;
            still.restart();
        } else if (area.width() > client.width() && area.height() > client.height() &&
                   still.elapsed() >= 1000) {
            return area;
        }
        QTest::qWait(50);
    }
    return {};
}

// Centred on the screen, frame included, halves rounded down.
QPoint centredTopLeft(const QSize& frame) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return QPoint(int(std::floor((screen.width() - frame.width()) / 2.0)),
                  int(std::floor((screen.height() - frame.height()) / 2.0)));
}

struct Placement {
    QRect onScreen;  // measured on the screenshots
    QRect believed;  // the dialog's own frameGeometry()
};

}  // namespace

class MessageDialogPlacementTest : public QObject {
    Q_OBJECT

  private:
    std::optional<test::Watchdog> watchdog_;
    QProcess windowManager_;
    QImage emptyScreen_;

    void startWindowManager() {
        windowManager_.setStandardOutputFile(QProcess::nullDevice());
        windowManager_.setStandardErrorFile(QProcess::nullDevice());
        windowManager_.start(QStringLiteral(QUORVEL_OPENBOX), {});
    }

    // Shows the dialog and, while it is up, calls whileShown, then waits for it to settle.
    std::optional<Placement> placementOf(MsgDlgType kind, const std::function<void()>& whileShown) {
        std::optional<Placement> placement;
        test::whenActive<TMessageForm>([&](TMessageForm* form) {
            whileShown();
            const QRect onScreen = settledFrame(emptyScreen_, form->size());
            if (!onScreen.isEmpty()) {
                placement = Placement{onScreen, form->frameGeometry()};
            }
            QTest::keyClick(form, Qt::Key_Escape);
        });
        ShowMessageDialog(kind == MsgDlgType::Error
                              ? QStringLiteral("Nepodařilo se zkopírovat soubor!")
                              : QStringLiteral("Opravdu chcete odstranit vybraný záznam?"),
                          kind,
                          kind == MsgDlgType::Error ? MsgDlgButtons(MsgDlgBtn::OK)
                                                    : MsgDlgBtn::Yes | MsgDlgBtn::No);
        return placement;
    }

  private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            QSKIP("needs an X server: run under xvfb-run with QT_QPA_PLATFORM=xcb");
        }
        QVERIFY2(test::visibleTopLevels().isEmpty(), "the screen must start empty");
        emptyScreen_ = screenshot();
    }
    void init() { watchdog_.emplace(); }
    void cleanup() {
        watchdog_.reset();
        QVERIFY2(test::visibleTopLevels().isEmpty(), "a window was left on screen");
    }
    void cleanupTestCase() {
        windowManager_.terminate();
        windowManager_.waitForFinished();
    }

    // The first dialog of the run, framed by a window manager that starts only once the dialog
    // is on screen: nothing moves or resizes the dialog itself then, only its frame appears.
    void centredWhenAWindowManagerFramesItLate() {
        QCOMPARE(windowManager_.state(), QProcess::NotRunning);
        const std::optional<Placement> placement =
            placementOf(MsgDlgType::Confirmation, [this] { startWindowManager(); });
        QVERIFY2(placement, "the dialog never settled in a frame");
        QCOMPARE(placement->onScreen.topLeft(), centredTopLeft(placement->onScreen.size()));
        QCOMPARE(placement->believed, placement->onScreen);
    }

    // Later dialogs, the window manager already running.
    void centredUnderARunningWindowManager_data() {
        QTest::addColumn<MsgDlgType>("kind");
        QTest::newRow("error") << MsgDlgType::Error;
        QTest::newRow("confirmation") << MsgDlgType::Confirmation;
    }
    void centredUnderARunningWindowManager() {
        QFETCH(MsgDlgType, kind);
        if (windowManager_.state() == QProcess::NotRunning) {
            startWindowManager();
        }
        // The window manager is at work once it frames a window.
        {
            QWidget probe;
            probe.resize(100, 100);
            probe.show();
            QVERIFY(QTest::qWaitFor(
                [&] { return probe.windowHandle()->frameMargins() != QMargins(); }, 10000));
        }
        QVERIFY(QTest::qWaitFor([this] { return screenshot() == emptyScreen_; }, 5000));
        const std::optional<Placement> placement = placementOf(kind, [] {});
        QVERIFY2(placement, "the dialog never settled in a frame");
        QCOMPARE(placement->onScreen.topLeft(), centredTopLeft(placement->onScreen.size()));
        QCOMPARE(placement->believed, placement->onScreen);
    }
};

QUORVEL_UI_TEST_MAIN(MessageDialogPlacementTest)
#include "MessageDialogPlacementTest.moc"
