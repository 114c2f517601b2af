#include "workbooks/OdsSheet.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <charconv>
#include <stdexcept>

#include "workbooks/XmlScan.h"

namespace quorvel::tools {

namespace {

using xml::appendDecoded;
using xml::attribute;
using xml::Tag;
using xml::tagAt;

std::uint64_t repeatCount(std::string_view attributes, std::string_view name) {
    const std::string value = attribute(attributes, name);
    std::uint64_t count = 1;
    std::from_chars(value.data(), value.data() + value.size(), count);
    return count == 0 ? 1 : count;
}

// Character data of a paragraph as shown: every run of white space one space.
void appendShown(std::string& to, std::string_view text) {
    std::string decoded;
    appendDecoded(decoded, text);
    bool space = false;
    for (const char c : decoded) {
        const bool white = c == ' ' || c == '\t' || c == '\n' || c == '\r';
        if (white && !space) {
            to += ' ';
        } else if (!white) {
            to += c;
        }
        space = white;
    }
}

bool isTableStart(std::string_view xml, std::size_t at) {
    const std::size_t after = at + std::string_view("<table:table").size();
    return after < xml.size() &&
           (xml[after] == ' ' || xml[after] == '>' || xml[after] == '\n' || xml[after] == '\t');
}

}  // namespace

OdsSheet::OdsSheet(const std::filesystem::path& path, const std::optional<std::string>& table) {
    std::vector<unsigned char>& content = bytes_;
    try {
        orcus::zip_archive_stream_fd stream(path.c_str());
        orcus::zip_archive archive(&stream);
        archive.load();
        if (!archive.read_file_entry("content.xml", content)) {
            throw std::runtime_error("the workbook has no content.xml");
        }
    } catch (const std::runtime_error&) {
        throw;
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("can't be read as ods (") + error.what() + ")");
    }
    xml_ = std::string_view(reinterpret_cast<const char*>(content.data()), content.size());
    std::string names;
    for (std::size_t at = xml_.find("<table:table"); at != std::string_view::npos;
         at = xml_.find("<table:table", at + 1)) {
        if (!isTableStart(xml_, at)) {
            continue;
        }
        const Tag tag = tagAt(xml_, at);
        const std::string tableName = attribute(tag.attributes, "table:name");
        names += std::string(names.empty() ? "" : ", ") + "\"" + tableName + "\"";
        if (!table || *table == tableName) {
            name_ = tableName;
            begin_ = pos_ = tag.end;
            end_ = tag.selfClosing ? tag.end : xml_.find("</table:table>", tag.end);
            if (end_ == std::string_view::npos) {
                throw std::runtime_error("content.xml ends inside the sheet \"" + name_ + "\"");
            }
            return;
        }
    }
    if (names.empty()) {
        throw std::runtime_error("the workbook has no sheet");
    }
    throw std::runtime_error("the workbook has no sheet \"" + *table + "\", only " + names);
}

double OdsSheet::progress() const {
    return end_ > begin_ ? static_cast<double>(pos_ - begin_) / static_cast<double>(end_ - begin_)
                         : 1.0;
}

bool OdsSheet::next(std::vector<std::string>& cells, std::uint64_t& row, std::size_t mostCells,
                    bool& hasMore) {
    mostCells_ = mostCells;
    while (repeats_ == 0 && emptyAhead_ == 0) {
        if (!readRow()) {
            return false;
        }
    }
    cells.clear();
    hasMore = false;
    if (emptyAhead_ > 0) {
        --emptyAhead_;
        row = rowNumber_ - repeats_ - emptyAhead_;
        return true;
    }
    cells = row_;
    hasMore = rowHasMore_;
    row = rowNumber_ - --repeats_;
    return true;
}

bool OdsSheet::readRow() {
    for (;;) {
        const std::size_t lt = xml_.find('<', pos_);
        if (lt == std::string_view::npos || lt >= end_) {
            pos_ = end_;
            return false;
        }
        const Tag tag = tagAt(xml_, lt);
        pos_ = tag.end;
        if (tag.name == "table:table-row" && !tag.closing) {
            const std::uint64_t repeated =
                repeatCount(tag.attributes, "table:number-rows-repeated");
            row_.clear();
            rowHasMore_ = false;
            std::uint64_t emptyCells = 0;
            while (!tag.selfClosing) {
                const std::size_t cellAt = xml_.find('<', pos_);
                if (cellAt == std::string_view::npos || cellAt >= end_) {
                    throw std::runtime_error("content.xml ends inside a row");
                }
                const Tag cell = tagAt(xml_, cellAt);
                pos_ = cell.end;
                if (cell.closing && cell.name == "table:table-row") {
                    break;
                }
                if (cell.closing ||
                    (cell.name != "table:table-cell" && cell.name != "table:covered-table-cell")) {
                    continue;
                }
                const std::uint64_t columns =
                    repeatCount(cell.attributes, "table:number-columns-repeated");
                std::string text;
                bool paragraph = false;
                bool first = true;
                int annotation = 0;
                for (std::size_t p = pos_; !cell.selfClosing;) {
                    const std::size_t next = xml_.find('<', p);
                    if (next == std::string_view::npos || next >= end_) {
                        throw std::runtime_error("content.xml ends inside a cell");
                    }
                    if (paragraph && annotation == 0) {
                        appendShown(text, xml_.substr(p, next - p));
                    }
                    const Tag inner = tagAt(xml_, next);
                    p = pos_ = inner.end;
                    if (inner.closing && inner.name == cell.name) {
                        break;
                    }
                    if (inner.name == "office:annotation") {
                        annotation += inner.selfClosing ? 0 : inner.closing ? -1 : 1;
                    } else if (annotation > 0) {
                    } else if (inner.name == "text:p" || inner.name == "text:h") {
                        if (!inner.closing) {
                            text += first ? "" : "\n";
                            first = false;
                        }
                        paragraph = !inner.closing && !inner.selfClosing;
                    } else if (paragraph && inner.name == "text:s") {
                        text.append(repeatCount(inner.attributes, "text:c"), ' ');
                    } else if (paragraph && inner.name == "text:tab") {
                        text += '\t';
                    } else if (paragraph && inner.name == "text:line-break") {
                        text += '\n';
                    }
                }
                if (text.empty()) {
                    emptyCells += columns;
                    continue;
                }
                for (std::uint64_t i = 0; i < columns; ++i) {
                    if (row_.size() + emptyCells >= mostCells_) {
                        rowHasMore_ = true;
                        break;
                    }
                    row_.resize(row_.size() + emptyCells);
                    emptyCells = 0;
                    row_.push_back(text);
                }
            }
            rowNumber_ += repeated;
            if (row_.empty() && !rowHasMore_) {
                emptyAhead_ += repeated;  // shown only if a row with text follows
                continue;
            }
            repeats_ = repeated;
            return true;
        }
    }
}

}  // namespace quorvel::tools
