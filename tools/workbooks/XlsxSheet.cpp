#include "workbooks/XlsxSheet.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include "text/Utf8.h"
#include "workbooks/XmlScan.h"

namespace quorvel::tools {

namespace {

using xml::attribute;
using xml::Tag;
using xml::tagAt;

std::string entry(const orcus::zip_archive& archive, std::string_view name, bool needed) {
    std::vector<unsigned char> bytes;
    if (!archive.read_file_entry(name, bytes)) {
        if (needed) {
            throw std::runtime_error("the workbook has no " + std::string(name));
        }
        return {};
    }
    return std::string(bytes.begin(), bytes.end());
}

bool hex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// text with Excel's escapes _xHHHH_ read as the characters they stand for.
std::string unescaped(const std::string& text) {
    if (text.find("_x") == std::string::npos) {
        return text;
    }
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && hex(text[i + 2]) &&
            hex(text[i + 3]) && hex(text[i + 4]) && hex(text[i + 5]) && text[i + 6] == '_') {
            std::uint32_t c = 0;
            std::from_chars(text.data() + i + 2, text.data() + i + 6, c, 16);
            utf8::append(result, c);
            i += 6;
        } else {
            result += text[i];
        }
    }
    return result;
}

// The text of the element whose start tag ends at from, up to its end tag named name: the
// content of its <t> elements, but for phonetic runs (<rPh>). Moves from past the end tag.
std::string runText(std::string_view text, std::size_t& from, std::string_view name) {
    std::string result;
    bool inT = false;
    int phonetic = 0;
    for (;;) {
        const std::size_t lt = text.find('<', from);
        if (lt == std::string::npos) {
            throw std::runtime_error("a part of the workbook ends inside a text");
        }
        if (inT && phonetic == 0) {
            xml::appendDecoded(result, text.substr(from, lt - from));
        }
        const Tag tag = tagAt(text, lt);
        from = tag.end;
        if (tag.closing && tag.name == name) {
            return unescaped(result);
        }
        if (tag.name == "rPh" && !tag.selfClosing) {
            phonetic += tag.closing ? -1 : 1;
        } else if (tag.name == "t") {
            inT = !tag.closing && !tag.selfClosing;
        }
    }
}

// Whether a number format code shows a date: a day or year outside quoted text, brackets and
// escapes. Built-in formats come without a code: 14-22 and 45-47 are the dates and times.
bool dateCode(std::string_view code) {
    bool quoted = false;
    bool bracket = false;
    bool escaped = false;
    for (const char c : code) {
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '[' || c == ']')) {
            bracket = c == '[';
        } else if (!quoted && !bracket && (c == 'd' || c == 'D' || c == 'y' || c == 'Y')) {
            return true;
        }
    }
    return false;
}

std::string shownNumber(double value) {
    char text[40];
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        for (int digits = 1; digits <= 17; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, value);
            if (std::strtod(text, nullptr) == value) {
                break;
            }
        }
    }
    std::string shown = text;
    for (char& c : shown) {
        c = c == '.' ? ',' : c;
    }
    return shown;
}

