// A count with its noun in the Czech form for it: one for 1, few for 2 to 4, many for 0 and 5
// on ("1 záznam", "3 záznamy", "5 záznamů", "21 záznamů").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

std::string czechCount(std::uint64_t count, std::string_view one, std::string_view few,
                       std::string_view many);

}  // namespace quorvel
