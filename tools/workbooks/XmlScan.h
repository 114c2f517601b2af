// Just enough of XML to read the parts of a workbook's zip archive: tags one after another, their
// attributes, and text with its entities and character references read. Namespace prefixes are
// taken as the files' producers write them ("table:", "text:", none in .xlsx parts).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::tools::xml {

struct Tag {
    std::string_view name;
    std::string_view attributes;
    bool closing = false;
    bool selfClosing = false;
    std::size_t end = 0;  // just after the '>'
};

// The tag whose '<' is at; a comment, declaration or processing instruction comes without a
// name. Throws std::runtime_error when the text ends inside it.
Tag tagAt(std::string_view text, std::size_t at);

// Appends text with XML's character references and the five entities read.
void appendDecoded(std::string& to, std::string_view text);

// The value of the attribute name among attributes, decoded; empty when there is none.
std::string attribute(std::string_view attributes, std::string_view name);

}  // namespace quorvel::tools::xml
