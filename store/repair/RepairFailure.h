// Why qvtool repair stops, in a sentence for its user: a copy of the program has the catalogue
// open, the files can't be told for a catalogue's, the originals couldn't be kept. It says too
// whether the files were left as they were.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::repair {

class RepairFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvel::repair
