#include "lists/CsvColumns.h"

#include <algorithm>

#include "text/LooseForm.h"
#include "text/Utf8.h"

namespace quorvel::tools {

const std::array<std::vector<const char*>, schema::columns.size()> fieldNames{{
    {"Vytisk", "Tiskopis", "Titul", "Název", "Název časopisu", "Časopis", "Periodikum"},
    {"Cislo", "Číslo výtisku/rok", "Číslo", "Číslo výtisku", "Číslo/rok", "Označení",
     "Označení časopisu"},
    {"Nejzajimavejsi_casti", "Nejzajímavější části", "Nejzajímavější", "Zajímavosti"},
    {"Obsah_vytisku", "Obsah výtisku", "Obsah", "Popis"},
}};

namespace {

// name as it is matched: without the spaces around it, a caption's asterisk before and colon
// and size after it, diacritics and case.
std::u16string matchForm(std::string_view name) {
    std::string bare = utf8::trim(name);
    if (!bare.empty() && bare.front() == '*') {
        bare = utf8::trim(bare.substr(1));
    }
    if (const std::size_t open = bare.rfind('(');
        open != std::string::npos && bare.back() == ')' && open + 2 < bare.size() &&
        std::all_of(bare.begin() + static_cast<std::ptrdiff_t>(open) + 1, bare.end() - 1,
                    [](char c) { return c >= '0' && c <= '9'; })) {
        bare = utf8::trim(bare.substr(0, open));
    }
    if (!bare.empty() && bare.back() == ':') {
        bare = utf8::trim(bare.substr(0, bare.size() - 1));
    }
    return looseForm(bare);
}

std::optional<std::size_t> fieldNamed(std::string_view name) {
    const std::u16string form = matchForm(name);
    for (std::size_t field = 0; field < fieldNames.size(); ++field) {
        for (const char* known : fieldNames[field]) {
            if (!form.empty() && matchForm(known) == form) {
                return field;
            }
        }
    }
    return std::nullopt;
}

// "a", "a and b", "a, b and c"; or with "or".
std::string listed(const std::vector<std::string>& items, const std::string& last = "and") {
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == items.size() ? " " + last + " " : ", ") + items[i];
    }
    return text;
}

}  // namespace

CsvColumns::CsvColumns(const CsvRecord& header, bool ignoreExtra) {
    if (header.count > mostColumns) {
        throw CsvError(header.line, "the header has " + std::to_string(header.count) +
                                        " columns, more than " + std::to_string(mostColumns));
    }
    names_.assign(header.fields.begin(),
                  header.fields.begin() + static_cast<std::ptrdiff_t>(header.count));
    std::vector<std::string> unknown;
    for (std::size_t column = 0; column < names_.size(); ++column) {
        const std::optional<std::size_t> field = fieldNamed(names_[column]);
        if (!field && utf8::trim(names_[column]).empty()) {
            leftOut_.push_back(column);
            if (!ignoreExtra) {
                unnamed_.push_back(column);
            }
        } else if (!field) {
            leftOut_.push_back(column);
            unknown.push_back(describe(column));
        } else if (sources_[*field]) {
            throw CsvError(header.line, describe(*sources_[*field]) + " and " + describe(column) +
                                            " both name " + schema::columns[*field].fieldName);
        } else {
            sources_[*field] = column;
        }
    }
    if (!unknown.empty() && !ignoreExtra) {
        const bool one = unknown.size() == 1;
        throw CsvError(header.line, listed(unknown) + (one ? " names" : " name") +
                                        " no field of the table; --ignore-extra leaves " +
                                        (one ? "it" : "them") + " out");
    }
    if (!sources_[0]) {
        std::vector<std::string> names;
        for (const char* name : fieldNames[0]) {
            names.push_back(std::string("\"") + name + "\"");
        }
        throw CsvError(header.line, std::string("no column holds ") + schema::columns[0].fieldName +
                                        ", the title every row needs: name one " +
                                        listed(names, "or"));
    }
}

std::string CsvColumns::describe(std::size_t column) const {
    const std::string number = "column " + std::to_string(column + 1);
    return names_[column].empty() ? number + " (no name)" : number + " \"" + names_[column] + "\"";
}

}  // namespace quorvel::tools
