#include "import/ListImport.h"

#include <QApplication>

#include <exception>
#include <mutex>
#include <system_error>

#include "EDBEngineError.h"
#include "engine/Database.h"
#include "import/ImportReasons.h"
#include "lists/CsvImport.h"

namespace quorvel::ui {

namespace {

const QString notImported =
    QStringLiteral("Seznam se nepodařilo importovat, databáze zůstala beze změny.");

// What failed, told in Czech where the program knows it; the engine's own text otherwise.
QString reasonOf(const EDBEngineError& error) {
    switch (error.errorCode()) {
        case engine_code::tableBusy:
            return QStringLiteral(
                "Databázi právě zapisuje jiný program. Zkuste to prosím znovu "
                "za chvíli.");
        case engine_code::readOnlyFile:
            return QStringLiteral("Do databáze nelze zapisovat.\n") +
                   QString::fromStdString(error.what());
        default:
            return QString::fromStdString(error.what());
    }
}

}  // namespace

bool isCatalogueFile(const std::filesystem::path& file, const std::filesystem::path& directory) {
    for (const char* name : {"qv.db", "qv.mb"}) {
        std::error_code error;
        if (std::filesystem::equivalent(file, directory / name, error)) {
            return true;
        }
    }
    return false;
}

ListImportResult importList(const std::filesystem::path& file, Database& catalogue,
                            const std::filesystem::path& directory,
                            const tools::CsvReadOptions& options) {
    ListImportResult result;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The import's connection is closed at its end, and on Linux closing a descriptor of a file
    // drops every POSIX lock the process holds on it: no count or check of the window's own
    // may read in the background meanwhile, so they wait for the connection they read on. The
    // window's connection holds no lock between commands.
    std::unique_lock<std::mutex> backgroundReads;
    try {
        backgroundReads = catalogue.holdBackgroundReads();
    } catch (const EDBEngineError&) {
        // Nothing reads in the background without that connection, and only this thread opens it.
    }
    try {
        tools::CsvImport import(file, directory, options);
        result.added = import.run([](std::uint64_t) {});
    } catch (const EDBEngineError& error) {
        result.failure = notImported + QLatin1Char('\n') + reasonOf(error);
    } catch (const std::exception& error) {
        result.failure = notImported + QStringLiteral("\n%1: %2")
                                           .arg(QString::fromStdString(file.string()),
                                                fileReason(error.what(), file));
    }
    QApplication::restoreOverrideCursor();
    return result;
}

}  // namespace quorvel::ui
