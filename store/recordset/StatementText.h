// The record set's lines as the engine receives them, and the scan for parameter markers that
// runs whenever the lines change.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Each line followed by CR LF, unconverted.
std::string joinStatementLines(const std::vector<std::string>& lines);

struct ScannedStatement {
    std::string text;                     // markers replaced by "?", doubled colons made one
    std::vector<std::string> parameters;  // the names, in order of appearance
};

// A colon outside quoted stretches and not followed by another colon starts a parameter name
// (letters, digits, "_" and any non-ASCII character). Each of ", ' and ` opens a quoted
// stretch, which only the same quote closes.
ScannedStatement scanParameters(std::string_view text);

}  // namespace quorvel
