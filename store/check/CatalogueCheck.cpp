#include "check/CatalogueCheck.h"

#include <algorithm>
#include <functional>
#include <string>

#include "EDBEngineError.h"
#include "check/IntegrityCheck.h"
#include "check/KeyCheck.h"
#include "check/MemoCheck.h"
#include "check/ProgramLimits.h"
#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"

namespace quorvel::check {

namespace {

// A step that SQLite can't take to its end (its pages too damaged to read, say) is itself a
// finding; the other steps still run.
void runStep(std::vector<CheckFinding>& findings, const char* file,
             const std::function<std::vector<CheckFinding>()>& step) {
    try {
        for (CheckFinding& finding : step()) {
            findings.push_back(std::move(finding));
        }
    } catch (const EDBEngineError& failure) {
        findings.push_back({file, 1,
                            std::string(file) + ": the check couldn't read it to the end: " +
                                failure.entries().front().text + "."});
    }
}

std::unique_ptr<CatalogueReadings> readingsOf(const std::filesystem::path& directory,
                                              const std::filesystem::path& scratch) {
    if (!CatalogueReadings::needed(directory)) {
        return nullptr;
    }
    try {
        return std::make_unique<CatalogueReadings>(directory, scratch);
    } catch (const std::filesystem::filesystem_error& failure) {
        // Files in WAL mode or with a journal are read from copies only.
        const bool full = files::isDiskFull(failure.code());
        const EngineCode code = full ? engine_code::diskFull : engine_code::ioError;
        throw EDBEngineError(
            code, {{code, 0,
                    "The copies the check reads from couldn't be made: " +
                        (full ? std::string("the disk is full") : failure.code().message()) + "."},
                   {code, 0, "File: " + failure.path1().string()}});
    }
}

bool mendableFindings(const std::vector<CheckFinding>& findings) {
    return std::any_of(findings.begin(), findings.end(),
                       [](const CheckFinding& finding) { return finding.mendable; });
}

}  // namespace

CatalogueCheck::CatalogueCheck(const std::filesystem::path& directory,
                               const std::filesystem::path& scratch)
    : readings_(readingsOf(directory, scratch)),
      connection_(readings_ ? readings_->asFound() : directory) {
    if (connection_.rowsReadable()) {
        rowsEstimate_ = estimateIntegrity(connection_.handle(), "main");
    }
    if (connection_.memoReadable()) {
        memoEstimate_ = estimateIntegrity(connection_.handle(), "mb");
    }
}

CatalogueCheck::CatalogueCheck(const std::filesystem::path& directory, AsItIs)
    : connection_(directory) {}

std::uint64_t CatalogueCheck::work() const {
    return rowsEstimate_.rows + memoEstimate_.rows +
           (connection_.isKeyed() ? rowsEstimate_.rows : 0);
}

std::vector<CheckFinding> CatalogueCheck::run(const CheckProgress& progress) {
    std::vector<CheckFinding> findings = runOnFiles(progress);
    if (readings_ && !readings_->journaled().empty()) {
        findings = judgeJournals(std::move(findings));
    }
    if (progress) {
        progress(work());
    }
    return findings;
}

std::vector<CheckFinding> CatalogueCheck::runOnFiles(const CheckProgress& progress) {
    sqlite3* db = connection_.handle();
    std::vector<CheckFinding> findings = connection_.findings();
    const std::uint64_t rowsUnits = rowsEstimate_.rows;
    const std::uint64_t memoUnits = memoEstimate_.rows;
    const auto damaged = [&findings](const char* file) {
        return std::any_of(findings.begin(), findings.end(),
                           [file](const CheckFinding& f) { return f.file == file; });
    };
    if (connection_.rowsReadable()) {
        runStep(findings, schema::rowsFileName, [&] {
            return checkIntegrity(db, "main", schema::rowsFileName, rowsEstimate_, 0, progress);
        });
    }
    if (connection_.memoReadable()) {
        runStep(findings, schema::memoFileName, [&] {
            return checkIntegrity(db, "mb", schema::memoFileName, memoEstimate_, rowsUnits,
                                  progress);
        });
    }
    if (connection_.isCatalogue()) {
        // The memo texts' rows are looked up in qv.db: damage met there is qv.db's.
        const char* blamed = damaged(schema::rowsFileName) && !damaged(schema::memoFileName)
                                 ? schema::rowsFileName
                                 : schema::memoFileName;
        runStep(findings, blamed, [&] { return checkMemoRows(db); });
    }
    if (connection_.isKeyed()) {
        runStep(findings, schema::rowsFileName,
                [&] { return checkSortKeys(db, rowsUnits, rowsUnits + memoUnits, progress); });
        runStep(findings, schema::rowsFileName, [&] { return checkProgramLimits(db); });
    }
    return findings;
}

// The two readings compared: the one kept is the one whose findings are told.
std::vector<CheckFinding> CatalogueCheck::judgeJournals(std::vector<CheckFinding> asFound) {
    std::vector<CheckFinding> rolledBack;
    std::string whyNot = readings_->rollbackFailure();
    if (readings_->rolledBack()) {
        rolledBack = CatalogueCheck(*readings_->rolledBack(), AsItIs{}).runOnFiles(nullptr);
        if (mendableFindings(rolledBack)) {
            whyNot = rolledBack.front().sentence;
        }
    }
    const bool soundAsFound = !mendableFindings(asFound);
    const bool soundRolledBack = whyNot.empty();
    if (soundAsFound && !soundRolledBack) {
        verdict_ = JournalVerdict::SetAside;
    } else if (soundAsFound && soundRolledBack) {
        const auto digest = contentDigest(readings_->asFound());
        verdict_ = digest && digest == contentDigest(*readings_->rolledBack())
                       ? JournalVerdict::RollIn
                       : JournalVerdict::KeepBoth;
    } else {
        verdict_ = soundRolledBack ? JournalVerdict::RollIn : JournalVerdict::NeitherSound;
    }
    std::vector<CheckFinding> findings;
    for (const std::string& file : readings_->journaled()) {
        const std::string journal = file + "-journal";
        std::string sentence = file + ": a change left unfinished (" + journal + " beside it)";
        switch (verdict_) {
            case JournalVerdict::SetAside:
                sentence = file + ": " + journal +
                           " beside it is no change of this catalogue's: rolled back, it would "
                           "leave the catalogue damaged (" +
                           whyNot +
                           "); left out, the catalogue is sound. The program would roll it in "
                           "when it next opens the catalogue; a repair sets it aside.";
                break;
            case JournalVerdict::KeepBoth:
                sentence +=
                    "; the catalogue is sound both with it rolled back and without it, "
                    "yet holds other rows each way. A repair keeps both.";
                break;
            case JournalVerdict::RollIn:
                sentence +=
                    "; rolled back, as the program will when it next opens the catalogue, "
                    "the catalogue is sound.";
                break;
            default:
                sentence +=
                    "; rolled back, as the program will when it next opens the catalogue, "
                    "the catalogue is still damaged" +
                    (whyNot.empty() ? std::string() : " (" + whyNot + ")") + ".";
        }
        findings.push_back({file, 1, sentence});
    }
    std::vector<CheckFinding>& kept =
        verdict_ == JournalVerdict::RollIn ||
                (verdict_ == JournalVerdict::NeitherSound && readings_->rolledBack())
            ? rolledBack
            : asFound;
    findings.insert(findings.end(), kept.begin(), kept.end());
    return findings;
}

}  // namespace quorvel::check
