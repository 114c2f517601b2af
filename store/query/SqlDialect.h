// The statement dialect: "select * | fields from qv [where condition] [order by field [asc]]".
// The text is parsed here and turned into SQL of our own in which every literal is a bound
// parameter, so no text from a statement ever reaches SQLite as SQL, and nothing but a read of
// qv can be expressed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sqlite/SqlValue.h"

namespace quorvel {

struct ParsedSelect {
    std::vector<int> columns;  // table columns of the result, in result order
    // The condition as SQL over "qv" and (when it names the memo) "memo", with "?" for each
    // value of parameters, in order; empty when there is no where clause.
    std::string conditionSql;
    std::vector<SqlValue> parameters;
    bool conditionUsesMemo = false;
    std::optional<int> orderColumn;  // table column of the order by clause
};

// Throws EDBEngineError (category 0x2E) for anything outside the dialect, with the offending
// token and its line among the entries.
ParsedSelect parseSelect(std::string_view text);

}  // namespace quorvel
