// Writes rows of text to a new .xlsx workbook with libxlsxwriter: one sheet, a bold header row
// that stays in view (frozen), and every field a text cell in the Text number format, so that a
// spreadsheet shows it exactly as it is, runs nothing and reads no number, date or truth value
// into it ("=1+1", "0012", "1e5", "pravda" and "3/1998" stay as they are). Rows are streamed to
// the file (libxlsxwriter's constant-memory mode), so a large catalogue costs little memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace quorvel::tools {

// What one sheet of a workbook holds, and one of its cells.
inline constexpr std::uint64_t mostSheetRows = 1'048'576;
inline constexpr std::size_t mostCellCharacters = 32'767;

struct XlsxColumn {
    std::string_view header;
    double width;  // in characters
};

class XlsxWriter {
  public:
    // Starts the workbook at path, which is overwritten, with the header row. Throws
    // std::runtime_error ("NAME: reason", NAME the file as the user knows it).
    XlsxWriter(const std::filesystem::path& path, std::span<const XlsxColumn> columns,
               const std::filesystem::path& name);
    ~XlsxWriter();
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    // Adds a row. Throws std::runtime_error when the sheet is full or a text is longer than a
    // cell holds (naming the row, from 1 for the first after the header, and the column).
    void write(std::span<const std::string_view> fields);
    // Writes the workbook out and closes it. Throws std::runtime_error.
    void close();

  private:
    std::filesystem::path name_;
    std::span<const XlsxColumn> columns_;
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* text_ = nullptr;
    std::uint32_t row_ = 0;
};

}  // namespace quorvel::tools
