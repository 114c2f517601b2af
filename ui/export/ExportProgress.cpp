#include "export/ExportProgress.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

#include "LayoutFont.h"
#include "export/CatalogueExport.h"
#include "export/ExportProgressText.h"

namespace quorvel::ui {

namespace {

constexpr int clientWidth = 340;
constexpr int clientHeight = 76;
// The bar counts in thousandths, so that it moves with every few MB of a large copy.
constexpr int barMaximum = 1000;

}  // namespace

MillisecondClock steadyClock() {
    return [] {
        QElapsedTimer clock;
        clock.start();
        return clock.msecsSinceReference();
    };
}

ExportProgress::ExportProgress(QWidget& owner, MillisecondClock clock)
    : QDialog(&owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      owner_(owner),
      clock_(std::move(clock)) {
    setObjectName(QStringLiteral("ExportProgress"));
    setWindowTitle(QStringLiteral("Exportuji databázi…"));
    setFont(layoutFont());
    setFixedSize(clientWidth, clientHeight);
    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("Label1"));
    text_->setGeometry(12, 14, clientWidth - 24, 16);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("ProgressBar1"));
    bar_->setGeometry(12, 38, clientWidth - 24, 22);
    bar_->setRange(0, barMaximum);
    bar_->setFormat(QStringLiteral("%p %"));
    bar_->setAccessibleName(QStringLiteral("Průběh exportu"));  // it has no label of its own
    startMs_ = clock_();
}

ExportProgress::~ExportProgress() {
    finish();
}

void ExportProgress::report(std::uint64_t copied, std::uint64_t total) {
    const qint64 now = clock_();
    if (!showing_) {
        if (now - startMs_ < delayMs) {
            return;
        }
        showProgress(copied, total);
        start();
    } else if (now - eventsMs_ < eventsEveryMs) {
        return;
    } else {
        showProgress(copied, total);
    }
    eventsMs_ = now;
    // Failures escaping handlers end in the application's notify, never here.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void ExportProgress::showProgress(std::uint64_t copied, std::uint64_t total) {
    text_->setText(copiedText(copied, total));
    const std::uint64_t thousandths =
        total == 0 ? barMaximum : std::min<std::uint64_t>(copied, total) * barMaximum / total;
    bar_->setValue(static_cast<int>(thousandths));
}

void ExportProgress::start() {
    // A drag or a pressed button in the main window is let go, as for any modal window.
    if (QWidget* grabber = QWidget::mouseGrabber()) {
        grabber->releaseMouse();
    }
    previousActive_ = QApplication::activeWindow();
    previousFocus_ = previousActive_ != nullptr ? previousActive_->focusWidget() : nullptr;
    setWindowModality(Qt::ApplicationModal);
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    showing_ = true;
    show();
    raise();
    activateWindow();
}

void ExportProgress::finish() {
    if (!showing_) {
        return;
    }
    showing_ = false;
    QGuiApplication::restoreOverrideCursor();
    const bool wasActive = QApplication::activeWindow() == this;
    hide();
    setWindowModality(Qt::NonModal);
    if (previousFocus_ != nullptr) {
        previousFocus_->setFocus(Qt::OtherFocusReason);
    }
    if (wasActive && previousActive_ != nullptr) {
        previousActive_->activateWindow();
    }
}

void ExportProgress::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 stop nothing; the window goes when the copy ends.
    event->ignore();
}

std::vector<std::string> exportWithProgress(QWidget& owner, CatalogueExport& exporter,
                                            const std::string& startDir, const std::string& base,
                                            MillisecondClock clock) {
    ExportProgress progress(owner, std::move(clock));
    std::vector<std::string> messages = exporter.run(
        startDir, base,
        [&progress](std::uint64_t copied, std::uint64_t total) { progress.report(copied, total); });
    progress.finish();
    return messages;
}

}  // namespace quorvel::ui
