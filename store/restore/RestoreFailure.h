// Why qvtool restore stops, in a sentence for its user: the backup is missing, damaged or not a
// pair, a copy of the program has the catalogue open, the current files couldn't be kept. It
// says too whether the catalogue was left as it was.
#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::restore {

class RestoreFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quorvel::restore
