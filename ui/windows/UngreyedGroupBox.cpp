#include "windows/UngreyedGroupBox.h"

#include <QApplication>
#include <QChildEvent>
#include <QEvent>
#include <QPalette>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace quorvel::ui {

namespace {

// The application's style, drawing every control as enabled. The options are the callers' own
// objects; the state is lent for the call and given back.
class EnabledLookStyle : public QProxyStyle {
  public:
    // A style of the application's own kind, not the platform's default one.
    EnabledLookStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const Lend lend(option);
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const Lend lend(option);
        QProxyStyle::drawControl(element, option, painter, widget);
    }
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const Lend lend(option);
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    void drawItemText(QPainter* painter, const QRect& rect, int flags, const QPalette& palette,
                      bool, const QString& text, QPalette::ColorRole role) const override {
        QProxyStyle::drawItemText(painter, rect, flags, palette, true, text, role);
    }

  private:
    class Lend {
      public:
        explicit Lend(const QStyleOption* option)
            : option_(const_cast<QStyleOption*>(option)), saved_(option->state) {
            option_->state |= State_Enabled;
        }
        ~Lend() { option_->state = saved_; }
        Lend(const Lend&) = delete;
        Lend& operator=(const Lend&) = delete;

      private:
        QStyleOption* option_;
        State saved_;
    };
};

}  // namespace

UngreyedGroupBox::UngreyedGroupBox(QWidget* parent) : UngreyedGroupBox(QString(), parent) {}

UngreyedGroupBox::UngreyedGroupBox(const QString& title, QWidget* parent)
    : QGroupBox(title, parent), enabledStyle_(new EnabledLookStyle) {
    enabledStyle_->setParent(this);
    drawDisabledAsEnabled();
    drawThroughEnabledStyle(this);
}

UngreyedGroupBox::~UngreyedGroupBox() {
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void UngreyedGroupBox::changeEvent(QEvent* event) {
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) {
        drawDisabledAsEnabled();  // a palette that differs comes back here once, then matches
    }
}

void UngreyedGroupBox::childEvent(QChildEvent* event) {
    QGroupBox::childEvent(event);
    if (event->type() == QEvent::ChildPolished && event->child()->isWidgetType()) {
        drawThroughEnabledStyle(static_cast<QWidget*>(event->child()));
    }
}

void UngreyedGroupBox::drawThroughEnabledStyle(QWidget* widget) {
    if (widget->style() != enabledStyle_) {
        widget->setStyle(enabledStyle_);
    }
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (child->style() != enabledStyle_) {
            child->setStyle(enabledStyle_);
        }
    }
}

void UngreyedGroupBox::drawDisabledAsEnabled() {
    QPalette colours = palette();
    bool differs = false;
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto colourRole = static_cast<QPalette::ColorRole>(role);
        const QBrush& active = colours.brush(QPalette::Active, colourRole);
        if (colours.brush(QPalette::Disabled, colourRole) != active) {
            colours.setBrush(QPalette::Disabled, colourRole, active);
            differs = true;
        }
    }
    if (differs) {
        setPalette(colours);
    }
}

}  // namespace quorvel::ui
