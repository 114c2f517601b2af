#include "recordset/StatementText.h"

#include <cctype>

namespace quorvel {

std::string joinStatementLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

namespace {

bool isNameChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return std::isalnum(byte) || c == '_' || byte >= 0x80;
}

}  // namespace

ScannedStatement scanParameters(std::string_view text) {
    ScannedStatement scanned;
    char openedBy = 0;  // the quote of the stretch we are in; 0 outside one
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'' || c == '`') {
            // Only the quote that opened a stretch closes it: an apostrophe in a search text
            // stays text. A doubled quote closes and opens again, and so stays inside.
            if (openedBy == 0) {
                openedBy = c;
            } else if (openedBy == c) {
                openedBy = 0;
            }
            scanned.text += c;
        } else if (c == ':' && openedBy == 0) {
            if (i + 1 < text.size() && text[i + 1] == ':') {
                scanned.text += ':';
                ++i;
                continue;
            }
            std::size_t end = i + 1;
            while (end < text.size() && isNameChar(text[end])) {
                ++end;
            }
            scanned.parameters.emplace_back(text.substr(i + 1, end - i - 1));
            scanned.text += '?';
            i = end - 1;
        } else {
            scanned.text += c;
        }
    }
    return scanned;
}

}  // namespace quorvel
