#include "workbooks/XlsxWriter.h"

#include <xlsxwriter.h>

#include <stdexcept>
#include <string>

#include "text/Utf8.h"

namespace quorvel::tools {

namespace {

[[noreturn]] void fail(const std::filesystem::path& path, const std::string& reason) {
    throw std::runtime_error(path.string() + ": " + reason);
}

void check(lxw_error error, const std::filesystem::path& path) {
    if (error != LXW_NO_ERROR) {
        fail(path, lxw_strerror(error));
    }
}

// text with each "_xHHHH_" of its own made "_x005F_xHHHH_": readers of a workbook take the
// first form for the character HHHH, as libxlsxwriter writes control characters.
void escapeUnderscores(std::string& text) {
    const auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    for (std::size_t at = text.find("_x"); at != std::string::npos; at = text.find("_x", at + 1)) {
        if (at + 7 <= text.size() && hex(text[at + 2]) && hex(text[at + 3]) && hex(text[at + 4]) &&
            hex(text[at + 5]) && text[at + 6] == '_') {
            text.insert(at + 1, "x005F_");
            at += 6;
        }
    }
}

}  // namespace

XlsxWriter::XlsxWriter(const std::filesystem::path& path, std::span<const XlsxColumn> columns,
                       const std::filesystem::path& name)
    : name_(name), columns_(columns) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.use_zip64 = LXW_TRUE;  // a large catalogue's sheet may pass 4 GB unpacked
    workbook_ = workbook_new_opt(path.c_str(), &options);
    if (workbook_ == nullptr) {
        fail(name, "can't make the workbook");
    }
    sheet_ = workbook_add_worksheet(workbook_, nullptr);
    text_ = workbook_add_format(workbook_);
    format_set_num_format(text_, "@");
    lxw_format* bold = workbook_add_format(workbook_);
    format_set_num_format(bold, "@");
    format_set_bold(bold);
    if (sheet_ == nullptr || text_ == nullptr || bold == nullptr) {
        workbook_close(workbook_);
        workbook_ = nullptr;
        fail(name, "can't make the workbook");
    }
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto column = static_cast<lxw_col_t>(c);
        worksheet_set_column(sheet_, column, column, columns[c].width, text_);
        const std::string caption(columns[c].header);
        check(worksheet_write_string(sheet_, 0, column, caption.c_str(), bold), name_);
    }
    worksheet_freeze_panes(sheet_, 1, 0);
    row_ = 1;
}

XlsxWriter::~XlsxWriter() {
    if (workbook_ != nullptr) {
        workbook_close(workbook_);
    }
}

void XlsxWriter::write(std::span<const std::string_view> fields) {
    if (row_ == mostSheetRows) {
        fail(name_, "a sheet holds at most " + std::to_string(mostSheetRows - 1) +
                        " rows besides its header; the catalogue has more");
    }
    std::string text;
    for (std::size_t c = 0; c < fields.size(); ++c) {
        const std::size_t length = utf8::length(fields[c]);
        if (length > mostCellCharacters) {
            fail(name_, "row " + std::to_string(row_) + ": its " + std::string(columns_[c].header) +
                            " has " + std::to_string(length) + " characters, more than a cell of " +
                            "a spreadsheet holds (" + std::to_string(mostCellCharacters) + ")");
        }
        if (fields[c].empty()) {
            continue;  // no value: an empty cell
        }
        text.assign(fields[c]);
        escapeUnderscores(text);
        check(worksheet_write_string(sheet_, row_, static_cast<lxw_col_t>(c), text.c_str(), text_),
              name_);
    }
    ++row_;
}

void XlsxWriter::close() {
    lxw_workbook* workbook = workbook_;
    workbook_ = nullptr;
    check(workbook_close(workbook), name_);
}

}  // namespace quorvel::tools
