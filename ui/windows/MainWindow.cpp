#include "windows/MainWindow.h"

#include <QAction>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

#include "Exceptions.h"
#include "FrameCentring.h"
#include "LayoutFont.h"
#include "PendingGeometry.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "export/CatalogueExport.h"
#include "export/ExportProgress.h"
#include "export/ExportSaveDialog.h"
#include "fields/DBEdit.h"
#include "fields/DBMemo.h"
#include "fields/FieldAccessibility.h"
#include "grid/DBGrid.h"
#include "grid/DBGridAccessible.h"
#include "holdings/HoldingsPageOpener.h"
#include "holdings/HoldingsPageSaving.h"
#include "import/ImportCommand.h"
#include "messages/DefaultErrorHandler.h"
#include "messages/MessageDialog.h"
#include "windows/AboutWindow.h"
#include "windows/HelpWindow.h"
#include "windows/SplashWindow.h"
#include "windows/UngreyedGroupBox.h"

namespace quorvel::ui {

namespace {

// Names a control of the stored layout and puts it at its place in its parent's client area.
template <typename Control>
Control* place(Control* control, const char* name, int left, int top, int width, int height) {
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

// A label of the edit group: sized to its text, 13 pixels high.
QLabel* label(QWidget* parent, const char* name, int left, int top, const QString& text) {
    auto* control = new QLabel(text, parent);
    return place(control, name, left, top, control->sizeHint().width(), 13);
}

}  // namespace

TForm1::TForm1()
    : QMainWindow(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                               Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quorvel 1.1"));
    setFont(layoutFont());
    setBackgroundRole(QPalette::Button);

    // The files, and the rows the grid first shows, are read while the controls are made; the
    // table's opening below waits for that. The grid shows about a dozen rows.
    constexpr int firstScreenRows = 32;
    engine_.startOpening(firstScreenRows);

    clientArea_.reset(new QWidget(this));
    QWidget* client = clientArea_.get();
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(ClientWidth, ClientHeight);
    client->setAutoFillBackground(true);
    client->setBackgroundRole(QPalette::Button);
    setCentralWidget(client);
    buildControls(client);
    buildMenu();
    holdingsOpener_ = new HoldingsPageOpener(this);
    importCommand_ = new ImportCommand(*this);
    wireHandlers();
    // Fixed single border: the frame takes exactly the client area and the menu bar, as high as
    // the window's layout will make it. That is the bar's height for the window's width, polished
    // for the screen, which on X is a pixel more than its size hint.
    menuBar()->ensurePolished();
    setFixedSize(ClientWidth, ClientHeight + menuBar()->heightForWidth(ClientWidth));
    new FrameCentring(*this, QGuiApplication::primaryScreen()->geometry());

    // Laid out now, while the opening may still be reading the files, rather than between the
    // window's show() and its first paint.
    deliverPendingGeometry(*this);
    // The stored layout holds Query1 active with live results requested: the table opens
    // here, before any handler of the window has run, and the controls show it at once.
    Query1.SetRequestLive(true);
    Query1.AddSQL("select * from qv");
    Query1.SetActive(true);
    FormCreate();
    DBGrid1->viewport()->installEventFilter(this);
}

TForm1::~TForm1() {
    // Closed while the window's controls are still there to hear it; the controls then go
    // with clientArea_, before the data source they observe.
    Query1.Close();
}

// Created in tab order, which is the order of the focus chain: the grid, then each group box
// with its controls.
void TForm1::buildControls(QWidget* client) {
    DBGridAccessible::install();  // the grid reads as a table
    DBGrid1 = place(new DBGrid(client), "DBGrid1", 8, 8, 721, 233);
    DBGrid1->setAccessibleName(QStringLiteral("Výtisky"));
    DBGrid1->setDataSource(&DataSource1);
    // Disabled while a sort order is chosen, yet drawn as usual.
    GroupBox1 = place(new UngreyedGroupBox(QStringLiteral("Editace:"), client), "GroupBox1", 8, 320,
                      721, 193);
    buildEditGroup();
    GroupBox2 = place(new QGroupBox(QStringLiteral("Seřadit podle:"), client), "GroupBox2", 8, 248,
                      121, 73);
    buildSortGroup();
    GroupBox3 = place(new QGroupBox(QStringLiteral("Zobrazit slova obsažená v:"), client),
                      "GroupBox3", 144, 248, 585, 73);
    buildSearchGroup();
}

void TForm1::buildEditGroup() {
    DBEdit1 = place(new DBEdit(GroupBox1), "DBEdit1", 16, 36, 305, 21);
    DBEdit2 = place(new DBEdit(GroupBox1), "DBEdit2", 16, 76, 305, 21);
    DBEdit3 = place(new DBEdit(GroupBox1), "DBEdit3", 16, 116, 305, 21);
    DBMemo1 = place(new DBMemo(GroupBox1), "DBMemo1", 336, 24, 377, 161);
    const std::pair<DBEdit*, const char*> edits[] = {
        {DBEdit1, "Vytisk"}, {DBEdit2, "Cislo"}, {DBEdit3, "Nejzajimavejsi_casti"}};
    for (const auto& [edit, field] : edits) {
        edit->setDataSource(&DataSource1);
        edit->setDataField(QString::fromLatin1(field));
    }
    DBMemo1->setDataSource(&DataSource1);
    DBMemo1->setDataField(QStringLiteral("Obsah_vytisku"));
    Button1 =
        place(new QPushButton(QStringLiteral("Nový záznam"), GroupBox1), "Button1", 8, 160, 75, 25);
    Button2 = place(new QPushButton(QStringLiteral("Smazat záznam z DATABÁZE"), GroupBox1),
                    "Button2", 168, 160, 161, 25);
    Button3 =
        place(new QPushButton(QStringLiteral("Uložit"), GroupBox1), "Button3", 88, 160, 75, 25);
    // A screen reader names each field after its label.
    const std::pair<QLabel*, QWidget*> labelled[] = {
        {label(GroupBox1, "Label1", 336, 8, QStringLiteral("Obsah výtisku:")), DBMemo1},
        {label(GroupBox1, "Label2", 16, 24, QStringLiteral("*Tiskopis: (50)")), DBEdit1},
        {label(GroupBox1, "Label3", 16, 64, QStringLiteral("Číslo výtisku/rok: (15)")), DBEdit2},
        {label(GroupBox1, "Label4", 16, 104, QStringLiteral("Nejzajímavější části: (150)")),
         DBEdit3}};
    for (const auto& [fieldLabel, field] : labelled) {
        FieldAccessibility::nameAfterLabel(*fieldLabel, *field);
    }
}

void TForm1::buildSortGroup() {
    RadioButton1 = place(new QRadioButton(QStringLiteral("Neřadit"), GroupBox2), "RadioButton1", 16,
                         16, 73, 17);
    RadioButton2 = place(new QRadioButton(QStringLiteral("Čísla výtisku"), GroupBox2),
                         "RadioButton2", 16, 48, 89, 17);
    RadioButton3 = place(new QRadioButton(QStringLiteral("Tiskopisu"), GroupBox2), "RadioButton3",
                         16, 32, 73, 17);
    RadioButton1->setChecked(true);
}

void TForm1::buildSearchGroup() {
    RadioButton4 = place(new QRadioButton(QStringLiteral("Názvu časopisu"), GroupBox3),
                         "RadioButton4", 8, 24, 105, 17);
    RadioButton5 = place(new QRadioButton(QStringLiteral("Označení časopisu"), GroupBox3),
                         "RadioButton5", 8, 48, 113, 17);
    RadioButton6 = place(new QRadioButton(QStringLiteral("Nejzajímavějších částech"), GroupBox3),
                         "RadioButton6", 128, 24, 153, 17);
    RadioButton7 = place(new QRadioButton(QStringLiteral("Obsahu výtisku"), GroupBox3),
                         "RadioButton7", 128, 48, 113, 17);
    RadioButton4->setChecked(true);
    Edit1 = place(new QLineEdit(GroupBox3), "Edit1", 296, 16, 265, 21);
    Edit1->setAccessibleName(QStringLiteral("Hledaný text"));  // it has no label
    // The whole text typed is the pattern, however long.
    Edit1->setMaxLength(std::numeric_limits<int>::max());
    Button4 = place(new QPushButton(QStringLiteral("Zobrazit hledané"), GroupBox3), "Button4", 296,
                    40, 105, 25);
    Button5 = place(new QPushButton(QStringLiteral("Zobrazit celou databázi"), GroupBox3),
                    "Button5", 432, 40, 129, 25);
}

void TForm1::buildMenu() {
    Soubor1 = menuBar()->addMenu(QStringLiteral("&Program"));
    Soubor1->setObjectName(QStringLiteral("Soubor1"));
    Exportovatdatabzi1 = Soubor1->addAction(QStringLiteral("&Exportovat databázi"));
    Exportovatdatabzi1->setObjectName(QStringLiteral("Exportovatdatabzi1"));
    Importovatseznam1 = Soubor1->addAction(QStringLiteral("&Importovat seznam…"));
    Importovatseznam1->setObjectName(QStringLiteral("Importovatseznam1"));
    Pehledsbrky1 = Soubor1->addAction(QStringLiteral("&Přehled sbírky…"));
    Pehledsbrky1->setObjectName(QStringLiteral("Pehledsbrky1"));
    Zavt1 = Soubor1->addAction(QStringLiteral("&Zavřít"));
    Zavt1->setObjectName(QStringLiteral("Zavt1"));

    Npovda1 = menuBar()->addMenu(QStringLiteral("&Nápověda"));
    Npovda1->setObjectName(QStringLiteral("Npovda1"));
    Npovda2 = Npovda1->addAction(QStringLiteral("Ná&pověda"));
    Npovda2->setObjectName(QStringLiteral("Npovda2"));

    About1 = menuBar()->addAction(QStringLiteral("&About .."));
    About1->setObjectName(QStringLiteral("About1"));
}

// Every handler runs through runHandler, so a failure that escapes it reaches the default
// error handler and the program goes on.
void TForm1::wireHandlers() {
    const auto onClick = [this](QPushButton* button, void (TForm1::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
    };
    onClick(Button1, &TForm1::Button1Click);
    onClick(Button2, &TForm1::Button2Click);
    onClick(Button3, &TForm1::Button3Click);
    onClick(Button4, &TForm1::Button4Click);
    onClick(Button5, &TForm1::Button5Click);

    // A sort handler runs only when its button becomes checked.
    const auto onChecked = [this](QRadioButton* button, void (TForm1::*handler)()) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked) {
                runHandler([this, handler] { (this->*handler)(); });
            }
        });
    };
    onChecked(RadioButton1, &TForm1::RadioButton1Click);
    onChecked(RadioButton2, &TForm1::RadioButton2Click);
    onChecked(RadioButton3, &TForm1::RadioButton3Click);

    const auto onTriggered = [this](QAction* action, void (TForm1::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { runHandler([this, handler] { (this->*handler)(); }); });
    };
    onTriggered(Exportovatdatabzi1, &TForm1::Exportovatdatabzi1Click);
    onTriggered(Importovatseznam1, &TForm1::Importovatseznam1Click);
    onTriggered(Pehledsbrky1, &TForm1::Pehledsbrky1Click);
    onTriggered(Zavt1, &TForm1::Zavt1Click);
    onTriggered(Npovda2, &TForm1::Npovda2Click);
    onTriggered(About1, &TForm1::About1Click);

    // The browser's answer comes after Pehledsbrky1Click has returned.
    connect(holdingsOpener_, &HoldingsPageOpener::browserFailed, this,
            [this](const QString& page, const QString& reason) {
                runHandler([this, &page, &reason] {
                    offerToSaveHoldingsPage(this, page, reason, [this](const QString& target) {
                        return holdingsOpener_->save(engine_.database(), StartDir, target);
                    });
                });
            });
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
        // The splash and the query of the first activation come after the first screen is
        // painted, never before it: until then the paint runs them.
        if (rowsPainted_) {
            runHandler([this] { FormActivate(); });
        }
    }
    return handled;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Paint && watched == DBGrid1->viewport()) {
        watched->removeEventFilter(this);
        rowsPainted_ = true;
        // Once this paint is done: the sort indexes are checked while the user reads the first
        // screen, which never waits for that check; the first sort does, if it comes sooner.
        QTimer::singleShot(
            0, this, [this] { runHandler([this] { engine_.database().startSortIndexCheck(); }); });
        if (activatedBefore_) {
            // The first activation came before these rows and waits for them.
            QTimer::singleShot(0, this, [this] { runHandler([this] { FormActivate(); }); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::FormActivate() {
    if (!FirstActivationDone) {
        showSplash();
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

void TForm1::Button1Click() {
    try {
        Query1.Append();
    } catch (const std::exception&) {
        ShowError(QStringLiteral("Nepodařilo se vložit záznam do databáze!"));
    }
}

void TForm1::Button3Click() {
    if (schema::titleMissing(DBEdit1->text().toStdString())) {
        ShowError(QStringLiteral("Nebyl zadán tiskopis! Záznam nebude uložen."));
        return;
    }
    // Save with nothing typed has nothing to post and says nothing. Any other failure of the
    // post goes on to the default error handler, with the record still in its editing state
    // and everything typed kept.
    const DataSetState state = Query1.State();
    if (state != DataSetState::Edit && state != DataSetState::Insert) {
        return;
    }
    Query1.Post();
}

void TForm1::Button2Click() {
    if (ShowMessageDialog(QStringLiteral("Opravdu chcete odstranit vybraný záznam?"),
                          MsgDlgType::Confirmation, MsgDlgBtn::Yes | MsgDlgBtn::No) != ResultYes) {
        return;
    }
    try {
        Query1.Delete();
    } catch (const std::exception&) {
        ShowError(QStringLiteral("Nepodařilo se smazat záznam z databáze!"));
    }
}

void TForm1::Button4Click() {
    const std::pair<QRadioButton*, SearchField> forms[] = {
        {RadioButton4, SearchField::Title},
        {RadioButton5, SearchField::IssueNumber},
        {RadioButton6, SearchField::InterestingParts},
        {RadioButton7, SearchField::Contents}};
    for (const auto& [button, field] : forms) {
        if (button->isChecked()) {
            clauses_.FilterClause = searchClause(field, Edit1->text().toStdString());
            RunQuery();
            return;
        }
    }
}

void TForm1::Button5Click() {
    clauses_.FilterClause.clear();
    RunQuery();
}

void TForm1::RadioButton1Click() {
    sortBy(SortOrder::Unsorted);
}

void TForm1::RadioButton2Click() {
    sortBy(SortOrder::ByIssueNumber);
}

void TForm1::RadioButton3Click() {
    sortBy(SortOrder::ByTitle);
}

// A failing statement ends the handler before the edit group changes.
void TForm1::sortBy(SortOrder order) {
    clauses_.OrderClause = orderClause(order);
    RunQuery();
    GroupBox1->setEnabled(allowsEditing(order));
}

void TForm1::Exportovatdatabzi1Click() {
    if (SaveDialog1 == nullptr) {
        SaveDialog1 = new ExportSaveDialog(this);
    }
    if (SaveDialog1->exec() != QDialog::Accepted) {
        return;
    }
    const std::string base = SaveDialog1->selectedFiles().value(0).toStdString();
    CatalogueExport exporter(engine_.database());
    for (const std::string& text : exportWithProgress(*this, exporter, StartDir, base)) {
        ShowError(QString::fromStdString(text));
    }
}

// The rows of a list the user keeps; the grid then runs its statement again, so the new rows show
// in its order and filter. A failure has changed nothing, and the grid stays as it was.
void TForm1::Importovatseznam1Click() {
    // The import ends with a new statement, which drops a pending change: a change typed is
    // kept, and the user asked to save it first.
    if (const DataSetState state = Query1.State();
        state == DataSetState::Edit || state == DataSetState::Insert) {
        Query1.UpdateRecord();
        if (Query1.Modified()) {
            ShowError(
                QStringLiteral("Rozepsaný záznam není uložen. Uložte ho prosím a pak seznam "
                               "importujte."));
            return;
        }
    }
    if (importCommand_->run(engine_.database(), StartDir) == 0) {
        return;
    }
    RunQuery();
    // Unsorted, the rows added come last, in the file's order: the last of them is shown.
    if (clauses_.OrderClause.empty()) {
        Query1.Last();
    }
}

void TForm1::Pehledsbrky1Click() {
    const QString failure = holdingsOpener_->open(engine_.database(), StartDir);
    if (!failure.isEmpty()) {
        ShowError(failure);
    }
}

void TForm1::Zavt1Click() {
    close();
}

void TForm1::Npovda2Click() {
    showHelp();
}

void TForm1::About1Click() {
    showAbout();
}

void TForm1::RunQuery() {
    quorvel::RunQuery(Query1, clauses_);
}

void TForm1::ShowError(const QString& text) {
    ShowMessageDialog(text, MsgDlgType::Error, MsgDlgBtn::OK);
}

}  // namespace quorvel::ui
