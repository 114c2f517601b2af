#include "windows/AboutWindow.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "windows/StoredPictures.h"

namespace quorvel::ui {

TForm3::TForm3()
    : SecondaryWindow(QStringLiteral("About"), QSize(ClientWidth, ClientHeight),
                      Background::White) {
    setObjectName(QStringLiteral("Form3"));
    // Moves over the background without a button pressed turn the link black.
    setMouseTracking(true);

    Label1 =
        addLabel("Label1", QStringLiteral("Copyright © 2026 Velmora"), 10, 8, {true, Qt::blue});
    Label2 =
        addLabel("Label2", QStringLiteral("Licence pro 1 uživatele"), 15, 24, {true, Qt::blue});
    Label3 = addLabel("Label3", QStringLiteral("Práva vyhrazena."), 40, 48, {true, QColor()});
    Label5 = addLabel("Label5", QStringLiteral("Quorvel 1.0"), 56, 88, {true, Qt::red});

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setGeometry(80, 112, 33, 33);
    Image1->setPixmap(StoredPictures::aboutIcon());

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(48, 176, 97, 25);
    // The one control that takes the focus, so the first in the tab order; Enter presses it.
    Button1->setAutoDefault(true);
    Button1->setFocus(Qt::OtherFocusReason);
    connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

    Label7 = addLabel("Label7", siteAddress().host(), 39, 208);
    Label7->setCursor(Qt::PointingHandCursor);
    Label7->setToolTip(QStringLiteral("Oficiální stránky"));
    Label7->setMouseTracking(true);
    Label7->installEventFilter(this);
    Label8 = addLabel("Label8", QStringLiteral("info@velmora.cz"), 34, 224);
}

QUrl TForm3::siteAddress() {
    return QUrl(QStringLiteral("https://www.velmora.cz/"));
}

void TForm3::Button1Click() {
    close();
}

void TForm3::Label7Click() {
    // The desktop's default handler opens the page; nothing is shown if it can't.
    QDesktopServices::openUrl(siteAddress());
}

void TForm3::Label7MouseMove() {
    setLinkColour(Qt::blue);
}

void TForm3::FormMouseMove() {
    setLinkColour(Qt::black);
}

void TForm3::setLinkColour(const QColor& colour) {
    QPalette colours = Label7->palette();
    colours.setColor(QPalette::WindowText, colour);
    Label7->setPalette(colours);
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label7) {
        if (event->type() == QEvent::MouseMove) {
            Label7MouseMove();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            // A click: pressed and let go over the link with the left button.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton &&
                Label7->rect().contains(mouse->position().toPoint())) {
                Label7Click();
            }
        }
    }
    return SecondaryWindow::eventFilter(watched, event);
}

void TForm3::mouseMoveEvent(QMouseEvent* event) {
    // Moves over a label, the picture or the button that they pass on to the window are not
    // moves over the background.
    if (childAt(event->position().toPoint()) == nullptr) {
        FormMouseMove();
    }
    SecondaryWindow::mouseMoveEvent(event);
}

int showAbout() {
    return openSecondaryWindow<TForm3>();
}

}  // namespace quorvel::ui
