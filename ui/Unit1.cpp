#include "Unit1.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <filesystem>
#include <system_error>

#include "DefaultErrorHandler.h"
#include "Exceptions.h"

namespace quorvel::ui {

namespace {

// The layout asks for "MS Sans Serif" 8 points (11 pixels at 96 dpi); the font system gives
// its substitute.
QFont windowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

}  // namespace

TForm1::TForm1()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvel 1.1"));
    setFont(windowFont());
    setBackgroundRole(QPalette::Button);

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    client->setAutoFillBackground(true);
    client->setBackgroundRole(QPalette::Button);
    setCentralWidget(client);
    buildMenu();
    // Fixed single border: the frame takes exactly the client area and the menu bar.
    setFixedSize(ClientWidth, ClientHeight + menuBar()->sizeHint().height());
    centreWithFrame();

    // The stored layout holds Query1 active with live results requested: the table opens
    // here, before any handler of the window has run.
    Query1.SetRequestLive(true);
    Query1.AddSQL("select * from qv");
    Query1.SetActive(true);
    FormCreate();
}

TForm1::~TForm1() {
    // Closed while the window's controls are still there to hear it, and the controls go
    // before the data source they observe.
    Query1.Close();
    delete takeCentralWidget();
}

void TForm1::buildMenu() {
    Soubor1 = menuBar()->addMenu(QStringLiteral("&Program"));
    Soubor1->setObjectName(QStringLiteral("Soubor1"));
    Exportovatdatabzi1 = Soubor1->addAction(QStringLiteral("&Exportovat databázi"));
    Exportovatdatabzi1->setObjectName(QStringLiteral("Exportovatdatabzi1"));
    Zavt1 = Soubor1->addAction(QStringLiteral("&Zavřít"));
    Zavt1->setObjectName(QStringLiteral("Zavt1"));
    connect(Zavt1, &QAction::triggered, this, [this] { runHandler([this] { Zavt1Click(); }); });

    Npovda1 = menuBar()->addMenu(QStringLiteral("&Nápověda"));
    Npovda1->setObjectName(QStringLiteral("Npovda1"));
    Npovda2 = Npovda1->addAction(QStringLiteral("Ná&pověda"));
    Npovda2->setObjectName(QStringLiteral("Npovda2"));

    About1 = menuBar()->addAction(QStringLiteral("&About .."));
    About1->setObjectName(QStringLiteral("About1"));
}

void TForm1::FormCreate() {
    clauses_.BaseClause = "select * from qv";
    clauses_.FilterClause.clear();
    clauses_.OrderClause.clear();
    FirstActivationDone = false;
}

void TForm1::centreWithFrame() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // The frame is the window manager's: known only some time after the window is mapped.
    QMargins margins;
    if (const QWindow* window = windowHandle(); window != nullptr && isVisible()) {
        margins = window->frameMargins();
    }
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0) {
        margins = QMargins();
    }
    centredFrame_ = size().grownBy(margins);
    const QRect area = screen->geometry();
    const QPoint frameTopLeft(area.x() + (area.width() - centredFrame_.width()) / 2,
                              area.y() + (area.height() - centredFrame_.height()) / 2);
    setGeometry(QRect(frameTopLeft + QPoint(margins.left(), margins.top()), size()));
}

void TForm1::timerEvent(QTimerEvent* event) {
    if (event->timerId() != frameWatch_.timerId()) {
        QMainWindow::timerEvent(event);
        return;
    }
    if (--frameWatchesLeft_ <= 0 || !isVisible()) {
        frameWatch_.stop();
    }
    if (isVisible() && size().grownBy(windowHandle()->frameMargins()) != centredFrame_) {
        centreWithFrame();
    }
}

bool TForm1::event(QEvent* event) {
    if (event->type() == QEvent::Show && !activatedBefore_) {
        // Until the frame arrives the window is centred on its client area alone.
        frameWatchesLeft_ = FrameWatches;
        frameWatch_.start(FrameWatchInterval, this);
    }
    const bool handled = QMainWindow::event(event);
    // Only the first activation counts: every later one is a return from one of the program's
    // modal windows or from another application, and neither is an activation of the form.
    if (event->type() == QEvent::WindowActivate && !activatedBefore_) {
        activatedBefore_ = true;
        runHandler([this] { FormActivate(); });
    }
    return handled;
}

void TForm1::FormActivate() {
    if (!FirstActivationDone) {
        // The splash window greets the user here, modally, before the directory is taken.
        std::error_code error;
        const std::filesystem::path current = std::filesystem::current_path(error);
        if (error) {
            // The directory is gone (or unreachable): "." still names the directory the
            // process works in, so the export looks where the engine does, and fails there
            // with its own message instead of reading from some other place.
            StartDir = ".";
            FirstActivationDone = true;
            throw Exception("Cannot read the current directory: " + error.message());
        }
        StartDir = current.string();
    }
    FirstActivationDone = true;
    RunQuery();
}

void TForm1::Zavt1Click() {
    close();
}

void TForm1::RunQuery() {
    quorvel::RunQuery(Query1, clauses_);
}

}  // namespace quorvel::ui
