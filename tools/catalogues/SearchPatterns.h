// The search patterns a generated catalogue is built around: in every field one pattern that
// few rows hold and one that many rows hold, so that a benchmark can time a search that must
// walk the whole table to find a handful of rows and one whose first page fills at once.
// The generator puts these texts in on purpose and its vocabulary holds none of them, so their
// share of the rows is known in advance.
#pragma once

#include <array>

namespace quorvel::tools {

struct FieldPatterns {
    int column;          // index into schema::columns
    const char* rare;    // in about one row of rareOneIn
    const char* common;  // in about one row of commonOneIn
};

inline constexpr int rareOneIn = 10000;
inline constexpr int commonOneIn = 4;

inline constexpr std::array<FieldPatterns, 4> generatedPatterns{{
    {0, "hvězdář", "Český"},
    {1, "/1948", "/199"},
    {2, "kosmonaut", "křížovka"},
    {3, "Ondřejov", "dopisy"},
}};

}  // namespace quorvel::tools
