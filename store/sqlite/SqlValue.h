// A value bound to a parameter of the SQL the engine hands SQLite.
#pragma once

#include <string>
#include <variant>

namespace quorvel {

// Bytes bound as a blob (a sort key), which SQLite compares bytewise and never with text.
struct SqlBlob {
    std::string bytes;
};

// A bound value of the generated SQL. The dialect itself gives texts and numbers only.
using SqlValue = std::variant<std::string, long long, double, SqlBlob>;

}  // namespace quorvel
