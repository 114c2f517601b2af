// SaveDialog1: the save dialog of the export. It asks for the base name of the copy; the export
// adds ".db" and ".mb" itself, so the dialog adds no extension, and it asks nothing about
// existing files, which the export overwrites. The chosen directory must exist: a name in a
// directory that doesn't keeps the dialog open with a word on why. Its list never opens a file:
// the catalogue's own lie in the directory it starts in.
#pragma once

#include <QFileDialog>

namespace quorvel::ui {

class ExportSaveDialog : public QFileDialog {
    Q_OBJECT

  public:
    explicit ExportSaveDialog(QWidget* parent = nullptr);

    void accept() override;
};

}  // namespace quorvel::ui
