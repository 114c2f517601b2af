#include "holdings/HoldingsPageSaving.h"

#include <QDir>
#include <QFileDialog>

#include "messages/MessageDialog.h"

namespace quorvel::ui {

void offerToSaveHoldingsPage(QWidget* parent, const QString& page, const QString& reason,
                             const std::function<QString(const QString& target)>& save) {
    const QString text = QStringLiteral(
                             "Prohlížeč přehled sbírky neotevřel: %1.\nPřehled je zapsán v %2.\n"
                             "Uložit ho jinam?")
                             .arg(reason, QDir::toNativeSeparators(page));
    if (ShowMessageDialog(text, MsgDlgType::Error, MsgDlgBtn::Yes | MsgDlgBtn::No) != ResultYes) {
        return;
    }
    // The widget form, the same on every desktop, as the export's.
    QFileDialog dialog(parent, QStringLiteral("Uložit přehled sbírky"),
                       QDir::homePath() + QStringLiteral("/prehled-sbirky.html"),
                       QStringLiteral("Stránky HTML (*.html *.htm)"));
    dialog.setObjectName(QStringLiteral("HoldingsSaveDialog"));
    dialog.setOptions(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString failure = save(dialog.selectedFiles().front());
    if (!failure.isEmpty()) {
        ShowMessageDialog(failure, MsgDlgType::Error, MsgDlgBtn::OK);
    }
}

}  // namespace quorvel::ui
