#include "messages/MessageDialogWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdlib>

#include "FrameCentring.h"
#include "ModalDisplay.h"

namespace quorvel::ui {

namespace {

constexpr int IconSize = 32;

// One line of the message is measured and drawn with these: tabs expanded, "&" taken literally.
constexpr int LineFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;

struct ButtonKind {
    MsgDlgBtn flag;
    const char* name;
    const char* caption;
    int result;
};

// In button order, which is the order they stand in from left to right.
constexpr std::array<ButtonKind, 3> ButtonKinds{{
    {MsgDlgBtn::Yes, "Yes", "&Yes", ResultYes},
    {MsgDlgBtn::No, "No", "&No", ResultNo},
    {MsgDlgBtn::OK, "OK", "OK", ResultOK},
}};

// A caption's width is measured the first time a button of its kind is shown, and kept for the
// rest of the run; -1 until then.
std::array<int, ButtonKinds.size()> captionWidths{-1, -1, -1};

// number · numerator / denominator, rounded to the nearest integer, halves away from zero.
int mulDiv(int number, int numerator, int denominator) {
    assert(denominator != 0);
    const long long product = static_cast<long long>(number) * numerator;
    const long long magnitude =
        (2 * std::llabs(product) + std::llabs(denominator)) / (2LL * std::llabs(denominator));
    return static_cast<int>((product < 0) != (denominator < 0) ? -magnitude : magnitude);
}

QString withoutAmpersands(QString caption) {
    return caption.remove(u'&');
}

int lineWidth(const QFontMetrics& metrics, const QString& line) {
    return metrics.size(LineFlags, line).width();
}

// The message's lines: its own line breaks kept, and each paragraph filled word by word up to
// wrapWidth. Lines break only at spaces, never inside a word (nor after a "/" as Qt's own
// wrapping would), so a path wider than wrapWidth stands on a line of its own and widens the
// text instead.
QStringList wrapText(const QFontMetrics& metrics, const QString& text, int wrapWidth) {
    QStringList lines;
    const QStringList paragraphs = QString(text)
                                       .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                       .replace(u'\r', u'\n')
                                       .split(u'\n');
    for (const QString& paragraph : paragraphs) {
        const QStringList words = paragraph.split(u' ');
        QString line = words.first();
        for (qsizetype index = 1; index < words.size(); ++index) {
            const QString longer = line + u' ' + words.at(index);
            if (lineWidth(metrics, longer) <= wrapWidth) {
                line = longer;
            } else {
                lines << line;
                line = words.at(index);
            }
        }
        lines << line;
    }
    return lines;
}

// The message label draws the lines the layout was measured with.
class MessageLabel : public QLabel {
  public:
    MessageLabel(const QString& text, const QStringList& lines, QWidget* parent)
        : QLabel(parent), lines_(lines) {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setText(text);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const int lineSpacing = fontMetrics().lineSpacing();
        for (qsizetype index = 0; index < lines_.size(); ++index) {
            const QRect lineBox(0, static_cast<int>(index) * lineSpacing, width(), lineSpacing);
            style()->drawItemText(&painter, lineBox, LineFlags | Qt::TextDontClip, palette(),
                                  isEnabled(), lines_.at(index), foregroundRole());
        }
    }

