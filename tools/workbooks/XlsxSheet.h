// One worksheet of an Office Open XML workbook (.xlsx), read row by row from the parts of its zip
// archive: the workbook's list of sheets, the shared strings, the styles' number formats and the
// sheet itself. A text cell gives its text exactly (shared or inline, rich text runs joined,
// Excel's _xHHHH_ escapes read). The file keeps a number's value, not the text shown, so a
// number is given as a Czech spreadsheet shows it by default: in its shortest form with a
// decimal comma ("12", "1,5"); one whose number format is a date's as D.M.YYYY ("15.3.1998"),
// with H:MM after it when it has a time of day. A truth value is PRAVDA or NEPRAVDA, an error
// its code (#DIV/0!), a formula its result as last saved.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::tools {

class XlsxSheet {
  public:
    // Reads the workbook's parts; picks its first sheet, or the one named sheet. Throws
    // std::runtime_error ("reason") when the file can't be read or has no such sheet.
    XlsxSheet(const std::filesystem::path& path, const std::optional<std::string>& sheet);

    const std::string& name() const { return name_; }

    // As OdsSheet::next: the next row's cells up to the last with text; empty rows only before
    // a row with text.
    bool next(std::vector<std::string>& cells, std::uint64_t& row, std::size_t mostCells,
              bool& hasMore);
    double progress() const;
    // The row being read, for a failure's place.
    std::uint64_t rowReached() const { return rowNumber_ == 0 ? 1 : rowNumber_; }

  private:
    bool readRow();
    std::string cellText(std::string_view type, std::size_t style, const std::string& value,
                         const std::string& inlineText) const;

    std::string name_;
    std::vector<unsigned char> bytes_;  // the part read, uncompressed
    std::string_view xml_;
    std::vector<std::string> shared_;
    std::vector<bool> dateStyles_;  // by cell format: its number format shows a date
    bool date1904_ = false;
    std::size_t begin_ = 0;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::uint64_t rowNumber_ = 0;  // of the last row read
    std::vector<std::string> row_;
    bool rowHasMore_ = false;
    bool rowPending_ = false;
    std::uint64_t emptyAhead_ = 0;
    std::size_t mostCells_ = SIZE_MAX;
};

}  // namespace quorvel::tools
