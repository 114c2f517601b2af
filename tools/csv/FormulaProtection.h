// The usual protection of a CSV field that a spreadsheet would run as a formula, and its undoing,
// so that export --excel can be opened safely and still imports back as the same text.
//
// A field needs it when it starts, after any apostrophes, with what makes a spreadsheet read a
// formula (= + - @) or a control that can hide one (tab, CR). It then gets one more apostrophe
// in front, which the spreadsheet shows as text. The import takes exactly one apostrophe away
// from a field that starts with one and then needs the protection: those are exactly the
// protected fields, so every text comes back as it was stored, apostrophes of its own included.
#pragma once

#include <string_view>

namespace quorvel::tools {

inline bool needsFormulaProtection(std::string_view field) {
    const std::size_t start = field.find_first_not_of('\'');
    return start != std::string_view::npos &&
           std::string_view("=+-@\t\r").find(field[start]) != std::string_view::npos;
}

inline std::string_view withoutFormulaProtection(std::string_view field) {
    return field.starts_with('\'') && needsFormulaProtection(field.substr(1)) ? field.substr(1)
                                                                              : field;
}

}  // namespace quorvel::tools
