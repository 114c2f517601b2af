#include "Unit1.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include <filesystem>

#include "DefaultErrorHandler.h"

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
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

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

bool TForm1::event(QEvent* event) {
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
        StartDir = std::filesystem::current_path().string();
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
