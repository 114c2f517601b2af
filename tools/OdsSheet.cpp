#include "OdsSheet.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <charconv>
#include <stdexcept>

namespace quorvel::tools {

namespace {

struct Tag {
    std::string_view name;
    std::string_view attributes;
    bool closing = false;
    bool selfClosing = false;
    std::size_t end = 0;  // just after the '>'
};

// The tag whose '<' is at; a comment or declaration comes as a tag without a name.
Tag tagAt(const std::string& xml, std::size_t at) {
    Tag tag;
    const std::size_t close = xml.find('>', at);
    if (close == std::string::npos) {
        throw std::runtime_error("content.xml ends inside a tag");
    }
    tag.end = close + 1;
    std::string_view inside(xml.data() + at + 1, close - at - 1);
    if (inside.starts_with('!') || inside.starts_with('?')) {
        if (inside.starts_with("!--")) {
            const std::size_t stop = xml.find("-->", at);
            tag.end = stop == std::string::npos ? xml.size() : stop + 3;
        }
        return tag;
    }
    tag.closing = inside.starts_with('/');
    if (tag.closing) {
        inside.remove_prefix(1);
    }
    tag.selfClosing = inside.ends_with('/');
    if (tag.selfClosing) {
        inside.remove_suffix(1);
    }
    const std::size_t space = inside.find_first_of(" \t\r\n");
    tag.name = inside.substr(0, space);
    tag.attributes = space == std::string_view::npos ? "" : inside.substr(space);
    return tag;
}

// text with XML's character references and the five entities read.
void appendDecoded(std::string& to, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            to += text[i];
            continue;
        }
        const std::size_t semicolon = text.find(';', i);
        const std::string_view entity = text.substr(i + 1, semicolon - i - 1);
        i = semicolon == std::string_view::npos ? text.size() : semicolon;
        if (entity == "amp") {
            to += '&';
        } else if (entity == "lt") {
            to += '<';
        } else if (entity == "gt") {
            to += '>';
        } else if (entity == "quot") {
            to += '"';
        } else if (entity == "apos") {
            to += '\'';
        } else if (entity.starts_with('#')) {
            const bool hex = entity.size() > 1 && (entity[1] == 'x' || entity[1] == 'X');
            std::uint32_t c = 0;
            const std::string_view digits = entity.substr(hex ? 2 : 1);
            std::from_chars(digits.data(), digits.data() + digits.size(), c, hex ? 16 : 10);
            if (c < 0x80) {
                to += static_cast<char>(c);
            } else if (c < 0x800) {
                to += static_cast<char>(0xC0 | (c >> 6));
                to += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {
                to += static_cast<char>(0xE0 | (c >> 12));
                to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                to += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                to += static_cast<char>(0xF0 | (c >> 18));
                to += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                to += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                to += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
    }
}

// The value of the attribute name among attributes, decoded; empty when it has none.
std::string attribute(std::string_view attributes, std::string_view name) {
    for (std::size_t at = attributes.find(name); at != std::string_view::npos;
         at = attributes.find(name, at + 1)) {
        const std::size_t quote = at + name.size() + 1;
        const bool whole = (at == 0 || attributes[at - 1] == ' ' || attributes[at - 1] == '\t' ||
                            attributes[at - 1] == '\n' || attributes[at - 1] == '\r') &&
                           quote < attributes.size() && attributes[quote - 1] == '=';
        if (whole && (attributes[quote] == '"' || attributes[quote] == '\'')) {
            const std::size_t stop = attributes.find(attributes[quote], quote + 1);
            std::string value;
            appendDecoded(value, attributes.substr(quote + 1, stop - quote - 1));
            return value;
        }
    }
    return {};
}

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

bool isTableStart(const std::string& xml, std::size_t at) {
    const std::size_t after = at + std::string_view("<table:table").size();
    return after < xml.size() &&
           (xml[after] == ' ' || xml[after] == '>' || xml[after] == '\n' || xml[after] == '\t');
}

}  // namespace

OdsSheet::OdsSheet(const std::filesystem::path& path, const std::optional<std::string>& table) {
    std::vector<unsigned char> content;
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
    xml_.assign(content.begin(), content.end());
    content = {};
    std::string names;
    for (std::size_t at = xml_.find("<table:table"); at != std::string::npos;
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
            if (end_ == std::string::npos) {
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
        if (lt == std::string::npos || lt >= end_) {
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
                if (cellAt == std::string::npos || cellAt >= end_) {
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
                    if (next == std::string::npos || next >= end_) {
                        throw std::runtime_error("content.xml ends inside a cell");
                    }
                    if (paragraph && annotation == 0) {
                        appendShown(text, std::string_view(xml_).substr(p, next - p));
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
