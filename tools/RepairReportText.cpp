#include "RepairReportText.h"

#include <cstdint>

namespace quorvel::tools {

namespace {

std::string counted(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string repairReportText(const repair::RepairReport& report,
                             const std::filesystem::path& directory) {
    const std::string where = directory.string();
    if (report.way == repair::RepairWay::NothingToDo) {
        return "The catalogue in " + where + " is sound; nothing was changed.\n";
    }
    std::string text = "The check found:\n";
    for (const check::CheckFinding& finding : report.found) {
        text += "  " + finding.sentence + "\n";
    }
    text += "The files as they were are kept in " + report.originals.string() + ".\n";
    if (report.way == repair::RepairWay::MendedInPlace) {
        text += "Mended in place: the sort indexes built afresh, " +
                counted(report.inPlace.keysMade, "sort key", "sort keys") + " made from " +
                "their fields";
    } else {
        const repair::SalvageResult& salvage = report.salvage;
        text += "The files couldn't be mended in place (" + report.whyRebuilt +
                "), so a new catalogue was made of what could be read: " +
                counted(salvage.rowsKept, "row", "rows") + " and " +
                counted(salvage.memosKept, "memo text", "memo texts") + " kept";
        if (salvage.rowsLost > 0) {
            text += "; " + counted(salvage.rowsLost, "row", "rows") +
                    " known from the indexes or memo texts couldn't be read";
        }
        if (salvage.rowsDamage + salvage.memoDamage > 0) {
            text += "; damage met in " + counted(salvage.rowsDamage, "place", "places") +
                    " of qv.db and " + counted(salvage.memoDamage, "place", "places") + " of qv.mb";
        }
    }
    const std::uint64_t givenRows = report.way == repair::RepairWay::MendedInPlace
                                        ? report.inPlace.memosGivenRows
                                        : report.salvage.memosGivenRows;
    if (givenRows > 0) {
        text += "; " + counted(givenRows, "memo text", "memo texts") +
                (givenRows == 1 ? " without a row got a row" : " without a row each got a row") +
                " of its own, its fields empty";
    }
    text += ".\n";
    if (report.remaining.empty()) {
        text += "The catalogue in " + where + " is sound now.\n";
    } else {
        text += "The check still finds:\n";
        for (const check::CheckFinding& finding : report.remaining) {
            text += "  " + finding.sentence + "\n";
        }
    }
    return text;
}

}  // namespace quorvel::tools
