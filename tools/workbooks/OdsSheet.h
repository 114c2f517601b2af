// One table of an OpenDocument spreadsheet (.ods), read row by row from the file's content.xml.
// Each cell gives the text its paragraphs hold, which is what the spreadsheet shows: for a number,
// date or formula the text the program that saved the file displayed, for a text cell the text
// itself. Paragraphs are joined by line breaks, spaces and tabs kept as the file marks them;
// notes on a cell are not its text. Repeated rows and cells count as many as they stand for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::tools {

class OdsSheet {
  public:
    // Reads the file's tables; picks the first, or the one named table. Throws
    // std::runtime_error ("reason") when the file can't be read or has no such table.
    OdsSheet(const std::filesystem::path& path, const std::optional<std::string>& table);

    const std::string& name() const { return name_; }

    // The next row's cells from column A on, up to the last that holds text; its number (from 1)
    // in row. Rows without text come only before a row with text, never at the end. false at the
    // end of the table. mostCells caps the cells kept; hasMore then tells of text beyond them.
    bool next(std::vector<std::string>& cells, std::uint64_t& row, std::size_t mostCells,
              bool& hasMore);
    // Share of the table read, from 0 to 1.
    double progress() const;
    // The row being read, for a failure's place.
    std::uint64_t rowReached() const { return rowNumber_ + 1; }

  private:
    // Reads the row at pos_ into pending_; false at the end of the table.
    bool readRow();

    std::vector<unsigned char> bytes_;  // the part read, uncompressed
    std::string_view xml_;
    std::string name_;
    std::size_t begin_ = 0;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t rowNumber_ = 0;  // of the last row read
    std::vector<std::string> row_;
    bool rowHasMore_ = false;
    std::uint64_t repeats_ = 0;     // times row_ still stands
    std::uint64_t emptyAhead_ = 0;  // empty rows before row_
    std::size_t mostCells_ = SIZE_MAX;
};

}  // namespace quorvel::tools
