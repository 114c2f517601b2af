// Made-up issues for large benchmark catalogues, from a small Czech vocabulary and a seeded
// generator: the same seed always gives the same sequence of issues, byte for byte.
//
// Each field holds its rare and its common search pattern (SearchPatterns.h) in about the
// promised share of the rows and nowhere else:
// - title: "adjective noun", sometimes with a suffix; the common pattern is one of the
//   adjectives, the rare one one of the nouns;
// - number: "n/yyyy"; the common pattern is the 1990s, the rare one a single year;
// - interesting parts: a comma-separated list of phrases, at most 150 characters;
// - contents: sentences in paragraphs, 200 to 2,000 characters, cut at a random length; the
//   paragraphs of one memo are separated by CR LF or all by LF.
#pragma once

#include <cstddef>
#include <cstdint>

#include "catalogues/CatalogueIssue.h"
#include "catalogues/SplitMix64.h"

namespace quorvel::tools {

class SyntheticIssues {
  public:
    explicit SyntheticIssues(std::uint64_t seed);

    CatalogueIssue next();

    // Bounds of a generated memo, in characters.
    static constexpr std::size_t shortestContents = 200;
    static constexpr std::size_t longestContents = 2000;

  private:
    std::string title();
    std::string number();
    std::string parts();
    std::string contents();

    SplitMix64 random_;
};

}  // namespace quorvel::tools
