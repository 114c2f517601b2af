// The main window, TForm1: the frame, the menu bar, the record set Query1 with its data source,
// and the clauses of the statement. It opens the table while it is built (Query1 is stored
// active), so a failure to open escapes its construction and start-up fails.
#pragma once

#include <QBasicTimer>
#include <QMainWindow>

#include <string>

#include "DataSource.h"
#include "Engine.h"
#include "RecordSet.h"
#include "StatementComposer.h"

class QAction;
class QMenu;

namespace quorvel::ui {

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
    const StatementClauses& clauses() const { return clauses_; }
    bool firstActivationDone() const { return FirstActivationDone; }
    const std::string& startDir() const { return StartDir; }

  protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    // Centres the window, frame included, on the primary screen; the frame counts once the
    // window manager has told it.
    void centreWithFrame();
    void buildMenu();
    void FormCreate();
    void FormActivate();
    void Zavt1Click();
    void RunQuery();

    // Declared first so it outlives the record set that uses it.
    Engine engine_;
    RecordSet Query1{engine_, "Query1"};
    DataSource DataSource1{&Query1};
    StatementClauses clauses_;
    bool FirstActivationDone = false;
    std::string StartDir;
    bool activatedBefore_ = false;

    // Looks for the window manager's frame for a while after the first show.
    static constexpr int FrameWatchInterval = 50;
    static constexpr int FrameWatches = 60;
    QBasicTimer frameWatch_;
    int frameWatchesLeft_ = 0;
    QSize centredFrame_;

    QMenu* Soubor1 = nullptr;
    QAction* Exportovatdatabzi1 = nullptr;
    QAction* Zavt1 = nullptr;
    QMenu* Npovda1 = nullptr;
    QAction* Npovda2 = nullptr;
    QAction* About1 = nullptr;
};

}  // namespace quorvel::ui
