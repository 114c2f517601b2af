// The statement the main window shows the table through, rebuilt from three clauses: the base,
// a search filter and a sort order. The search text goes into the filter as the text of a
// string literal: every character is matched as itself but % and _, which act as wildcards, and
// a double quote is doubled inside the literal. The engine's own parser keeps the statement from
// ever being more than a read.
#pragma once

#include <string>
#include <vector>

namespace quorvel {

class RecordSet;

// The field a search looks in, in the order of the search group's radio buttons.
enum class SearchField { Title, IssueNumber, InterestingParts, Contents };

// The sort order, by the sort group's radio buttons ("Neřadit", "Tiskopisu", "Čísla výtisku").
enum class SortOrder { Unsorted, ByTitle, ByIssueNumber };

struct StatementClauses {
    std::string BaseClause = "select * from qv";
    std::string FilterClause;
    std::string OrderClause;
};

// The filter clause that searches field for text, e.g. where (vytisk like "%abc%"); a text
// without double quotes stands in it exactly as typed.
std::string searchClause(SearchField field, const std::string& text);
// The order clause of a sort order: empty, "order by vytisk" or "order by Cislo".
std::string orderClause(SortOrder order);
// Whether a sort order leaves the result editable (so the edit group enabled).
bool allowsEditing(SortOrder order);
// The three clauses as the statement's three lines; an empty clause is a line of its own.
std::vector<std::string> statementLines(const StatementClauses& clauses);

// Clears the record set's lines (which closes it and drops a pending change without a word),
// adds the three clauses as lines and opens it. A failure to open goes to the caller and
// leaves the set closed.
void RunQuery(RecordSet& recordSet, const StatementClauses& clauses);

}  // namespace quorvel
