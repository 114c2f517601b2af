#include "report/RepairReportText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quorvel::tools {

namespace {

// Ids named before the rest are only counted.
constexpr std::size_t mostNamed = 40;

std::string counted(std::uint64_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string rangeText(const repair::IdRange& range) {
    return range.first == range.last
               ? std::to_string(range.first)
               : std::to_string(range.first) + "-" + std::to_string(range.last);
}

// Ranges as "3, 7-9, 12", the first mostNamed of them.
std::string rangesText(const std::vector<repair::IdRange>& ranges) {
    std::string text;
    for (std::size_t i = 0; i < ranges.size() && i < mostNamed; ++i) {
        text += (i > 0 ? ", " : "") + rangeText(ranges[i]);
    }
    if (ranges.size() > mostNamed) {
        text += " and " + std::to_string(ranges.size() - mostNamed) + " more stretches";
    }
    return text;
}

// Sorted ids as ranges of consecutive ones.
std::string idsText(std::vector<std::int64_t> ids) {
    std::sort(ids.begin(), ids.end());
    std::vector<repair::IdRange> ranges;
    for (const std::int64_t id : ids) {
        if (!ranges.empty() && ranges.back().last + 1 == id) {
            ranges.back().last = id;
        } else if (ranges.empty() || ranges.back().last != id) {
            ranges.push_back({id, id});
        }
    }
    return rangesText(ranges);
}

void lines(std::string& text, const char* heading, const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    text += heading;
    for (const std::string& item : items) {
        text += "  " + item + "\n";
    }
}

std::string journalText(const repair::RepairReport& report) {
    switch (report.journal) {
        case check::JournalVerdict::SetAside:
            return "The journal beside the files was not theirs: it was set aside, not rolled "
                   "in; it is kept with the originals.\n";
        case check::JournalVerdict::KeepBoth:
            return "The catalogue is sound both with the journal beside it rolled back and "
                   "without it: it keeps the files as they were written; the catalogue with the "
                   "journal rolled back is kept whole in " +
                   (report.rolledBackKept.empty() ? report.originals.string() +
                                                        " (opened, it "
                                                        "rolls back)"
                                                  : report.rolledBackKept.string()) +
                   ".\n";
        case check::JournalVerdict::NeitherSound:
            return "The journal beside the files was rolled back, as the program would; read "
                   "either way the files were damaged. Without it they are kept with the "
                   "originals.\n";
        default:
            return {};
    }
}

}  // namespace

std::string repairReportText(const repair::RepairReport& report,
                             const std::filesystem::path& directory) {
    const std::string where = directory.string();
    std::string text;
    lines(text, "Removed what a repair that was stopped had left:\n", report.leftovers);
    std::vector<std::string> leftAsTheyAre;
    for (const check::CheckFinding& finding : report.found) {
        if (!finding.mendable) {
            leftAsTheyAre.push_back(finding.sentence);
        }
    }
    if (report.way == repair::RepairWay::NothingToDo) {
        lines(text, "Left as they are:\n", leftAsTheyAre);
        return text + "The catalogue in " + where + " is sound; nothing was changed.\n";
    }
    text += "The check found:\n";
    for (const check::CheckFinding& finding : report.found) {
        if (finding.mendable) {
            text += "  " + finding.sentence + "\n";
        }
    }
    text += "The files as they were are kept in " + report.originals.string() + ".\n";
    text += journalText(report);
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
        if (salvage.rowsDamage + salvage.memoDamage > 0) {
            text += "; damage met in " + counted(salvage.rowsDamage, "place", "places") +
                    " of qv.db and " + counted(salvage.memoDamage, "place", "places") + " of qv.mb";
        }
    }
    const std::uint64_t givenRows = report.way == repair::RepairWay::MendedInPlace
                                        ? report.inPlace.memosGivenRows
                                        : report.salvage.memosGivenRows;
    const std::vector<std::int64_t>& givenIds = report.way == repair::RepairWay::MendedInPlace
                                                    ? report.inPlace.memoIdsGivenRows
                                                    : report.salvage.memoIdsGivenRows;
    if (givenRows > 0) {
        text += "; " + counted(givenRows, "memo text", "memo texts") +
                (givenRows == 1 ? " without a row got a row" : " without a row each got a row") +
                " of its own, its fields empty (id " + idsText(givenIds) + ")";
    }
    text += ".\n";
    const repair::InPlaceResult& mended = report.inPlace;
    if (mended.rowsCommits != mended.memoCommits) {
        const bool rowsOlder = mended.rowsCommits < mended.memoCommits;
        text +=
            "qv.db and qv.mb were from different moments (" + std::to_string(mended.rowsCommits) +
            " and " + std::to_string(mended.memoCommits) + " changes of both files): " +
            (rowsOlder
                 ? "qv.db is the older, so rows added since have only their memo texts (the rows "
                   "given above), and any row deleted since is back, without its memo text."
                 : "qv.mb is the older, so the memo texts of the rows changed since are as "
                   "they were then, and those of rows added since are missing.") +
            " Both files now count " +
            std::to_string(std::max(mended.rowsCommits, mended.memoCommits)) +
            " changes; the files as they were are kept.\n";
    }
    const repair::SalvageResult& salvage = report.salvage;
    if (salvage.rowsFileMissing) {
        text += "qv.db was missing: the memo texts were kept, each with a row of its own.\n";
    }
    if (salvage.memoSchemaRebuilt) {
        text +=
            "qv.mb's first page, its header and schema, couldn't be read: it was made again "
            "from the schema the program gives the file, and the memo texts read through "
            "it.\n";
    }
    std::vector<std::string> kept;
    for (const std::string& column : salvage.columnsKept) {
        kept.push_back("qv.db: column " + column + " of qv, with its values");
    }
    kept.insert(kept.end(), salvage.objects.kept.begin(), salvage.objects.kept.end());
    lines(text, "Kept of what was added to the catalogue besides the program's own:\n", kept);
    std::vector<std::string> lost;
    if (salvage.memoUnreadable) {
        lost.push_back("every memo text: qv.mb couldn't be read as a memo file");
    }
    if (!salvage.rowsLostIds.empty()) {
        lost.push_back(counted(salvage.rowsLostIds.size(), "row", "rows") +
                       " known from the indexes or memo texts couldn't be read, ids " +
                       idsText(salvage.rowsLostIds));
    }
    if (!salvage.rowsUnread.empty()) {
        lost.push_back("rows of qv.db under damage, if there were any, with ids " +
                       rangesText(salvage.rowsUnread));
    }
    if (!salvage.memosUnread.empty()) {
        lost.push_back("memo texts of qv.mb under damage, if there were any, with ids " +
                       rangesText(salvage.memosUnread));
    }
    if (!salvage.memosReplaced.empty()) {
        lost.push_back("memo texts read twice, differently, the later kept: ids " +
                       idsText(salvage.memosReplaced));
    }
    if (!salvage.fieldsLostIds.empty()) {
        lost.push_back("the values of the user's columns of rows " +
                       idsText(salvage.fieldsLostIds));
    }
    for (const std::string& trigger : report.inPlace.triggersDropped) {
        lost.push_back(trigger + " (the program allows no trigger)");
    }
    lost.insert(lost.end(), salvage.objects.dropped.begin(), salvage.objects.dropped.end());
    if (!lost.empty()) {
        lines(text,
              ("Not in the catalogue now; the files as they were, in " + report.originals.string() +
               ", still hold what could be read of it:\n")
                  .c_str(),
              lost);
    }
    lines(text, "Left as they are:\n", leftAsTheyAre);
    bool unmended = false;
    for (const check::CheckFinding& finding : report.remaining) {
        unmended = unmended || finding.mendable;
    }
    if (!unmended) {
        text += "The catalogue in " + where + " is sound now" +
                (report.lostSomething() ? ", but not everything was kept (see above)" : "") + ".\n";
    } else {
        text += "The check still finds:\n";
        for (const check::CheckFinding& finding : report.remaining) {
            if (finding.mendable) {
                text += "  " + finding.sentence + "\n";
            }
        }
    }
    return text;
}

}  // namespace quorvel::tools
