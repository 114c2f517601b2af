// One thing the check found wrong with a catalogue: the file it is in, how many of it, and a
// sentence in plain words that names both ("qv.db: 3 rows ...").
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quorvel::check {

struct CheckFinding {
    std::string file;  // the file's name in the catalogue's directory: qv.db or qv.mb
    std::uint64_t count = 0;
    std::string sentence;
    // Whether the repair mends it; what it leaves as it is (a field over the program's limit,
    // which only its owner can shorten) doesn't make a catalogue unsound to the repair.
    bool mendable = true;
};

// Called now and then with the work done so far, of a total known beforehand.
using CheckProgress = std::function<void(std::uint64_t done)>;

}  // namespace quorvel::check
