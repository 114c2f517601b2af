#include "recordset/StatementComposer.h"

#include "recordset/RecordSet.h"

namespace quorvel {

std::string searchClause(SearchField field, const std::string& text) {
    const char* prefix = "";
    switch (field) {
        case SearchField::Title:
            prefix = "where (vytisk like \"%";
            break;
        case SearchField::IssueNumber:
            prefix = "where (cislo like \"%";
            break;
        case SearchField::InterestingParts:
            prefix = "where (nejzajimavejsi_casti like \"%";
            break;
        case SearchField::Contents:
            prefix = "where (obsah_vytisku like \"%";
            break;
    }
    // The text is data: a double quote in it is doubled, so the literal holds it and ends where
    // it should. Its % and _ stay wildcards.
    std::string literal;
    literal.reserve(text.size());
    for (const char c : text) {
        literal += c;
        if (c == '"') {
            literal += '"';
        }
    }
    return prefix + literal + "%\")";
}

std::string orderClause(SortOrder order) {
    switch (order) {
        case SortOrder::ByTitle:
            return "order by vytisk";
        case SortOrder::ByIssueNumber:
            return "order by Cislo";
        case SortOrder::Unsorted:
            break;
    }
    return {};
}

bool allowsEditing(SortOrder order) {
    return order == SortOrder::Unsorted;
}

std::vector<std::string> statementLines(const StatementClauses& clauses) {
    return {clauses.BaseClause, clauses.FilterClause, clauses.OrderClause};
}

void RunQuery(RecordSet& recordSet, const StatementClauses& clauses) {
    recordSet.ClearSQL();
    for (const std::string& line : statementLines(clauses)) {
        recordSet.AddSQL(line);
    }
    recordSet.Open();
}

}  // namespace quorvel
