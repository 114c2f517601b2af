#include "report/HoldingsReport.h"

#include <algorithm>
#include <array>
#include <string>

#include "csv/CsvTargetFile.h"
#include "csv/CsvWriter.h"
#include "report/HoldingsPage.h"
#include "text/CzechPlural.h"
#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

// The texts that don't read as written, for a CSV field.
std::string unreadTexts(const TitleHoldings& title) {
    std::string text;
    for (std::size_t i = 0; i < title.unread.size(); ++i) {
        text += (i == 0 ? "" : "; ") + title.unread[i];
    }
    return text;
}

// Pads text with spaces to width characters.
std::string padded(const std::string& text, std::size_t width) {
    const std::size_t length = utf8::length(text);
    return text + std::string(width > length ? width - length : 0, ' ');
}

}  // namespace

void writeHoldingsText(std::ostream& out, const std::vector<TitleHoldings>& titles,
                       std::string_view catalogue) {
    std::uint64_t records = 0;
    for (const TitleHoldings& title : titles) {
        records += title.records;
    }
    out << "Přehled sbírky v " << catalogue << ": "
        << czechCount(titles.size(), "tiskopis", "tiskopisy", "tiskopisů") << ", "
        << czechCount(records, "záznam", "záznamy", "záznamů") << "\n";
    for (const TitleHoldings& title : titles) {
        out << "\n"
            << shownTitle(title) << " ("
            << czechCount(title.records, "záznam", "záznamy", "záznamů") << ")\n";
        if (title.yearCount > 0) {
            std::vector<std::array<std::string, 4>> lines{{"Rok", "Máme", "Chybí", "Vícekrát"}};
            for (int year = title.firstYear; year <= title.lastYear(); ++year) {
                const std::string held = numberRanges(title.held(year));
                lines.push_back({std::to_string(year), held.empty() ? "\u2013" : held,
                                 numberRanges(title.missing(year)),
                                 numberRanges(title.heldTwiceOrMore(year))});
            }
            std::array<std::size_t, 4> widths{};
            for (const auto& line : lines) {
                for (std::size_t c = 0; c < widths.size(); ++c) {
                    widths[c] = std::max(widths[c], utf8::length(line[c]));
                }
            }
            for (const auto& line : lines) {
                std::string text = "  ";
                for (std::size_t c = 0; c < line.size(); ++c) {
                    text += c + 1 < line.size() ? padded(line[c], widths[c] + 2) : line[c];
                }
                while (!text.empty() && text.back() == ' ') {
                    text.pop_back();
                }
                out << text << "\n";
            }
        }
        if (!title.unread.empty()) {
            out << "  Jiné: " << shownUnread(title) << "\n";
        }
    }
}

void writeWantList(std::ostream& out, const std::vector<TitleHoldings>& titles) {
    for (const TitleHoldings& title : titles) {
        for (const auto& [year, numbers] : wantedByYear(title)) {
            out << shownTitle(title) << " " << year << ": " << numbers << "\n";
        }
    }
}

void writeHoldingsCsv(const std::filesystem::path& target,
                      const std::vector<TitleHoldings>& titles) {
    CsvTargetFile file(target);
    CsvWriter writer(file);
    const std::array<std::string_view, 6> header{"Vytisk", "Rok",      "Mame",
                                                 "Chybi",  "Vicekrat", "Jine"};
    writer.write(header);
    for (const TitleHoldings& title : titles) {
        for (int year = title.firstYear; year <= title.lastYear(); ++year) {
            const std::string yearText = std::to_string(year);
            const std::string held = numberRanges(title.held(year));
            const std::string missing = numberRanges(title.missing(year));
            const std::string twice = numberRanges(title.heldTwiceOrMore(year));
            const std::array<std::string_view, 6> fields{title.title, yearText, held,
                                                         missing,     twice,    ""};
            writer.write(fields);
        }
        if (!title.unread.empty()) {
            const std::string unread = unreadTexts(title);
            const std::array<std::string_view, 6> fields{title.title, "", "", "", "", unread};
            writer.write(fields);
        }
    }
    writer.flush();
    file.commit();
}

std::size_t writeHoldingsPages(const std::filesystem::path& target,
                               const std::vector<TitleHoldings>& titles,
                               std::string_view catalogue) {
    std::vector<std::filesystem::path> written;
    try {
        return quorvel::writeHoldingsPages(titles, catalogue, target.filename().string(),
                                           [&](const std::string& name, const std::string& text) {
                                               const std::filesystem::path path =
                                                   target.parent_path() / name;
                                               CsvTargetFile file(path);
                                               file.write(text);
                                               file.commit();
                                               written.push_back(path);
                                           });
    } catch (...) {
        // All of the pages or none: their links lead to each other.
        for (const std::filesystem::path& path : written) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
        throw;
    }
}

}  // namespace quorvel::tools