  private:
    QStringList lines_;
};

}  // namespace

TMessageForm::TMessageForm(const QString& text, MsgDlgType kind, MsgDlgButtons buttons)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      message_(text) {
    assert(buttons != MsgDlgButtons());
    setObjectName(QStringLiteral("MessageForm"));
    // If the platform names no message font, this is the application's default font.
    setFont(QApplication::font("QMessageBox"));
    QPalette buttonFace = palette();
    buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
    setPalette(buttonFace);
    setAutoFillBackground(true);
    setWindowTitle(kind == MsgDlgType::Error ? QStringLiteral("Error") : QStringLiteral("Confirm"));

    // The measures are multiples of a quarter of the average character width and an eighth of
    // the line height, so the dialog scales with its font.
    const QFontMetrics metrics = fontMetrics();
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int x = metrics.horizontalAdvance(letters) / 52;
    const int y = metrics.height();
    const int horizontalMargin = mulDiv(8, x, 4);
    const int verticalMargin = mulDiv(8, y, 8);
    const int iconTextSpace = mulDiv(10, x, 4);
    const int textButtonSpace = mulDiv(10, y, 8);
    const int leastButtonWidth = mulDiv(50, x, 4);
    const int buttonHeight = mulDiv(14, y, 8);
    const int buttonSpace = mulDiv(4, x, 4);

    int buttonWidth = leastButtonWidth;
    for (std::size_t kindIndex = 0; kindIndex < ButtonKinds.size(); ++kindIndex) {
        if (buttons.testFlag(ButtonKinds[kindIndex].flag)) {
            int& captionWidth = captionWidths[kindIndex];
            if (captionWidth < 0) {
                captionWidth = metrics.horizontalAdvance(
                    withoutAmpersands(QString::fromLatin1(ButtonKinds[kindIndex].caption)));
            }
            buttonWidth = std::max(buttonWidth, captionWidth + 8);
        }
    }

    // Wrapped to half the primary screen; a word wider than that widens the block instead.
    const QStringList lines =
        wrapText(metrics, text, QGuiApplication::primaryScreen()->geometry().width() / 2);
    int textWidth = 0;
    for (const QString& line : lines) {
        textWidth = std::max(textWidth, lineWidth(metrics, line));
    }
    const QSize textSize(textWidth, static_cast<int>(lines.size()) * metrics.lineSpacing());
    const int textIconWidth = textSize.width() + IconSize + iconTextSpace;
    const int textIconHeight = std::max(textSize.height(), IconSize);

    const int buttonCount = static_cast<int>(
        std::count_if(ButtonKinds.begin(), ButtonKinds.end(),
                      [&](const ButtonKind& button) { return buttons.testFlag(button.flag); }));
    const int buttonRowWidth = buttonCount * buttonWidth + (buttonCount - 1) * buttonSpace;
    const int clientWidth = std::max(textIconWidth, buttonRowWidth) + 2 * horizontalMargin;
    const int clientHeight = textIconHeight + textButtonSpace + buttonHeight + 2 * verticalMargin;
    setFixedSize(clientWidth, clientHeight);

    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image"));
    const QStyle::StandardPixmap icon =
        kind == MsgDlgType::Error ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxQuestion;
    image->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(IconSize, IconSize));
    image->setGeometry(horizontalMargin, verticalMargin, IconSize, IconSize);

    auto* label = new MessageLabel(text, lines, this);
    label->setObjectName(QStringLiteral("Message"));
    label->setGeometry(horizontalMargin + IconSize + iconTextSpace, verticalMargin,
                       textSize.width(), textSize.height());

    // Created in button order, so the tab order runs left to right from the leftmost button.
    const int buttonTop = verticalMargin + textIconHeight + textButtonSpace;
    int buttonLeft = (clientWidth - buttonRowWidth) / 2;
    for (const ButtonKind& kindOfButton : ButtonKinds) {
        if (!buttons.testFlag(kindOfButton.flag)) {
            continue;
        }
        auto* button = new QPushButton(QString::fromLatin1(kindOfButton.caption), this);
        button->setObjectName(QString::fromLatin1(kindOfButton.name));
        button->setGeometry(buttonLeft, buttonTop, buttonWidth, buttonHeight);
        buttonLeft += buttonWidth + buttonSpace;
        const int result = kindOfButton.result;
        connect(button, &QPushButton::clicked, this,
                [this, result] { setModalResult(*this, result); });
        const QString caption = button->text();
        const qsizetype ampersand = caption.indexOf(u'&');
        const QChar letter = ampersand >= 0 && ampersand + 1 < caption.size()
                                 ? caption.at(ampersand + 1).toUpper()
                                 : QChar();
        buttons_.push_back({button, result, letter});
    }

