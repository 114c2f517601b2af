#include "report/HoldingsPage.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

#include "text/CzechPlural.h"

namespace quorvel {

namespace {

constexpr std::string_view style = R"(
@page { size: A4; margin: 14mm 12mm; }
body { font: 14px/1.4 "DejaVu Sans", "Liberation Sans", sans-serif; margin: 1.5em; color: #111; }
h1 { font-size: 1.6em; margin: 0 0 .2em; }
h2 { font-size: 1.2em; margin: 1.6em 0 .3em; }
.legend span, .chart td { display: inline-block; box-sizing: border-box; width: 16px; height: 16px;
  border: 1px solid #6b6b6b; background: #fff; vertical-align: middle; font-size: 9px;
  line-height: 14px; text-align: center; overflow: hidden; }
.chart td { display: table-cell; padding: 0; }
.legend span { margin: 0 .3em 0 1em; }
.chart .h, .legend .h { background: #2e7d32; border-color: #2e7d32; }
.chart .d, .legend .d { background: #0d3c8c; border-color: #0d3c8c; color: #fff; font-weight: bold; }
.chart .m, .legend .m { border-color: #c62828;
  background: repeating-linear-gradient(135deg, #c62828 0 2px, #fff 2px 5px); }
.chart { border-collapse: separate; border-spacing: 2px; }
.chart th { font-weight: normal; font-size: 10px; color: #444; padding: 0 4px 0 0; text-align: right; }
.chart thead th { text-align: center; padding: 0; }
.want { margin: .4em 0; }
.index { columns: 20em auto; column-gap: 2em; padding-left: 0; list-style-position: inside; }
.index li { break-inside: avoid; overflow-wrap: anywhere; }
.index small, .facts { color: #555; }
.other { color: #333; }
section.title { content-visibility: auto; contain-intrinsic-size: auto 400px; }
@media print {
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  body { margin: 0; font-size: 11px; }
  nav { break-after: page; }
  section.title { break-inside: avoid; content-visibility: visible; }
  h2 { break-after: avoid; }
  .chart { table-layout: fixed; border-spacing: 1px; }
  .chart td { width: 11px; height: 11px; font-size: 7px; line-height: 9px; }
  .chart th { font-size: 7px; padding: 0 2px 0 0; }
  a { color: inherit; text-decoration: none; }
}
)";

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
}

std::size_t heldCount(const TitleHoldings& title) {
    return static_cast<std::size_t>(
        std::count_if(title.counts.begin(), title.counts.end(), [](auto n) { return n > 0; }));
}

void appendFacts(std::string& out, const TitleHoldings& title) {
    if (title.yearCount > 0) {
        out += std::to_string(title.firstYear);
        if (title.yearCount > 1) {
            out += "\u2013" + std::to_string(title.lastYear());
        }
        const std::size_t held = heldCount(title);
        out += ": máme " + std::to_string(held) + ", chybí " +
               std::to_string(title.counts.size() - held);
    }
    if (!title.unread.empty()) {
        out += title.yearCount == 0 ? "" : "; ";
        out += czechCount(title.unread.size(), "jiné číslo", "jiná čísla", "jiných čísel");
    }
}

void appendChart(std::string& out, const TitleHoldings& title, std::size_t index) {
    const std::string name = shownTitle(title);
    out += "<section class=\"title\" id=\"t" + std::to_string(index) + "\">\n<h2>";
    appendEscaped(out, name);
    out += "</h2>\n<p class=\"facts\">" +
           czechCount(title.records, "záznam", "záznamy", "záznamů") + "; ";
    appendFacts(out, title);
    out += "</p>\n";
    if (title.yearCount > 0) {
        out += "<table class=\"chart\"><thead><tr><th scope=\"col\">Rok</th>";
        for (int n = 1; n <= title.highestNumber; ++n) {
            out += "<th scope=\"col\">" + std::to_string(n) + "</th>";
        }
        out += "</tr></thead>\n<tbody>\n";
        // Compact, as a thousand periodicals over fifty years make millions of cells: one class
        // letter, and the end tags HTML lets a cell and a row leave out. The section's heading
        // names the periodical, so a cell's title names its number and year.
        for (int year = title.firstYear; year <= title.lastYear(); ++year) {
            const std::string yearText = std::to_string(year);
            out += "<tr><th scope=row>" + yearText;
            for (int number = 1; number <= title.highestNumber; ++number) {
                const std::uint32_t count = title.count(year, number);
                out += count == 0   ? "<td class=m title=\""
                       : count == 1 ? "<td class=h title=\""
                                    : "<td class=d title=\"";
                out += std::to_string(number);
                out += '/';
                out += yearText;
                if (count == 0) {
                    out += ": chybí\">";
                } else if (count == 1) {
                    out += ": máme\">";
                } else {
                    out += ": máme ";
                    out += std::to_string(count);
                    out += "\u00d7\">";
                    out += std::to_string(count);
                }
            }
            out += '\n';
        }
        out += "</tbody></table>\n";
        const auto wanted = wantedByYear(title);
        if (!wanted.empty()) {
            out += "<p class=\"want\"><b>Chybí:</b> ";
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                out += i == 0 ? "" : "; ";
                out += std::to_string(wanted[i].first) + ": " + wanted[i].second;
            }
            out += "</p>\n";
        }
    }
    if (!title.unread.empty()) {
        out += "<p class=\"other\">Jiné: ";
        appendEscaped(out, shownUnread(title));
        out += "</p>\n";
    }
    out += "</section>\n";
}

void appendHead(std::string& out, std::string_view heading) {
    out +=
        "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width\">\n<title>";
    appendEscaped(out, heading);
    out += "</title>\n<style>";
    out += style;
    out += "</style>\n</head>\n<body>\n<h1>";
    appendEscaped(out, heading);
    out += "</h1>\n";
}

void appendLegend(std::string& out) {
    out +=
        "<p class=\"legend\"><span class=\"h\"></span>máme<span class=\"m\"></span>chybí"
        "<span class=\"d\">2</span>máme vícekrát</p>\n";
}

// The index of titles; target gives the link of the title at an index.
template <typename Target>
void appendIndex(std::string& out, const std::vector<TitleHoldings>& titles, Target target) {
    out += "<nav>\n<h2>Tiskopisy</h2>\n<ol class=\"index\">\n";
    for (std::size_t i = 0; i < titles.size(); ++i) {
        out += "<li><a href=\"" + target(i) + "\">";
        appendEscaped(out, shownTitle(titles[i]));
        out += "</a> <small>";
        appendFacts(out, titles[i]);
        out += "</small></li>\n";
    }
    out += "</ol>\n</nav>\n";
}

std::size_t cellsOf(const TitleHoldings& title) {
    return title.counts.size();
}

// A file name as the path of a link, in an attribute: bytes outside the unreserved set
// percent-encoded, which leaves nothing to escape.
std::string linkTo(std::string_view name) {
    constexpr std::string_view hex = "0123456789ABCDEF";
    std::string link;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
            (byte >= '0' && byte <= '9') || c == '-' || c == '_' || c == '.' || c == '~') {
            link += c;
        } else {
            link += '%';
            link += hex[byte >> 4];
            link += hex[byte & 15];
        }
    }
    return link;
}

// The first letter of a title as shown, as a capital.
std::string initialOf(const TitleHoldings& title) {
    const std::string shown = shownTitle(title);
    int32_t at = 0;
    UChar32 letter = 0;
    U8_NEXT(shown.data(), at, static_cast<int32_t>(shown.size()), letter);
    if (letter < 0) {
        return shown.substr(0, 1);
    }
    char capital[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool failed = false;
    U8_APPEND(capital, length, U8_MAX_LENGTH, u_toupper(letter), failed);
    return failed ? shown.substr(0, 1) : std::string(capital, static_cast<std::size_t>(length));
}

}  // namespace

std::string holdingsPageName(std::string_view first, std::size_t part) {
    if (part == 0) {
        return std::string(first);
    }
    std::string_view stem = first;
    for (const std::string_view extension : {".html", ".htm"}) {
        if (stem.size() > extension.size() && stem.ends_with(extension)) {
            stem.remove_suffix(extension.size());
            break;
        }
    }
    return std::string(stem) + "-" + std::to_string(part + 1) + ".html";
}

std::size_t writeHoldingsPages(
    const std::vector<TitleHoldings>& titles, std::string_view catalogue, std::string_view first,
    const std::function<void(const std::string& name, const std::string& text)>& write) {
    std::size_t cells = 0;
    for (const TitleHoldings& title : titles) {
        cells += cellsOf(title);
    }
    if (cells <= cellsPerPage) {
        write(holdingsPageName(first, 0), holdingsPage(titles, catalogue));
        return 1;
    }
    // The parts: the titles from each start on, in Czech order, up to cellsPerPage cells.
    std::vector<std::size_t> starts;
    std::vector<std::size_t> partOf(titles.size());
    for (std::size_t i = 0, inPart = 0; i < titles.size(); ++i) {
        if (starts.empty() || (inPart > 0 && inPart + cellsOf(titles[i]) > cellsPerPage)) {
            starts.push_back(i);
            inPart = 0;
        }
        inPart += cellsOf(titles[i]);
        partOf[i] = starts.size();
    }
    starts.push_back(titles.size());
    const std::size_t parts = starts.size() - 1;
    const auto label = [&](std::size_t part) {
        const std::string from = initialOf(titles[starts[part - 1]]);
        const std::string to = initialOf(titles[starts[part] - 1]);
        return "část " + std::to_string(part) + " z " + std::to_string(parts) + " (" + from +
               (from == to ? "" : "\u2013" + to) + ")";
    };
    const std::string index = linkTo(holdingsPageName(first, 0));

    std::string out;
    appendHead(out, "Přehled sbírky");
    out += "<p class=\"facts\">";
    appendEscaped(out, catalogue);
    out += " \u2013 " + czechCount(titles.size(), "tiskopis", "tiskopisy", "tiskopisů") +
           "; grafy na " + czechCount(parts, "stránce", "stránkách", "stránkách") + ":</p>\n<p>";
    for (std::size_t part = 1; part <= parts; ++part) {
        out += part == 1 ? "" : " \u00b7 ";
        out += "<a href=\"" + linkTo(holdingsPageName(first, part)) + "\">";
        appendEscaped(out, label(part));
        out += "</a>";
    }
    out += "</p>\n";
    appendLegend(out);
    appendIndex(out, titles, [&](std::size_t i) {
        return linkTo(holdingsPageName(first, partOf[i])) + "#t" + std::to_string(i + 1);
    });
    out += "</body>\n</html>\n";
    write(holdingsPageName(first, 0), out);

    for (std::size_t part = 1; part <= parts; ++part) {
        out.clear();
        appendHead(out, "Přehled sbírky \u2013 " + label(part));
        out += "<p class=\"facts\">";
        appendEscaped(out, catalogue);
        out += "</p>\n<p><a href=\"" + index + "\">Rejstřík</a>";
        if (part > 1) {
            out += " \u00b7 <a href=\"" + linkTo(holdingsPageName(first, part - 1)) + "\">";
            appendEscaped(out, label(part - 1));
            out += "</a>";
        }
        if (part < parts) {
            out += " \u00b7 <a href=\"" + linkTo(holdingsPageName(first, part + 1)) + "\">";
            appendEscaped(out, label(part + 1));
            out += "</a>";
        }
        out += "</p>\n";
        appendLegend(out);
        for (std::size_t i = starts[part - 1]; i < starts[part]; ++i) {
            appendChart(out, titles[i], i + 1);
        }
        out += "</body>\n</html>\n";
        write(holdingsPageName(first, part), out);
    }
    return parts + 1;
}

std::string holdingsPage(const std::vector<TitleHoldings>& titles, std::string_view catalogue) {
    std::string out;
    appendHead(out, "Přehled sbírky");
    out += "<p class=\"facts\">";
    appendEscaped(out, catalogue);
    out += " \u2013 " + czechCount(titles.size(), "tiskopis", "tiskopisy", "tiskopisů") + "</p>\n";
    appendLegend(out);
    appendIndex(out, titles, [](std::size_t i) { return "#t" + std::to_string(i + 1); });
    for (std::size_t i = 0; i < titles.size(); ++i) {
        appendChart(out, titles[i], i + 1);
    }
    out += "</body>\n</html>\n";
    return out;
}

}  // namespace quorvel
