#include "restore/BackupPair.h"

#include <string>
#include <system_error>
#include <vector>

#include "check/CatalogueCheck.h"
#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"
#include "restore/RestoreFailure.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"

namespace quorvel::restore {

namespace {

std::filesystem::path withSuffix(const std::filesystem::path& base, const char* suffix) {
    return std::filesystem::path(base.string() + suffix);
}

// The way to save what a backup holds that can't be restored as it is.
std::string repairAdvice(const BackupPair& pair) {
    return " Nothing was changed. To save what it holds, copy " + pair.rowsFile().string() +
           " and " + pair.memoFile().string() +
           " into a directory of their own as qv.db and qv.mb and run qvtool repair on that "
           "directory.";
}

}  // namespace

BackupPair::BackupPair(const std::filesystem::path& base) : base_(base) {
    for (const std::filesystem::path& file : {rowsFile(), memoFile()}) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(file, error);
        if (!std::filesystem::exists(status)) {
            throw RestoreFailure(file.string() +
                                 ": no such file; a backup is the two files NAME.db and NAME.mb. "
                                 "Nothing was changed.");
        }
        if (!std::filesystem::is_regular_file(status)) {
            throw RestoreFailure(file.string() + ": not a file. Nothing was changed.");
        }
        for (const char* log : {"-journal", "-wal"}) {
            const std::filesystem::path beside = file.string() + log;
            if (std::filesystem::is_regular_file(beside, error) &&
                std::filesystem::file_size(beside, error) > 0 && !error) {
                throw RestoreFailure(beside.string() +
                                     " lies beside the backup: its files were copied in the "
                                     "middle of a change and needn't be one committed version." +
                                     repairAdvice(*this));
            }
        }
    }
}

std::filesystem::path BackupPair::rowsFile() const {
    return withSuffix(base_, ".db");
}

std::filesystem::path BackupPair::memoFile() const {
    return withSuffix(base_, ".mb");
}

void BackupPair::stageInto(const std::filesystem::path& work) const {
    try {
        for (const auto& [from, name] : {std::pair{rowsFile(), schema::rowsFileName},
                                         std::pair{memoFile(), schema::memoFileName}}) {
            std::filesystem::copy_file(from, work / name);
            files::syncToDisk(work / name);
        }
        files::syncToDisk(work);
    } catch (const std::filesystem::filesystem_error& failure) {
        throw RestoreFailure(std::string("The backup couldn't be copied beside the catalogue: ") +
                             failure.what() + ". Nothing was changed.");
    }
}

BackupContents BackupPair::checkStaged(const std::filesystem::path& work) const {
    check::CatalogueCheck check(work);
    const std::vector<check::CheckFinding> findings = check.run(nullptr);
    if (!findings.empty()) {
        std::string text = "The backup " + base_.string() +
                           " is damaged or its two files are not one pair; the check of " +
                           rowsFile().filename().string() + " (as qv.db) and " +
                           memoFile().filename().string() + " (as qv.mb) found:";
        for (const check::CheckFinding& finding : findings) {
            text += "\n  " + finding.sentence;
        }
        throw RestoreFailure(text + "\n" + repairAdvice(*this).substr(1));
    }
    return countContents(work);
}

BackupContents countContents(const std::filesystem::path& directory) {
    sqlite::Connection connection(directory / schema::rowsFileName,
                                  {sqlite::Access::ReadOnly, 5000, {}});
    connection.attach(directory / schema::memoFileName, "mb", sqlite::Access::ReadOnly);
    sqlite3* db = connection.handle();
    BackupContents contents;
    sqlite::Transaction transaction(db, sqlite::Transaction::Kind::Read);
    sqlite::Statement rows(db, "SELECT count(*) FROM main.qv");
    contents.rows = rows.step() ? static_cast<std::uint64_t>(rows.integer(0)) : 0;
    rows.reset();
    sqlite::Statement memos(db, "SELECT count(*) FROM mb.memo");
    contents.memos = memos.step() ? static_cast<std::uint64_t>(memos.integer(0)) : 0;
    memos.reset();
    transaction.commit();
    return contents;
}

}  // namespace quorvel::restore
