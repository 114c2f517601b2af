#include "text/CzechPlural.h"

namespace quorvel {

std::string czechCount(std::uint64_t count, std::string_view one, std::string_view few,
                       std::string_view many) {
    const std::string_view noun = count == 1 ? one : count >= 2 && count <= 4 ? few : many;
    return std::to_string(count) + " " + std::string(noun);
}

}  // namespace quorvel
