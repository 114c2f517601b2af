#include "ExportSaveDialog.h"

#include <QFileInfo>
#include <QMessageBox>

namespace quorvel::ui {

ExportSaveDialog::ExportSaveDialog(QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Uložit seznam do adresáře")) {
    setObjectName(QStringLiteral("SaveDialog1"));
    // The widget form, the same on every desktop, so that it can be driven in tests.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::DontConfirmOverwrite);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setNameFilter(QStringLiteral("Databázové soubory (*.db *.mb)"));
    setSizeGripEnabled(true);
}

void ExportSaveDialog::accept() {
    const QString chosen = selectedFiles().value(0);
    const QFileInfo target(chosen);
    if (!chosen.isEmpty() && !target.isDir() && !target.absoluteDir().exists()) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Adresář %1 neexistuje.").arg(target.absolutePath()));
        return;
    }
    QFileDialog::accept();
}

}  // namespace quorvel::ui
