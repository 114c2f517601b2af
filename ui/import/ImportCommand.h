// "Importovat seznam…" from the user's choice to the rows added: the file dialog, the catalogue's
// own files and anything but a plain file turned away, the preview, and the import, with an error
// box for what failed. The main window runs its statement again afterwards.
#pragma once

#include <QObject>

#include <cstdint>
#include <filesystem>

class QFileDialog;
class QWidget;

namespace quorvel {
class Database;
}

namespace quorvel::ui {

class ImportCommand : public QObject {
    Q_OBJECT

  public:
    // The dialogs are window's; the file dialog is kept, so that it opens where it was left.
    explicit ImportCommand(QWidget& window);

    // Asks for a list and imports it into the catalogue in directory, which the window has open
    // as catalogue; returns the rows added, 0 when the user cancelled or the import failed (and
    // changed nothing).
    std::uint64_t run(Database& catalogue, const std::filesystem::path& directory);

  private:
    QWidget& window_;
    QFileDialog* openDialog_ = nullptr;
};

}  // namespace quorvel::ui
