#include "fields/EditMenu.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace quorvel::ui {

namespace {

QString withShortcut(const QString& text, QKeySequence::StandardKey key) {
    const QString shortcut = QKeySequence(key).toString(QKeySequence::NativeText);
    return shortcut.isEmpty() ? text : text + QLatin1Char('\t') + shortcut;
}

}  // namespace

QMenu* createEditMenu(QWidget* parent, const EditMenuCommands& commands,
                      const std::function<bool()>& startChange) {
    auto* menu = new QMenu(parent);
    const auto add = [menu](const QString& text, bool enabled, std::function<void()> command) {
        QAction* action = menu->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, std::move(command));
    };
    const auto changing = [&startChange](const std::function<void()>& command) {
        return [startChange, command] {
            if (startChange()) {
                command();
            }
        };
    };
    const bool change = commands.changeAllowed;
    add(withShortcut(QObject::tr("&Undo"), QKeySequence::Undo), change && commands.canUndo,
        changing(commands.undo));
    add(withShortcut(QObject::tr("&Redo"), QKeySequence::Redo), change && commands.canRedo,
        changing(commands.redo));
    menu->addSeparator();
    add(withShortcut(QObject::tr("Cu&t"), QKeySequence::Cut), change && commands.hasSelection,
        changing(commands.cut));
    add(withShortcut(QObject::tr("&Copy"), QKeySequence::Copy), commands.hasSelection,
        commands.copy);
    add(withShortcut(QObject::tr("&Paste"), QKeySequence::Paste), change && commands.canPaste,
        changing(commands.paste));
    add(QObject::tr("Delete"), change && commands.hasSelection, changing(commands.deleteSelection));
    menu->addSeparator();
    add(withShortcut(QObject::tr("Select All"), QKeySequence::SelectAll), commands.hasText,
        commands.selectAll);
    return menu;
}

}  // namespace quorvel::ui
