#include "report/RestoreReportText.h"

#include <cstdint>

namespace quorvel::tools {

namespace {

std::string counted(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

bool restoreSucceeded(const restore::RestoreReport& report) {
    return report.remaining.empty() && report.restored.rows == report.backup.rows &&
           report.restored.memos == report.backup.memos;
}

std::string restoreReportText(const restore::RestoreReport& report,
                              const std::filesystem::path& base,
                              const std::filesystem::path& directory) {
    const std::string where = directory.string();
    std::string text;
    if (!report.leftovers.empty()) {
        text += "Removed what a repair or restore that was stopped had left:\n";
        for (const std::string& leftover : report.leftovers) {
            text += "  " + leftover + "\n";
        }
    }
    if (report.kept.empty()) {
        text += "There was no catalogue in " + where + " to keep.\n";
    } else {
        text += "The catalogue's files as they were are kept in " + report.kept.string() + ".\n";
    }
    if (report.way == restore::InstallWay::Renames && !report.kept.empty()) {
        text += "The old files couldn't take the backup in one commit (" + report.whyRenamed +
                "), so the backup's files were renamed into their place.\n";
    }
    if (!report.remaining.empty()) {
        text += "The check finds the restored catalogue in " + where + " damaged:\n";
        for (const check::CheckFinding& finding : report.remaining) {
            text += "  " + finding.sentence + "\n";
        }
        return text;
    }
    text += "Restored " + counted(report.restored.rows, "row", "rows") + " and " +
            counted(report.restored.memos, "memo text", "memo texts") + " from " + base.string() +
            " into " + where + ".\n";
    if (!restoreSucceeded(report)) {
        text += "The backup held " + counted(report.backup.rows, "row", "rows") + " and " +
                counted(report.backup.memos, "memo text", "memo texts") + ".\n";
    } else {
        text += "The catalogue in " + where + " is sound.\n";
    }
    return text;
}

}  // namespace quorvel::tools
