#include "holdings/HoldingsPageOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <memory>
#include <string>

#include "holdings/Holdings.h"
#include "report/HoldingsPage.h"

namespace quorvel::ui {

namespace {

// Enough of xdg-open's complaint to say why; a browser in the foreground may write far more.
constexpr qint64 reasonBytes = 4096;

QString cannotWrite(const QString& where, const QString& why) {
    return QStringLiteral("Přehled sbírky nelze zapsat do %1: %2")
        .arg(QDir::toNativeSeparators(where), why);
}

}  // namespace

HoldingsPageOpener::HoldingsPageOpener(QObject* parent) : QObject(parent) {}

HoldingsPageOpener::~HoldingsPageOpener() {
    // Only xdg-open's shell is stopped: a browser it started in the foreground goes on.
    for (QProcess* process : findChildren<QProcess*>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished();
    }
}

QString HoldingsPageOpener::keptPage() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/quorvel/prehled-sbirky.html");
}

QString HoldingsPageOpener::open(Database& database, const std::filesystem::path& catalogue) {
    const QString path = keptPage();
    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        return cannotWrite(directory, QStringLiteral("složku nelze vytvořit."));
    }
    QStringList written;
    if (const QString failure = writePages(database, catalogue, path, &written);
        !failure.isEmpty()) {
        return failure;
    }
    // The parts of a larger catalogue's last page that this one doesn't have.
    const QString stem = QFileInfo(path).completeBaseName();
    for (const QFileInfo& left :
         QDir(directory).entryInfoList({stem + QStringLiteral("-*.html")}, QDir::Files)) {
        if (!written.contains(left.absoluteFilePath())) {
            QFile::remove(left.absoluteFilePath());
        }
    }
    startBrowser(path);
    return {};
}

QString HoldingsPageOpener::save(Database& database, const std::filesystem::path& catalogue,
                                 const QString& target) {
    return writePages(database, catalogue, target, nullptr);
}

QString HoldingsPageOpener::writePages(Database& database, const std::filesystem::path& catalogue,
                                       const QString& first, QStringList* written) {
    const QDir directory = QFileInfo(first).absoluteDir();
    QString failure;
    writeHoldingsPages(readHoldings(database), std::filesystem::absolute(catalogue).string(),
                       QFileInfo(first).fileName().toStdString(),
                       [&](const std::string& name, const std::string& text) {
                           if (!failure.isEmpty()) {
                               return;
                           }
                           // Written beside and renamed over the last one, so that a browser
                           // still reading that never sees half of this.
                           const QString path =
                               directory.absoluteFilePath(QString::fromStdString(name));
                           QSaveFile file(path);
                           const auto size = static_cast<qint64>(text.size());
                           if (!file.open(QIODevice::WriteOnly) ||
                               file.write(text.data(), size) != size || !file.commit()) {
                               failure = cannotWrite(path, file.errorString());
                           } else if (written != nullptr) {
                               written->append(path);
                           }
                       });
    return failure;
}

void HoldingsPageOpener::startBrowser(const QString& page) {
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
            emit browserFailed(page, QStringLiteral("není zde xdg-open ani jiný způsob otevření"));
        }
        return;
    }
    auto* process = new QProcess(this);
    process->setStandardOutputFile(QProcess::nullDevice());
    // What it says is kept from the start, the rest read and dropped.
    auto said = std::make_shared<QByteArray>();
    connect(process, &QProcess::readyReadStandardError, this, [process, said] {
        const QByteArray more = process->readAllStandardError();
        said->append(more.left(std::max<qint64>(0, reasonBytes - said->size())));
    });
    connect(process, &QProcess::finished, this,
            [this, process, page, said](int exitCode, QProcess::ExitStatus status) {
                process->deleteLater();
                if (status == QProcess::NormalExit && exitCode == 0) {
                    return;
                }
                said->append(process->readAllStandardError().left(reasonBytes));
                const QString told =
                    QString::fromLocal8Bit(*said).trimmed().section(QLatin1Char('\n'), 0, 0);
                const QString reason =
                    status == QProcess::NormalExit
                        ? QStringLiteral("xdg-open skončil s kódem %1").arg(exitCode)
                        : QStringLiteral("xdg-open byl ukončen");
                emit browserFailed(page, told.isEmpty() ? reason : reason + " (" + told + ")");
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, page](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    process->deleteLater();
                    emit browserFailed(
                        page,
                        QStringLiteral("xdg-open nelze spustit (%1)").arg(process->errorString()));
                }
            });
    process->start(xdgOpen, {QUrl::fromLocalFile(page).toString()});
}

}  // namespace quorvel::ui
