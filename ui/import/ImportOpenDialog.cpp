#include "import/ImportOpenDialog.h"

#include "export/NameOnlyIconProvider.h"

namespace quorvel::ui {

ImportOpenDialog::ImportOpenDialog(QWidget* parent)
    : QFileDialog(parent, QStringLiteral("Importovat seznam")) {
    setObjectName(QStringLiteral("OpenDialog1"));
    // The widget form, the same on every desktop, so that it can be driven in tests.
    setOptions(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters({QStringLiteral("Seznamy (*.csv *.ods *.xlsx *.CSV *.ODS *.XLSX)"),
                    QStringLiteral("Všechny soubory (*)")});
    setSizeGripEnabled(true);
    // Qt's own provider would read qv.db whenever another copy commits beside it, and each close
    // of such a read drops the engine's locks (see NameOnlyIconProvider).
    static NameOnlyIconProvider namesOnly;
    setIconProvider(&namesOnly);
}

}  // namespace quorvel::ui
