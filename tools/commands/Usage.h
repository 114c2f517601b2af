// qvtool's help text, with the generated catalogue's search patterns taken from
// SearchPatterns.h so the text can't drift from what the generator does.
#pragma once

#include <string>

namespace quorvel::tools {

std::string usageText();

}  // namespace quorvel::tools
