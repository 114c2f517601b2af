// The export's progress window on a real catalogue copied slowly through the copy seam: shown
// after half a second with a growing count, taking every click and key and refusing to close;
// gone when the copy ends, failed or not; never shown for a fast copy.
#include <QLabel>
#include <QProgressBar>

#include <algorithm>

#include "BoundForm.h"
#include "export/CatalogueExport.h"
#include "export/ExportProgress.h"
#include "export/ExportProgressText.h"

using namespace quorvel;
using namespace quorvel::ui;
using namespace quorvel::ui::test;
namespace fs = std::filesystem;

namespace {

// Reads and writes only, each read taking pauseMs on a clock of the test's own, which the
// progress window is given: the window's moments follow the copy's steps, however fast or busy
// the machine. Each read is seen by a hook with that clock's time; one write may fail.
class SlowIo : public CopyIo {
  public:
    std::size_t read(CopySource& source, std::uint64_t offset,
                     std::span<std::byte> buffer) override {
        beforeRead(nowMs);
        nowMs += pauseMs;
        return CopyIo::read(source, offset, buffer);
    }
    std::size_t write(int target, std::span<const std::byte> bytes) override {
        if (failWriteAfterMs > 0 && nowMs >= failWriteAfterMs) {
            failWriteAfterMs = 0;
            throw CopyFailure("injected write error");
        }
        return CopyIo::write(target, bytes);
    }
    std::optional<std::size_t> copyRange(CopySource&, std::uint64_t, int, std::size_t) override {
        return std::nullopt;
    }

    qint64 nowMs = 0;
    qint64 pauseMs = 0;
    qint64 failWriteAfterMs = 0;
    std::function<void(qint64)> beforeRead;
};

constexpr std::size_t step = 64 << 10;

}  // namespace

class ExportProgressTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { QVERIFY2(hideLeftWindows().isEmpty(), "a window was left open"); }

    void slowCopyShowsItsProgressAndTakesAllInput_data() {
        QTest::addColumn<int>("copyMs");  // about
        QTest::addColumn<int>("failWriteAfterMs");
        QTest::newRow("copied") << 1500 << 0;
        QTest::newRow("a write fails midway") << 1500 << 1100;
        QTest::newRow("fast") << 0 << 0;
    }
    void slowCopyShowsItsProgressAndTakesAllInput() {
        QFETCH(int, copyMs);
        QFETCH(int, failWriteAfterMs);
        BoundForm form(
            std::vector<Issue>(40, Issue{"Vesmír", "3/2019", "díry", std::string(50000, 'm')}));
        form.Query1.Close();  // the edits take no key
        auto* edit = new QLineEdit(&form.window);
        edit->show();
        edit->setFocus();
        int clicks = 0;
        connect(form.button, &QPushButton::clicked, [&clicks] { ++clicks; });
        const auto typeAndClick = [&] {  // as a person's key and click come
            QTest::keyClick(form.window.windowHandle(), Qt::Key_X);
            QTest::mouseClick(form.window.windowHandle(), Qt::LeftButton, {},
                              form.button->mapTo(&form.window, form.button->rect().center()));
        };
        const fs::path table = form.directory.path().toStdString();
        const std::uint64_t bytes = fs::file_size(table / "qv.db") + fs::file_size(table / "qv.mb");

        std::vector<qint64> shownMs;  // at each read while the window is up, and its bar
        std::vector<int> bars;
        qint64 lastHiddenMs = -1;
        bool modalAndActive = false, windowStays = false;
        QString text;  // the label's, and the bar's name for screen readers
        SlowIo io;
        io.pauseMs = copyMs / static_cast<qint64>(bytes / step + 2);
        io.failWriteAfterMs = failWriteAfterMs;
        io.beforeRead = [&](qint64 ms) {
            auto* window = form.window.findChild<ExportProgress*>();
            if (window == nullptr || !window->isVisible()) {
                lastHiddenMs = ms;
                return;
            }
            shownMs.push_back(ms);
            const auto* bar = window->findChild<QProgressBar*>();
            bars.push_back(bar->value());
            text = window->findChild<QLabel*>()->text() + '|' + bar->accessibleName();
            if (bars.size() == 3) {
                // Qt drops the window manager's close requests to the windows behind, as it
                // drops their clicks and keys.
                modalAndActive = QGuiApplication::modalWindow() == window->windowHandle() &&
                                 QApplication::activeWindow() == window;
                typeAndClick();
                window->windowHandle()->close();
                QTest::keyClick(window->windowHandle(), Qt::Key_Escape);
            } else if (bars.size() == 4) {
                windowStays = window->isVisible();
            }
        };
        CatalogueExport exporter(form.engine->database(), io, step);
        QTemporaryDir out;
        const std::string base = out.filePath("kopie").toStdString();
        const std::vector<std::string> messages = exportWithProgress(
            form.window, exporter, table.string(), base, [&io] { return io.nowMs; });

        QCOMPARE(visibleTopLevels(), QWidgetList{&form.window});
        QVERIFY(messages ==
                std::vector<std::string>(failWriteAfterMs > 0 ? 1 : 0, export_text::copyFailed));
        QCOMPARE(int(fs::exists(base + ".db")) + int(fs::exists(base + ".mb")),
                 failWriteAfterMs > 0 ? 1 : 2);
        if (copyMs == 0) {
            QVERIFY(bars.empty());
            return;
        }
        QVERIFY2(bars.size() > 4, qPrintable(QString::number(bars.size())));
        // Up at the first report from delayMs on, seen at the read after it.
        QVERIFY2(shownMs.front() >= ExportProgress::delayMs &&
                     shownMs.front() <= ExportProgress::delayMs + 2 * io.pauseMs,
                 qPrintable(QString::number(shownMs.front())));
        QVERIFY(lastHiddenMs < shownMs.front());  // once up, up to the end
        QVERIFY(std::is_sorted(bars.begin(), bars.end()) && bars.back() > bars.front());
        QVERIFY2(text.startsWith("Zkopírováno ") &&
                     text.endsWith(" z " + sizeText(bytes) + "|Průběh exportu"),
                 qPrintable(text));
        QVERIFY(modalAndActive && windowStays);
        QCOMPARE(clicks, 0);
        QCOMPARE(edit->text(), QString());
        typeAndClick();  // and once the copy is over, they arrive
        QCOMPARE(clicks, 1);
        QCOMPARE(edit->text(), QStringLiteral("x"));
    }

    void sizesReadAsOnTheDesktop_data() {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("bytes") << quint64{999} << "999 B";
        QTest::newRow("one decimal below ten") << quint64{1249} << "1,2 kB";
        QTest::newRow("rounded up") << quint64{9950} << "10 kB";
        QTest::newRow("half rounds up") << quint64{12'500'000} << "13 MB";
        QTest::newRow("1000 of one unit is one of the next") << quint64{999'600} << "1,0 MB";
        QTest::newRow("a catalogue of a million issues") << quint64{1'640'000'000} << "1,6 GB";
        QTest::newRow("the largest") << quint64{18'446'744'073'709'551'615u} << "18 EB";
    }
    void sizesReadAsOnTheDesktop() {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(sizeText(bytes), text);
        QCOMPARE(copiedText(bytes, 1'640'000'000), "Zkopírováno " + text + " z 1,6 GB");
    }
};

QUORVEL_UI_TEST_MAIN(ExportProgressTest)
#include "ExportProgressTest.moc"
