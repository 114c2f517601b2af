// An issue as the lists people keep carry it: the table's four fields in table order (Vytisk,
// Cislo, Nejzajimavejsi_casti, Obsah_vytisku), as UTF-8 text. An empty text is a field without a
// value: the store keeps no difference between the two.
#pragma once

#include <array>
#include <string_view>

#include "engine/CatalogueSchema.h"

namespace quorvel {

using IssueFields = std::array<std::string_view, schema::columns.size()>;

}  // namespace quorvel
