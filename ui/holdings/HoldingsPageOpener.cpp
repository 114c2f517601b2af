#include "holdings/HoldingsPageOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <string>

#include "holdings/Holdings.h"
#include "holdings/HoldingsPage.h"

namespace quorvel::ui {

QString openHoldingsPage(Database& database, const std::filesystem::path& catalogue) {
    const std::string page =
        holdingsPage(readHoldings(database), std::filesystem::absolute(catalogue).string());
    // Qt gives no temporary directory at all when TMPDIR names one that doesn't exist.
    const QString directory = QDir::tempPath();
    if (directory.isEmpty() || !QFileInfo(directory).isDir()) {
        const QString named = directory.isEmpty() ? qEnvironmentVariable("TMPDIR") : directory;
        return QStringLiteral("Přehled sbírky nelze zapsat do %1: složka neexistuje.")
            .arg(QDir::toNativeSeparators(named));
    }
    QTemporaryFile file(directory + QStringLiteral("/quorvel-prehled-XXXXXX.html"));
    file.setAutoRemove(false);
    if (!file.open()) {
        return QStringLiteral("Přehled sbírky nelze zapsat do %1: %2")
            .arg(QDir::toNativeSeparators(directory), file.errorString());
    }
    const QString path = file.fileName();
    const auto size = static_cast<qint64>(page.size());
    if (file.write(page.data(), size) != size || !file.flush()) {
        const QString reason = file.errorString();
        file.remove();
        return QStringLiteral("Přehled sbírky nelze zapsat do %1: %2").arg(path, reason);
    }
    file.close();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        return QStringLiteral("Přehled sbírky je zapsán v %1, ale prohlížeč ho neotevřel.")
            .arg(path);
    }
    return {};
}

}  // namespace quorvel::ui
