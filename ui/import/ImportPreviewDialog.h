// The preview of "Importovat seznam…": how the chosen file reads (its encoding and delimiter,
// which the user may change for a CSV file; columns that name no field may be left out), which
// column fills which field, the first rows as they would be stored, every refused row with its
// reason, and the count. "Importovat" is offered only when the import would add every row; the
// dialog itself changes nothing.
#pragma once

#include <QDialog>

#include <filesystem>
#include <memory>

#include "import/ImportPreview.h"
#include "lists/CsvIssueReader.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListView;
class QPushButton;
class QTableWidget;

namespace quorvel::ui {

class ImportRefusalsModel;

class ImportPreviewDialog : public QDialog {
    Q_OBJECT

  public:
    // Reads file at once, its form guessed.
    explicit ImportPreviewDialog(std::filesystem::path file, QWidget* parent = nullptr);
    ~ImportPreviewDialog() override;

    // The options the preview was read with, for the import to read the file alike.
    tools::CsvReadOptions options() const;
    const ImportPreview& preview() const { return *preview_; }

  private:
    void buildControls();
    // Reads the file again with the options chosen, and shows what it found.
    void reload();
    void showForm();
    void showColumns();
    void showRows();
    void showCount();

    std::filesystem::path file_;
    std::unique_ptr<ImportPreview> preview_;
    QComboBox* encoding_ = nullptr;
    QComboBox* delimiter_ = nullptr;
    QCheckBox* ignoreExtra_ = nullptr;
    QLabel* form_ = nullptr;
    QTableWidget* columns_ = nullptr;
    QLabel* leftOut_ = nullptr;
    QTableWidget* rows_ = nullptr;
    QListView* refusals_ = nullptr;
    ImportRefusalsModel* refusalsModel_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* import_ = nullptr;
};

}  // namespace quorvel::ui
