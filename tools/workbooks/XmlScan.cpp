#include "workbooks/XmlScan.h"

#include <charconv>
#include <stdexcept>

#include "text/Utf8.h"

namespace quorvel::tools::xml {

Tag tagAt(std::string_view xml, std::size_t at) {
    Tag tag;
    const std::size_t close = xml.find('>', at);
    if (close == std::string_view::npos) {
        throw std::runtime_error("content.xml ends inside a tag");
    }
    tag.end = close + 1;
    std::string_view inside = xml.substr(at + 1, close - at - 1);
    if (inside.starts_with('!') || inside.starts_with('?')) {
        if (inside.starts_with("!--")) {
            const std::size_t stop = xml.find("-->", at);
            tag.end = stop == std::string_view::npos ? xml.size() : stop + 3;
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
            utf8::append(to, c);
        }
    }
}

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

}  // namespace quorvel::tools::xml
