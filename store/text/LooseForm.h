// Text as a person matches a name they type: without the spaces around it, its diacritics and
// its case ("  Vesmír " and "VESMIR" have the same form). Letters are taken apart (NFD) and their
// marks dropped, then folded as Unicode folds case.
#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// Malformed UTF-8 reads as U+FFFD.
std::u16string looseForm(std::string_view text);

}  // namespace quorvel
