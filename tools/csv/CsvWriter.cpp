#include "csv/CsvWriter.h"

#include "csv/CsvTargetFile.h"

namespace quorvel::tools {

namespace {

constexpr std::size_t blockSize = 1 << 20;

}  // namespace

CsvWriter::CsvWriter(CsvTargetFile& file, CsvDialect dialect) : file_(file), dialect_(dialect) {
    buffer_.reserve(blockSize + blockSize / 4);
    if (dialect_.byteOrderMark) {
        buffer_ += "\xef\xbb\xbf";
    }
}

void CsvWriter::write(std::span<const std::string_view> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            buffer_ += dialect_.separator;
        }
        append(fields[i]);
    }
    buffer_ += "\r\n";
    if (buffer_.size() >= blockSize) {
        flush();
    }
}

void CsvWriter::flush() {
    file_.write(buffer_);
    buffer_.clear();
}

void CsvWriter::append(std::string_view field) {
    const char mustQuote[] = {dialect_.separator, '"', '\r', '\n', '\0'};
    const char* protection = dialect_.protectFormulas && needsFormulaProtection(field) ? "'" : "";
    if (field.find_first_of(mustQuote) == std::string_view::npos) {
        buffer_ += protection;
        buffer_ += field;
        return;
    }
    buffer_ += '"';
    buffer_ += protection;
    for (std::size_t from = 0;;) {
        const std::size_t quote = field.find('"', from);
        if (quote == std::string_view::npos) {
            buffer_ += field.substr(from);
            break;
        }
        buffer_ += field.substr(from, quote + 1 - from);
        buffer_ += '"';
        from = quote + 1;
    }
    buffer_ += '"';
}

}  // namespace quorvel::tools
