// Which field of the table each column of a CSV file fills, read from the names in its header.
// A name is matched without regard to case, diacritics and the spaces around it, against the
// field's name, the main window's caption of the field (with or without its asterisk, colon and
// size) and a few synonyms, all in fieldNames. The columns may come in any order. A field
// without a column stays empty, but for the title, which every row must have.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "csv/CsvReader.h"
#include "engine/CatalogueSchema.h"

namespace quorvel::tools {

// The names a column may have, by field in table order: the field's name, its caption, synonyms.
extern const std::array<std::vector<const char*>, schema::columns.size()> fieldNames;

// A header with more columns is refused, so that a line of commas costs no memory.
inline constexpr std::size_t mostColumns = 1000;

class CsvColumns {
  public:
    // Throws CsvError on the header's line: two columns naming one field, a column naming none
    // (unless ignoreExtra: it is left out), no column for the title, more than mostColumns. A
    // column without a name is left out, as spreadsheets write empty columns at a table's side;
    // the records must leave it empty unless ignoreExtra (see unnamed()).
    CsvColumns(const CsvRecord& header, bool ignoreExtra);

    // Columns in the file.
    std::size_t count() const { return names_.size(); }
    // The file's column (from 0) each field takes its text from; nullopt for none.
    const std::array<std::optional<std::size_t>, schema::columns.size()>& sources() const {
        return sources_;
    }
    // Columns of the file no field takes, with --ignore-extra.
    const std::vector<std::size_t>& leftOut() const { return leftOut_; }
    // Columns without a name, with ignoreExtra none: a record with a value there is refused.
    const std::vector<std::size_t>& unnamed() const { return unnamed_; }
    // A column's name in the header, as the file gives it.
    const std::string& name(std::size_t column) const { return names_[column]; }
    // A column as a message shows it: its number from 1 and its name.
    std::string describe(std::size_t column) const;

  private:
    std::vector<std::string> names_;
    std::array<std::optional<std::size_t>, schema::columns.size()> sources_;
    std::vector<std::size_t> leftOut_;
    std::vector<std::size_t> unnamed_;
};

}  // namespace quorvel::tools
