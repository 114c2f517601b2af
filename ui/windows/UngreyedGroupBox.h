// A group box that, when disabled, keeps its caption and its controls drawn as usual, not
// greyed, while they take no focus and no input (Tab passes them by, clicks do nothing). The
// main window's GroupBox1, which holds the bound edits, the memo and the record buttons, is one:
// setEnabled(false) on it while a sort order makes the result read-only.
#pragma once

#include <QGroupBox>

class QStyle;

namespace quorvel::ui {

class UngreyedGroupBox : public QGroupBox {
    Q_OBJECT

  public:
    explicit UngreyedGroupBox(QWidget* parent = nullptr);
    explicit UngreyedGroupBox(const QString& title, QWidget* parent = nullptr);
    // The controls go before the style they draw through.
    ~UngreyedGroupBox() override;

  protected:
    void changeEvent(QEvent* event) override;
    void childEvent(QChildEvent* event) override;

  private:
    // The palette's disabled colours become those of the active group; the controls inside
    // inherit it.
    void drawDisabledAsEnabled();
    // Styles draw some parts of a disabled control (frames, bevels) by its state rather than
    // its palette: the box and everything in it draw through a style that shows them enabled.
    void drawThroughEnabledStyle(QWidget* widget);

    QStyle* enabledStyle_;
};

}  // namespace quorvel::ui
