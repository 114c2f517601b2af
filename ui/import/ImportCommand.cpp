#include "import/ImportCommand.h"

#include <QFileDialog>

#include <system_error>

#include "import/ImportOpenDialog.h"
#include "import/ImportPreviewDialog.h"
#include "import/ListImport.h"
#include "messages/MessageDialog.h"

namespace quorvel::ui {

ImportCommand::ImportCommand(QWidget& window) : QObject(&window), window_(window) {}

std::uint64_t ImportCommand::run(Database& catalogue, const std::filesystem::path& directory) {
    if (openDialog_ == nullptr) {
        openDialog_ = new ImportOpenDialog(&window_);
    }
    if (openDialog_->exec() != QDialog::Accepted) {
        return 0;
    }
    const std::filesystem::path file = openDialog_->selectedFiles().value(0).toStdString();
    // A pipe or a device would hold the window until it ends, which may be never.
    if (std::error_code error; !std::filesystem::is_regular_file(file, error)) {
        ShowMessageDialog(QStringLiteral("%1 není soubor se seznamem.")
                              .arg(QString::fromStdString(file.string())),
                          MsgDlgType::Error, MsgDlgBtn::OK);
        return 0;
    }
    if (isCatalogueFile(file, directory)) {
        ShowMessageDialog(QStringLiteral("Soubor %1 je soubor databáze, ne seznam.")
                              .arg(QString::fromStdString(file.string())),
                          MsgDlgType::Error, MsgDlgBtn::OK);
        return 0;
    }
    ImportPreviewDialog preview(file, &window_);
    if (preview.exec() != QDialog::Accepted) {
        return 0;
    }
    const ListImportResult result = importList(file, catalogue, directory, preview.options());
    if (!result.failure.isEmpty()) {
        ShowMessageDialog(result.failure, MsgDlgType::Error, MsgDlgBtn::OK);
    }
    return result.added;
}

}  // namespace quorvel::ui
