#include "export/ExportSaveDialog.h"

#include <QFileInfo>
#include <QMessageBox>

#include "export/NameOnlyIconProvider.h"

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
    // Qt's own provider reads the catalogue's files whenever another copy commits beside them,
    // and each close of such a read drops the engine's locks. The provider holds no state and
    // lives as long as the program: the dialog's model asks it from a thread of its own, which
    // may still run while the dialog is taken apart.
    static NameOnlyIconProvider namesOnly;
    setIconProvider(&namesOnly);
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
