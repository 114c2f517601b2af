// What the main window's command tests share: a catalogue of known rows in a temporary working
// directory, the window opened as the program opens it (its splash closed by the close box at
// once), and the user's hands: clicks on controls, typed text, answers to message boxes.
#pragma once

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include <unistd.h>
#include <filesystem>
#include <string>
#include <vector>

#include "../ui/UiTestSupport.h"
#include "engine/CatalogueSchema.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "messages/MessageDialogWindow.h"
#include "query/Cursor.h"
#include "recordset/RecordSet.h"
#include "windows/MainWindow.h"
#include "windows/SplashWindow.h"

namespace quorvel::ui::test {

struct Issue {
    std::string title;
    std::string number;
    std::string parts;
    std::string contents;
};

// A temporary directory made the working directory for one test, removed afterwards.
class WorkingDirectory {
  public:
    WorkingDirectory() {
        char pattern[] = "/tmp/quorvel-commands-XXXXXX";
        path_ = ::mkdtemp(pattern);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~WorkingDirectory() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline void makeCatalogue(const std::filesystem::path& directory,
                          const std::vector<Issue>& issues) {
    schema::createTable(directory);
    Engine engine(directory);
    auto cursor = Cursor::open(engine.database(), "select * from qv", true);
    for (const Issue& issue : issues) {
        RowData row;
        row.strings = {issue.title, issue.number, issue.parts};
        row.memo = issue.contents;
        row.memoLoaded = true;
        row.memoChanged = true;
        cursor->insertRow(row);
    }
}

// The titles of the table as another engine reads them, in natural order.
inline QStringList storedTitles(const std::filesystem::path& directory) {
    Engine engine(directory);
    RecordSet set(engine, "Check");
    set.AddSQL("select * from qv");
    set.Open();
    QStringList titles;
    for (; !set.IsEmpty() && titles.size() < 1000; set.MoveBy(1)) {
        titles << QString::fromStdString(set.FieldByName("Vytisk").AsString());
        if (set.IsLast()) {
            break;
        }
    }
    return titles;
}

// The titles of the window's result from its first row on; the current row stays where it was.
inline QStringList resultTitles(RecordSet& set) {
    QStringList titles;
    if (!set.Active() || set.IsEmpty()) {
        return titles;
    }
    int before = 0;
    for (; !set.IsFirst(); ++before) {
        set.MoveBy(-1);
    }
    for (;;) {
        titles << QString::fromStdString(set.FieldByName("Vytisk").AsString());
        if (set.IsLast()) {
            break;
        }
        set.MoveBy(1);
    }
    set.MoveBy(before - static_cast<int>(titles.size()) + 1);
    return titles;
}

template <typename Control = QWidget>
Control* control(const TForm1& form, const char* name) {
    auto* found = form.findChild<Control*>(QString::fromLatin1(name));
    Q_ASSERT_X(found != nullptr, "control", name);
    return found;
}

// Shows the window as the program does; its splash is closed by its close box as soon as it is
// up. Returns when the first statement has run.
inline void openWindow(TForm1& form) {
    whenActive<TForm2>([](TForm2* splash) { splash->windowHandle()->close(); });
    form.show();
    form.activateWindow();
    QTRY_VERIFY(form.firstActivationDone() && form.query().SQL().size() == 3);
    QTRY_VERIFY(form.isActiveWindow());
}

inline void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

// Types text as key events carrying it, so that Czech letters arrive as typed.
inline void type(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(widget, &release);
    }
}

// Alt+P opens "&Program", E chooses "&Exportovat databázi".
inline void openExportByKeys(TForm1& form) {
    // As the window manager does when the last dialog has gone.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_P, Qt::AltModifier);
    auto* menu = form.findChild<QMenu*>("Soubor1");
    QTRY_VERIFY(menu->isVisible());
    QTest::keyClick(menu, Qt::Key_E);
}

// Types base into the save dialog's name and presses Save.
inline void enterName(QFileDialog* dialog, const std::filesystem::path& base) {
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    QVERIFY(name != nullptr);
    name->clear();
    QTest::keyClicks(name, QString::fromStdString(base.string()));
    // A name that exists opens the completer's list; Escape closes the list alone.
    if (QWidget* completions = QApplication::activePopupWidget()) {
        QTest::keyClick(completions, Qt::Key_Escape);
    }
    dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
}

// What a message box showed and how it was answered.
struct Answered {
    QStringList texts;
};

// Answers the next message dialogs in turn, each by pressing its button of buttons ("Yes",
// "No", "OK"), or by closing it for an empty name; records their texts.
inline void answerDialogs(Answered& answered, QStringList buttons) {
    whenActive<TMessageForm>([&answered, buttons](TMessageForm* dialog) {
        answered.texts << dialog->message();
        const QString button = buttons.value(0);
        if (button.isEmpty()) {
            dialog->windowHandle()->close();
        } else {
            dialog->findChild<QPushButton*>(button)->click();
        }
        if (buttons.size() > 1) {
            answerDialogs(answered, buttons.mid(1));
        }
    });
}

// Answers the default error handler's box with OK; records its text.
inline void answerErrorHandler(Answered& answered) {
    whenActive<QMessageBox>([&answered](QMessageBox* box) {
        answered.texts << box->text();
        box->button(QMessageBox::Ok)->click();
    });
}

}  // namespace quorvel::ui::test