    const auto buttonFor = [this](int result) -> QPushButton* {
        for (const Button& button : buttons_) {
            if (button.result == result) {
                return button.widget;
            }
        }
        return nullptr;
    };
    defaultButton_ = buttonFor(ResultOK) != nullptr ? buttonFor(ResultOK) : buttonFor(ResultYes);
    cancelButton_ = buttonFor(ResultNo) != nullptr ? buttonFor(ResultNo) : buttonFor(ResultOK);
    if (defaultButton_ != nullptr) {
        defaultButton_->setDefault(true);
    }
    buttons_.front().widget->setFocus(Qt::OtherFocusReason);

    // Key preview: the dialog sees each key before whichever child has the focus.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->installEventFilter(this);
    }

    // Centred on the screen; on the active window's monitor when there is one.
    const QWidget* active = QApplication::activeWindow();
    new FrameCentring(
        *this,
        (active != nullptr ? active->screen() : QGuiApplication::primaryScreen())->geometry());
}

int TMessageForm::modalResult() const {
    return ui::modalResult(*this);
}

QString TMessageForm::clipboardText() const {
    const QString rule(27, u'-');
    const QString lineEnd = QStringLiteral("\r\n");
    QString captions;
    for (const Button& button : buttons_) {
        captions += withoutAmpersands(button.widget->text()) + QStringLiteral("   ");
    }
    return rule + lineEnd + windowTitle() + lineEnd + rule + lineEnd + message_ + lineEnd + rule +
           lineEnd + captions + lineEnd + rule + lineEnd;
}

bool TMessageForm::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Claiming the key keeps the buttons' own Alt+letter shortcuts from firing as well.
        if (handlesKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (handlesKey(key)) {
            pressKey(key);
            return true;
        }
    }
    return false;
}

bool TMessageForm::handlesKey(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            // Taken with any modifier: with Shift, Ctrl or Alt they do nothing, where a focused
            // button would click on Shift+Enter of its own.
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Right:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Up:
            return modifiers == Qt::NoModifier;
        case Qt::Key_Backtab:
            return modifiers == Qt::ShiftModifier || modifiers == Qt::NoModifier;
        case Qt::Key_C:
            if (modifiers == Qt::ControlModifier) {
                return true;
            }
            break;
        default:
            break;
    }
    // A button's letter, typed in either case, with or without Alt.
    if ((modifiers & ~(Qt::ShiftModifier | Qt::AltModifier)) != Qt::NoModifier) {
        return false;
    }
    return std::any_of(buttons_.begin(), buttons_.end(), [&](const Button& button) {
        return !button.letter.isNull() && key.key() == button.letter.unicode();
    });
}

void TMessageForm::pressKey(const QKeyEvent& key) {
    const bool unmodified = (key.modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            if (!unmodified) {
                return;
            }
            QPushButton* focused = nullptr;
            for (const Button& button : buttons_) {
                if (button.widget == focusWidget()) {
                    focused = button.widget;
                }
            }
            if (QPushButton* target = focused != nullptr ? focused : defaultButton_) {
                target->click();
            }
            return;
        }
        case Qt::Key_Escape:
            if (unmodified && cancelButton_ != nullptr) {
                cancelButton_->click();
            }
            return;
        case Qt::Key_Tab:
        case Qt::Key_Right:
        case Qt::Key_Down:
            moveFocus(true);
            return;
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Up:
            moveFocus(false);
            return;
        case Qt::Key_C:
            if ((key.modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
                copyToClipboard();
                return;
            }
            break;
        default:
            break;
    }
    for (const Button& button : buttons_) {
        if (key.key() == button.letter.unicode()) {
            button.widget->click();
            return;
        }
    }
}

void TMessageForm::moveFocus(bool forward) {
    const auto count = static_cast<int>(buttons_.size());
    int current = forward ? -1 : 0;
    for (int index = 0; index < count; ++index) {
        if (buttons_[static_cast<std::size_t>(index)].widget == focusWidget()) {
            current = index;
        }
    }
    const int next = ((current + (forward ? 1 : -1)) % count + count) % count;
    buttons_[static_cast<std::size_t>(next)].widget->setFocus(forward ? Qt::TabFocusReason
                                                                      : Qt::BacktabFocusReason);
}

void TMessageForm::copyToClipboard() const {
    QApplication::beep();
    QApplication::clipboard()->setText(clipboardText());
}

}  // namespace quorvel::ui
