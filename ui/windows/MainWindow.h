// The main window, TForm1: the grid of records, the sort and search groups, the edit group with
// the bound fields and the record commands, and the menu bar. It places the controls, wires
// their handlers and holds the statement's clauses; the behaviour itself is the record set's,
// the composer's and the bound controls'. It opens the table while it is built (Query1 is
// stored active), so a failure to open escapes its construction and start-up fails.
#pragma once

#include <QMainWindow>

#include <memory>
#include <string>

#include "engine/Engine.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"
#include "recordset/StatementComposer.h"

class QAction;
class QFileDialog;
class QGroupBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;

namespace quorvel::ui {

class DBEdit;
class DBGrid;
class DBMemo;
class HoldingsPageOpener;
class ImportCommand;

class TForm1 : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window from its layout, opens Query1 with "select * from qv", then runs
    // FormCreate. Throws what opening the table throws; nothing is shown then.
    TForm1();
    ~TForm1() override;

    // The window's stored measures.
    static constexpr int ClientWidth = 738;
    static constexpr int ClientHeight = 521;

    RecordSet& query() { return Query1; }
    Engine& engine() { return engine_; }
    const StatementClauses& clauses() const { return clauses_; }
    bool firstActivationDone() const { return FirstActivationDone; }
    bool firstScreenPainted() const { return rowsPainted_; }  // the grid has painted its rows
    const std::string& startDir() const { return StartDir; }

  protected:
    bool event(QEvent* event) override;
    // Watches the grid for its first paint: the first screen is up then.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls(QWidget* client);
    void buildEditGroup();
    void buildSortGroup();
    void buildSearchGroup();
    void buildMenu();
    void wireHandlers();

    void FormCreate();
    void FormActivate();
    void Button1Click();  // New
    void Button2Click();  // Delete
    void Button3Click();  // Save
    void Button4Click();  // search
    void Button5Click();  // show all
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioButton3Click();
    void Exportovatdatabzi1Click();
    void Importovatseznam1Click();
    void Pehledsbrky1Click();  // the collection's overview in the browser
    void Zavt1Click();
    void Npovda2Click();
    void About1Click();

    void RunQuery();
    // The sort handlers' common part: a failing statement ends it before the edit group
    // changes.
    void sortBy(SortOrder order);
    void ShowError(const QString& text);

    // Declared first so it outlives the record set that uses it.
    Engine engine_;
    RecordSet Query1{engine_, "Query1"};
    DataSource DataSource1{&Query1};
    // The client area with every control in it. Declared after the data source, so the
    // controls go first, also when the table fails to open while the window is built.
    std::unique_ptr<QWidget> clientArea_;
    StatementClauses clauses_;
    bool FirstActivationDone = false;
    bool rowsPainted_ = false;  // the grid has painted its first rows
    std::string StartDir;
    bool activatedBefore_ = false;

    DBGrid* DBGrid1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    DBEdit* DBEdit1 = nullptr;
    DBEdit* DBEdit2 = nullptr;
    DBEdit* DBEdit3 = nullptr;
    DBMemo* DBMemo1 = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QRadioButton* RadioButton5 = nullptr;
    QRadioButton* RadioButton6 = nullptr;
    QRadioButton* RadioButton7 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QPushButton* Button4 = nullptr;
    QPushButton* Button5 = nullptr;
    QFileDialog* SaveDialog1 = nullptr;
    HoldingsPageOpener* holdingsOpener_ = nullptr;
    ImportCommand* importCommand_ = nullptr;

    QMenu* Soubor1 = nullptr;
    QAction* Exportovatdatabzi1 = nullptr;
    QAction* Importovatseznam1 = nullptr;
    QAction* Pehledsbrky1 = nullptr;
    QAction* Zavt1 = nullptr;
    QMenu* Npovda1 = nullptr;
    QAction* Npovda2 = nullptr;
    QAction* About1 = nullptr;
};

}  // namespace quorvel::ui
