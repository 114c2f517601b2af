// The sort key a keyed column stores beside its field: the Czech key of the field's text, the
// empty key for a field without a value. RowInsert writes it with every row; the check compares
// it with what the files hold.
#pragma once

#include <optional>
#include <string_view>

#include "text/CzechCollator.h"

namespace quorvel::schema {

// Valid until collator's next call.
inline std::string_view sortKeyOf(CzechCollator& collator, std::optional<std::string_view> field) {
    return collator.key(field.value_or(std::string_view()));
}

}  // namespace quorvel::schema
