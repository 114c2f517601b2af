#include "holdings/HoldingsPageSaving.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QSaveFile>

#include "messages/MessageDialog.h"

namespace quorvel::ui {

namespace {

// The text of the copy's failure; empty when it was made.
QString copyPage(const QString& page, const QString& target) {
    QFile source(page);
    if (!source.open(QIODevice::ReadOnly)) {
        return QStringLiteral("Přehled sbírky nelze přečíst z %1: %2")
            .arg(QDir::toNativeSeparators(page), source.errorString());
    }
    QSaveFile copy(target);
    if (!copy.open(QIODevice::WriteOnly)) {
        return QStringLiteral("Přehled sbírky nelze uložit do %1: %2")
            .arg(QDir::toNativeSeparators(target), copy.errorString());
    }
    // A page of a large catalogue is hundreds of megabytes: copied a piece at a time.
    constexpr qint64 piece = 1 << 20;
    while (!source.atEnd()) {
        const QByteArray bytes = source.read(piece);
        if (bytes.isEmpty() || copy.write(bytes) != bytes.size()) {
            copy.cancelWriting();
            const QString why = bytes.isEmpty() ? source.errorString() : copy.errorString();
            return QStringLiteral("Přehled sbírky nelze uložit do %1: %2")
                .arg(QDir::toNativeSeparators(target), why);
        }
    }
    if (!copy.commit()) {
        return QStringLiteral("Přehled sbírky nelze uložit do %1: %2")
            .arg(QDir::toNativeSeparators(target), copy.errorString());
    }
    return {};
}

}  // namespace

void offerToSaveHoldingsPage(QWidget* parent, const QString& page, const QString& reason) {
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
    const QString failure = copyPage(page, dialog.selectedFiles().front());
    if (!failure.isEmpty()) {
        ShowMessageDialog(failure, MsgDlgType::Error, MsgDlgBtn::OK);
    }
}

}  // namespace quorvel::ui
