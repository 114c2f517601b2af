// splitmix64: a tiny generator whose sequence is fixed by its seed alone, on every compiler and
// library. The standard distributions are not (their algorithms are left to each library), so a
// generated catalogue made with them could differ between two machines.
#pragma once

#include <cstdint>

namespace quorvel::tools {

class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, bound), bound > 0. The modulo bias is below 2^-50 for the small bounds we
    // draw from, far below anything a benchmark could notice.
    std::uint64_t below(std::uint64_t bound) { return next() % bound; }

    // Uniform in [low, high], both inclusive.
    std::uint64_t between(std::uint64_t low, std::uint64_t high) {
        return low + below(high - low + 1);
    }

    // True with probability 1/n.
    bool oneIn(std::uint64_t n) { return below(n) == 0; }

  private:
    std::uint64_t state_;
};

}  // namespace quorvel::tools
