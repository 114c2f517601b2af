// A catalogue in a temporary directory with Query1 and DataSource1 over it, and an observer
// that writes down every notice, for the record set's tests.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "TempCatalogue.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "query/Cursor.h"
#include "recordset/DataSource.h"
#include "recordset/Field.h"
#include "recordset/RecordSet.h"

namespace quorvel::testing {

struct Issue {
    std::string title;
    std::string number;
    std::string parts;
    std::string memo;
};

// Adds rows through a cursor of their own engine, so the set under test starts cold.
inline void addRows(const std::filesystem::path& directory, const std::vector<Issue>& issues) {
    Engine engine(directory);
    auto cursor = Cursor::open(engine.database(), "select * from qv", true);
    for (const Issue& issue : issues) {
        RowData row;
        row.strings = {issue.title, issue.number, issue.parts};
        row.memo = issue.memo;
        row.memoChanged = true;
        cursor->insertRow(row);
    }
}

inline std::vector<Issue> numberedIssues(int count, const std::string& prefix = "Titul") {
    std::vector<Issue> issues;
    for (int i = 1; i <= count; ++i) {
        issues.push_back({prefix + " " + std::to_string(i), std::to_string(i) + "/1999",
                          "části " + std::to_string(i), "obsah " + std::to_string(i)});
    }
    return issues;
}

// Notices as short words: "state", "rows", "scroll 3", "record", "field Vytisk", "update".
class NoticeRecorder : public DataSetObserver {
  public:
    std::vector<std::string> notices;
    void stateChanged() override { notices.push_back("state"); }
    void rowsChanged() override { notices.push_back("rows"); }
    void scrolled(int distance) override {
        notices.push_back("scroll " + std::to_string(distance));
    }
    void recordChanged() override { notices.push_back("record"); }
    void fieldChanged(const Field& field) override {
        notices.push_back("field " + field.FieldName());
    }
    void updateRecord() override { notices.push_back("update"); }
    void numberingChanged() override { notices.push_back("numbering"); }
    void focusField(const Field& field) override {
        notices.push_back("focus " + field.FieldName());
    }
    std::vector<std::string> take() { return std::exchange(notices, {}); }
};

class RecordSetTest : public ::testing::Test {
  protected:
    void SetUp() override { schema::createTable(dir.path()); }

    // Opens Query1 over the table with the given lines (by default "select * from qv").
    void open(const std::vector<std::string>& lines = {"select * from qv"}) {
        set.ClearSQL();
        for (const std::string& line : lines) {
            set.AddSQL(line);
        }
        set.Open();
        recorder.take();
    }

    std::string title() { return set.FieldByName("Vytisk").AsString(); }

    // The titles of the rows held, the current one marked with ">".
    std::vector<std::string> window() {
        std::vector<std::string> titles;
        const Field& field = set.FieldByName("Vytisk");
        for (int i = 0; i < set.HeldRowCount(); ++i) {
            titles.push_back((i == set.ActiveRecord() ? ">" : "") + field.textIn(set.HeldRow(i)));
        }
        return titles;
    }

    // The titles in stored order, read behind the engine's back.
    std::vector<std::string> storedTitles() {
        std::vector<std::string> titles;
        for (const auto& row :
             PlainConnection(dir.path()).rows("SELECT coalesce(vytisk, '') FROM qv ORDER BY id")) {
            titles.push_back(row.front());
        }
        return titles;
    }

    // Runs statements on the table behind the engine's back.
    void execute(const std::string& sql) {
        PlainConnection connection(dir.path());
        ASSERT_EQ(connection.exec(sql), SQLITE_OK) << connection.lastError();
    }

    TempDir dir;
    Engine engine{dir.path()};
    RecordSet set{engine};
    DataSource source{&set};
    NoticeRecorder recorder;

  public:
    RecordSetTest() { source.addObserver(&recorder); }
};

}  // namespace quorvel::testing
