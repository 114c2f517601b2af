// The file dialog of "Importovat seznam…": a list kept as CSV or as a spreadsheet's workbook
// (.ods, .xlsx). Which it is is told later from the file's content, so any file may be chosen.
// Its list never opens a file: the catalogue's own lie in the directory it may show.
#pragma once

#include <QFileDialog>

namespace quorvel::ui {

class ImportOpenDialog : public QFileDialog {
    Q_OBJECT

  public:
    explicit ImportOpenDialog(QWidget* parent = nullptr);
};

}  // namespace quorvel::ui
