// The export's progress window: a copy of a catalogue of gigabytes takes seconds, and a window
// that answers nothing for that long looks hung. A copy that takes longer than delayMs shows this
// window over the main window, with how much of the two files is copied, until it ends; a
// shorter one shows nothing at all. There is no Cancel: the export runs to its end as it always
// has, and a file that fails on the way still has its partial copy deleted.
//
// The copy stays on the user-interface thread, where the engine and the table's read lock are
// always used; a second thread would share the engine's connection and file handles with the
// grid, which reads rows when it repaints. Instead each progress report of the copy lets the
// application handle its pending events, at most every eventsEveryMs: the window repaints and
// answers the window manager. It is application-modal while shown, so Qt lets no click, key or
// close request reach the main window, which is drawn as usual behind it; the window itself
// ignores Escape and its close box.
#pragma once

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

namespace quorvel {
class CatalogueExport;
}

namespace quorvel::ui {

// Milliseconds on a clock that never goes back. The display's delays are measured on one, so
// that a copy paced by its caller can be shown at exactly known moments.
using MillisecondClock = std::function<qint64()>;
// The system's monotonic clock.
MillisecondClock steadyClock();

class ExportProgress : public QDialog {
    Q_OBJECT

  public:
    static constexpr int delayMs = 500;
    static constexpr int eventsEveryMs = 30;

    // owner: the window the progress is shown over and centred on. The delays are measured on
    // clock from here.
    explicit ExportProgress(QWidget& owner, MillisecondClock clock = steadyClock());
    // Ends the display if it is still up.
    ~ExportProgress() override;

    // The copy's report (CopyProgress): shows the window once delayMs have passed, then keeps
    // it up to date and handles the application's events. Throws nothing.
    void report(std::uint64_t copied, std::uint64_t total);
    // Hides the window, if it was shown, and gives the input back to the window that was
    // active before, with its keyboard focus.
    void finish();

    // Whether the window is up.
    bool isShowing() const { return showing_; }

  public slots:
    // Escape ends nothing: the copy goes on to its end.
    void reject() override {}

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void start();
    void showProgress(std::uint64_t copied, std::uint64_t total);

    QWidget& owner_;
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    MillisecondClock clock_;
    qint64 startMs_ = 0;
    qint64 eventsMs_ = 0;
    bool showing_ = false;
    QPointer<QWidget> previousActive_;
    QPointer<QWidget> previousFocus_;
};

// Runs exporter.run(startDir, base) with its progress shown over owner (ExportProgress, its
// delays on clock) and gives its messages; the window is gone by then, so the error boxes come
// after it.
std::vector<std::string> exportWithProgress(QWidget& owner, CatalogueExport& exporter,
                                            const std::string& startDir, const std::string& base,
                                            MillisecondClock clock = steadyClock());

}  // namespace quorvel::ui
