// Writes CSV records as RFC 4180 describes them: fields separated by commas, each record ended
// by CR LF. A field is quoted only when it must be, that is when it holds the separator, a
// quote, a CR or an LF; a quote inside it is doubled. The spreadsheet dialect is what a Czech
// spreadsheet program opens correctly with a double click: semicolons, and a UTF-8 byte-order
// mark first, by which it knows the text is UTF-8, and each field a spreadsheet would run as a
// formula protected by an apostrophe in front (see formulaProtected). Otherwise text is written
// byte for byte, so a memo's own
// line breaks, CR LF or LF, come back unchanged on reading. Records gather in a buffer that goes to
// the file in large blocks.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "csv/FormulaProtection.h"

namespace quorvel::tools {

class CsvTargetFile;

struct CsvDialect {
    char separator = ',';
    bool byteOrderMark = false;
    bool protectFormulas = false;
};
inline constexpr CsvDialect rfc4180Dialect{',', false, false};
inline constexpr CsvDialect spreadsheetDialect{';', true, true};

class CsvWriter {
  public:
    explicit CsvWriter(CsvTargetFile& file, CsvDialect dialect = rfc4180Dialect);

    void write(std::span<const std::string_view> fields);
    // Hands what is gathered to the file; the last records are written only by this.
    void flush();

  private:
    void append(std::string_view field);

    CsvTargetFile& file_;
    CsvDialect dialect_;
    std::string buffer_;
};

}  // namespace quorvel::tools
