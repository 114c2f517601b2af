// One row as the engine hands it to the record set, and as the record set hands it back to be
// written. The row id and version are the engine's; the record set only carries them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "engine/CatalogueSchema.h"

namespace quorvel {

// A column of a result, as the engine describes it.
struct FieldDesc {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;  // characters; 0 for a memo
    bool required = false;
    bool readOnly = false;
    int column = 0;  // the table column behind it
};

struct RowData {
    std::int64_t id = 0;  // 0: a new row, not yet in the table
    std::int64_t version = 0;
    // The string columns; nullopt is a field without a value.
    std::array<std::optional<std::string>, schema::stringColumnCount> strings;
    bool memoStored = false;  // the table holds memo text for this row
    // The memo text once read or written (memoLoaded); nullopt is a memo without a value.
    std::optional<std::string> memo;
    bool memoLoaded = false;
    bool memoChanged = false;  // written since read: a post writes it
    std::string sortKey;       // the value the result is ordered by, for reading onwards
    std::int64_t recNo = 0;    // 1-based number where the result numbers its rows, else 0

    // Whether the memo has a value, as far as is known without reading its text.
    bool memoHasValue() const { return memoLoaded ? memo.has_value() : memoStored; }
};

}  // namespace quorvel
