#include "windows/SecondaryWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <cassert>

#include "Application.h"
#include "FrameCentring.h"
#include "LayoutFont.h"

namespace quorvel::ui {

SecondaryWindow::SecondaryWindow(const QString& caption, QSize clientSize, Background background)
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(caption);
    setFixedSize(clientSize);
    setFont(layoutFont());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, background == Background::White
                                           ? QColor(Qt::white)
                                           : colours.color(QPalette::Button));
    setPalette(colours);
    setAutoFillBackground(true);

    new FrameCentring(*this, QGuiApplication::primaryScreen()->geometry());
}

QLabel* SecondaryWindow::addLabel(const char* name, const QString& text, int left, int top,
                                  LabelLook look) {
    auto* label = new QLabel(text, this);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont labelFont = font();
    labelFont.setBold(look.bold);
    label->setFont(labelFont);
    if (look.colour.isValid()) {
        QPalette colours = label->palette();
        colours.setColor(QPalette::WindowText, look.colour);
        label->setPalette(colours);
    }
    label->move(left, top);
    label->adjustSize();
    // The substitute font can be wider than the layout's, and a long line would then run past
    // the window's edge: such a line is condensed just enough to fit.
    for (int stretch = 95; label->geometry().right() >= width() && stretch >= 50; stretch -= 5) {
        labelFont.setStretch(stretch);
        label->setFont(labelFont);
        label->adjustSize();
    }
    return label;
}

void adoptSecondaryWindow(QWidget* window) {
    Application* application = Application::instance();
    assert(application != nullptr && "the program's windows belong to its application object");
    application->adoptWindow(window);
}

}  // namespace quorvel::ui
