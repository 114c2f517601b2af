// One issue as qvtool writes it: the four fields of the table in table order. An empty text is
// a field without a value (the table stores it as NULL).
#pragma once

#include <string>

namespace quorvel::tools {

struct CatalogueIssue {
    std::string title;     // Vytisk, at most 50 characters
    std::string number;    // Cislo, at most 15 characters
    std::string parts;     // Nejzajimavejsi_casti, at most 150 characters
    std::string contents;  // Obsah_vytisku, the memo

    bool operator==(const CatalogueIssue&) const = default;
};

}  // namespace quorvel::tools
