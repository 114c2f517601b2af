// A window with the three bound edits and the memo on a real catalogue in a temporary
// directory, as the main window lays them out: Query1 and DataSource1 over the table, a button
// to take the focus, and helpers that type as a person does.
#pragma once

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "fields/DBEdit.h"
#include "fields/DBMemo.h"
#include "messages/DefaultErrorHandler.h"
#include "query/Cursor.h"
#include "recordset/DataSource.h"
#include "recordset/RecordSet.h"

namespace quorvel::ui::test {

struct Issue {
    std::string title, number, parts;
    std::optional<std::string> memo;
};

class BoundForm {
  public:
    explicit BoundForm(const std::vector<Issue>& issues) {
        schema::createTable(directory.path().toStdString());
        {
            Engine filler(directory.path().toStdString());
            auto cursor = Cursor::open(filler.database(), "select * from qv", true);
            for (const Issue& issue : issues) {
                RowData row;
                row.strings = {issue.title, issue.number, issue.parts};
                row.memo = issue.memo;
                row.memoChanged = row.memoLoaded = issue.memo.has_value();
                cursor->insertRow(row);
            }
        }
        Query1.AddSQL("select * from qv");
        Query1.Open();
        auto* layout = new QVBoxLayout(&window);
        const char* names[] = {"Vytisk", "Cislo", "Nejzajimavejsi_casti"};
        for (int i = 0; i < 3; ++i) {
            edits[i] = new DBEdit(&window);
            edits[i]->setDataSource(&DataSource1);
            edits[i]->setDataField(names[i]);
            layout->addWidget(edits[i]);
        }
        memo = new DBMemo(&window);
        memo->setDataSource(&DataSource1);
        memo->setDataField("Obsah_vytisku");
        layout->addWidget(memo);
        button = new QPushButton("Uložit", &window);
        layout->addWidget(button);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    std::string field(const char* name) { return Query1.FieldByName(name).AsString(); }

    // The table's value of a field in the first row, read by an engine of its own.
    std::string stored(int column) {
        Engine reader(directory.path().toStdString());
        auto rows = Cursor::open(reader.database(), "select * from qv", false)->readFirst(1);
        return rows.at(0).strings.at(static_cast<std::size_t>(column)).value_or("");
    }

    QTemporaryDir directory;
    std::unique_ptr<Engine> engine = std::make_unique<Engine>(directory.path().toStdString());
    RecordSet Query1{*engine, "Query1"};
    DataSource DataSource1{&Query1};
    QWidget window;
    DBEdit* edits[3] = {};
    DBMemo* memo = nullptr;
    QPushButton* button = nullptr;
};

// Types text character by character as key events carrying it (any Unicode character).
inline void typeText(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype units = text.at(i).isHighSurrogate() ? 2 : 1;
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text.mid(i, units));
        QApplication::sendEvent(widget, &press);
        i += units - 1;
    }
}

// Answers the next error box with OK, writing down its text.
inline void answerErrorBox(QString* text) {
    whenActive<QMessageBox>([text](QMessageBox* box) {
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace quorvel::ui::test