// The civil date of a count of days from 1.1.1970.
void civil(std::int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shifted = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * shifted + 2) / 5 + 1);
    month = static_cast<int>(shifted < 10 ? shifted + 3 : shifted - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// A date serial as shown: day 1 is 1.1.1900 (or 2.1.1904), and 60 the 29.2.1900 that the 1900
// system counts though it never was.
std::string shownDate(double serial, bool date1904) {
    if (!(serial >= 0 && serial < 3e6)) {
        return shownNumber(serial);
    }
    const auto minutes = static_cast<std::int64_t>(serial * 24 * 60 + 0.5);  // serial >= 0
    std::int64_t days = minutes / (24 * 60);
    const std::int64_t minuteOfDay = minutes % (24 * 60);
    int year = 1900;
    int month = 2;
    int day = 29;
    if (date1904 || days != 60) {
        // Days from 1.1.1970: the 1900 system's day 0 is 31.12.1899 before its false leap day.
        days += date1904 ? -24107 : days < 60 ? -25568 : -25569;
        civil(days, year, month, day);
    }
    char text[48];
    if (minuteOfDay == 0) {
        std::snprintf(text, sizeof text, "%d.%d.%d", day, month, year);
    } else {
        std::snprintf(text, sizeof text, "%d.%d.%d %d:%02d", day, month, year,
                      static_cast<int>(minuteOfDay / 60), static_cast<int>(minuteOfDay % 60));
    }
    return text;
}

// The column of a cell reference ("B3" is 1), or nullopt.
std::optional<std::size_t> columnOf(std::string_view reference) {
    std::size_t column = 0;
    std::size_t letters = 0;
    for (const char c : reference) {
        if (c < 'A' || c > 'Z') {
            break;
        }
        column = column * 26 + static_cast<std::size_t>(c - 'A' + 1);
        ++letters;
    }
    if (letters == 0 || letters > 3) {
        return std::nullopt;
    }
    return column - 1;
}

std::uint64_t number(const std::string& text) {
    std::uint64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

XlsxSheet::XlsxSheet(const std::filesystem::path& path, const std::optional<std::string>& sheet) {
    try {
        orcus::zip_archive_stream_fd stream(path.c_str());
        orcus::zip_archive archive(&stream);
        archive.load();
        const std::string workbook = entry(archive, "xl/workbook.xml", true);
        const std::string relations = entry(archive, "xl/_rels/workbook.xml.rels", true);
        // The sheets in order, each with the relation that names its part.
        std::vector<std::pair<std::string, std::string>> sheets;
        for (std::size_t at = workbook.find('<'); at != std::string::npos;) {
            const Tag tag = tagAt(workbook, at);
            if (tag.name == "sheet" && !tag.closing) {
                sheets.emplace_back(attribute(tag.attributes, "name"),
                                    attribute(tag.attributes, "r:id"));
            } else if (tag.name == "workbookPr") {
                const std::string value = attribute(tag.attributes, "date1904");
                date1904_ = value == "1" || value == "true";
            }
            at = workbook.find('<', tag.end);
        }
        if (sheets.empty()) {
            throw std::runtime_error("the workbook has no sheet");
        }
        const auto chosen = std::find_if(
            sheets.begin(), sheets.end(),
            [&sheet](const auto& candidate) { return !sheet || candidate.first == *sheet; });
        if (chosen == sheets.end()) {
            std::string names;
            for (const auto& candidate : sheets) {
                names += std::string(names.empty() ? "" : ", ") + "\"" + candidate.first + "\"";
            }
            throw std::runtime_error("the workbook has no sheet \"" + *sheet + "\", only " + names);
        }
        name_ = chosen->first;
        std::string target;
        for (std::size_t at = relations.find('<'); at != std::string::npos;) {
            const Tag tag = tagAt(relations, at);
            if (tag.name == "Relationship" && attribute(tag.attributes, "Id") == chosen->second) {
                target = attribute(tag.attributes, "Target");
            }
            at = relations.find('<', tag.end);
        }
        target = target.starts_with('/') ? target.substr(1) : "xl/" + target;

        const std::string strings = entry(archive, "xl/sharedStrings.xml", false);
        for (std::size_t at = strings.find("<si"); at != std::string::npos;
             at = strings.find("<si", at)) {
            const Tag tag = tagAt(strings, at);
            at = tag.end;
            if (tag.name != "si") {
                continue;
            }
            shared_.push_back(tag.selfClosing ? std::string() : runText(strings, at, "si"));
        }

        const std::string styles = entry(archive, "xl/styles.xml", false);
        std::map<std::size_t, bool> dateFormats;
        bool inCellFormats = false;
        for (std::size_t at = styles.find('<'); at != std::string::npos;) {
            const Tag tag = tagAt(styles, at);
            if (tag.name == "numFmt" && !tag.closing) {
                dateFormats[number(attribute(tag.attributes, "numFmtId"))] =
                    dateCode(attribute(tag.attributes, "formatCode"));
            } else if (tag.name == "cellXfs") {
                inCellFormats = !tag.closing && !tag.selfClosing;
            } else if (tag.name == "xf" && !tag.closing && inCellFormats) {
                const std::size_t id = number(attribute(tag.attributes, "numFmtId"));
                const auto known = dateFormats.find(id);
                dateStyles_.push_back(known != dateFormats.end()
                                          ? known->second
                                          : (id >= 14 && id <= 22) || (id >= 45 && id <= 47));
            }
            at = styles.find('<', tag.end);
        }
        if (!archive.read_file_entry(target, bytes_)) {
            throw std::runtime_error("the workbook has no " + target);
        }
        xml_ = std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
    } catch (const std::runtime_error&) {
        throw;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("can't be read as xlsx (") + error.what() + ")");
    }
    begin_ = pos_ = xml_.find("<sheetData");
    end_ = xml_.find("</sheetData>");
    if (begin_ == std::string::npos || end_ == std::string::npos) {
        begin_ = pos_ = end_ = 0;  // a sheet without data
    }
}

double XlsxSheet::progress() const {
    return end_ > begin_ ? static_cast<double>(pos_ - begin_) / static_cast<double>(end_ - begin_)
                         : 1.0;
}

bool XlsxSheet::next(std::vector<std::string>& cells, std::uint64_t& row, std::size_t mostCells,
                     bool& hasMore) {
    mostCells_ = mostCells;
    while (!rowPending_ && emptyAhead_ == 0) {
        if (!readRow()) {
            return false;
        }
    }
    cells.clear();
    hasMore = false;
    if (emptyAhead_ > 0) {
        row = rowNumber_ - emptyAhead_--;
        return true;
    }
    cells = row_;
    hasMore = rowHasMore_;
    row = rowNumber_;
    rowPending_ = false;
    return true;
}

std::string XlsxSheet::cellText(std::string_view type, std::size_t style, const std::string& value,
                                const std::string& inlineText) const {
    if (type == "s") {
        const std::uint64_t index = number(value);
        if (value.empty() || index >= shared_.size()) {
            throw std::runtime_error("a cell names a shared string the workbook hasn't");
        }
        return shared_[index];
    }
    if (type == "inlineStr") {
        return inlineText;
    }
    if (type == "str" || type == "e") {
        return unescaped(value);
    }
    if (type == "b") {
        return value.empty() ? "" : value == "1" ? "PRAVDA" : "NEPRAVDA";
    }
    if (value.empty()) {
        return {};
    }
    if (type == "d") {  // an ISO 8601 date
        int year = 0;
        int month = 0;
        int day = 0;
        if (std::sscanf(value.c_str(), "%d-%d-%d", &year, &month, &day) == 3) {
            return std::to_string(day) + "." + std::to_string(month) + "." + std::to_string(year);
        }
        return value;
    }
    const double serial = std::strtod(value.c_str(), nullptr);
    return style < dateStyles_.size() && dateStyles_[style] ? shownDate(serial, date1904_)
                                                            : shownNumber(serial);
}

bool XlsxSheet::readRow() {
    for (;;) {
        const std::size_t lt = xml_.find('<', pos_);
        if (lt == std::string::npos || lt >= end_) {
            pos_ = end_;
            return false;
        }
        const Tag tag = tagAt(xml_, lt);
        pos_ = tag.end;
        if (tag.name != "row" || tag.closing) {
            continue;
        }
        const std::string given = attribute(tag.attributes, "r");
        const std::uint64_t number = given.empty() ? rowNumber_ + 1 : tools::number(given);
        if (number > rowNumber_ + 1) {
            emptyAhead_ += number - rowNumber_ - 1;  // rows the file leaves out are empty
        }
        rowNumber_ = number;
        row_.clear();
        rowHasMore_ = false;
        std::size_t column = 0;
        while (!tag.selfClosing) {
            const std::size_t at = xml_.find('<', pos_);
            if (at == std::string::npos || at >= end_) {
                throw std::runtime_error("the sheet ends inside a row");
            }
            const Tag cell = tagAt(xml_, at);
            pos_ = cell.end;
            if (cell.closing && cell.name == "row") {
                break;
            }
            if (cell.name != "c" || cell.closing) {
                continue;
            }
            column = columnOf(attribute(cell.attributes, "r")).value_or(column);
            const std::string type = attribute(cell.attributes, "t");
            const std::size_t style =
                static_cast<std::size_t>(tools::number(attribute(cell.attributes, "s")));
            std::string value;
            std::string inlineText;
            while (!cell.selfClosing) {
                const std::size_t inner = xml_.find('<', pos_);
                if (inner == std::string::npos || inner >= end_) {
                    throw std::runtime_error("the sheet ends inside a cell");
                }
                const Tag part = tagAt(xml_, inner);
                pos_ = part.end;
                if (part.closing && part.name == "c") {
                    break;
                }
                if (part.name == "v" && !part.closing && !part.selfClosing) {
                    const std::size_t stop = xml_.find('<', pos_);
                    xml::appendDecoded(value, xml_.substr(pos_, stop - pos_));
                    pos_ = stop;
                } else if (part.name == "is" && !part.closing && !part.selfClosing) {
                    inlineText = runText(xml_, pos_, "is");
                }
            }
            std::string text = cellText(type, style, value, inlineText);
            if (!text.empty()) {
                if (column >= mostCells_) {
                    rowHasMore_ = true;
                } else {
                    if (row_.size() <= column) {
                        row_.resize(column + 1);
                    }
                    row_[column] = std::move(text);
                }
            }
            ++column;
        }
        if (row_.empty() && !rowHasMore_) {
            ++emptyAhead_;  // given only if a row with text follows
            continue;
        }
        rowPending_ = true;
        return true;
    }
}

}  // namespace quorvel::tools
