#include "SheetReader.h"

#include "OdsSheet.h"

#include <ixion/address.hpp>
#include <ixion/model_context.hpp>
#include <orcus/format_detection.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>
#include <orcus/spreadsheet/sheet.hpp>
#include <orcus/spreadsheet/styles.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quorvel::tools {

namespace ss = orcus::spreadsheet;

namespace {

// Zip archives, as both kinds are, start so.
constexpr std::string_view zipSignature = "PK\x03\x04";

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error(path.string() + ": can't be read");
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The number format of a cell format, found by its identifier as the file numbers it.
const ss::number_format_t* numberFormat(const ss::styles& styles, std::size_t identifier) {
    for (std::size_t i = 0; i < styles.get_number_format_count(); ++i) {
        const ss::number_format_t* format = styles.get_number_format(i);
        if (format != nullptr && format->identifier == identifier) {
            return format;
        }
    }
    return nullptr;
}

// Whether a number format shows a date: it has a day, month or year outside quoted text (for an
// .xlsx file, also one of the built-in date formats, which come without their text).
bool dateFormat(const ss::styles& styles, std::size_t identifier) {
    const ss::number_format_t* format = numberFormat(styles, identifier);
    if (format == nullptr || format->format_string.empty()) {
        return (identifier >= 14 && identifier <= 22) || (identifier >= 45 && identifier <= 47);
    }
    bool quoted = false;
    bool bracket = false;
    bool escaped = false;
    for (const char c : format->format_string) {
        if (escaped) {
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '[' || c == ']')) {
            bracket = c == '[';
        } else if (!quoted && !bracket && (c == 'd' || c == 'D' || c == 'y' || c == 'Y')) {
            return true;
        }
    }
    return false;
}

std::string shownNumber(double value) {
    char text[40];
    if (std::fabs(value) < 1e15 && value == std::floor(value)) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        for (int digits = 1; digits <= 17; ++digits) {
            std::snprintf(text, sizeof text, "%.*g", digits, value);
            if (std::strtod(text, nullptr) == value) {
                break;
            }
        }
    }
    std::string shown = text;
    for (char& c : shown) {
        c = c == '.' ? ',' : c;
    }
    return shown;
}

std::string shownDate(const orcus::date_time_t& date) {
    char text[40];
    if (date.hour == 0 && date.minute == 0 && date.second < 0.5) {
        std::snprintf(text, sizeof text, "%d.%d.%d", date.day, date.month, date.year);
    } else {
        std::snprintf(text, sizeof text, "%d.%d.%d %d:%02d", date.day, date.month, date.year,
                      date.hour, date.minute);
    }
    return text;
}

std::string columnName(std::int32_t column) {
    std::string name;
    for (std::int32_t n = column + 1; n > 0; n = (n - 1) / 26) {
        name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
    }
    return name;
}

}  // namespace

struct SheetReader::Workbook {
    std::optional<OdsSheet> ods;
    ss::document document{ss::range_size_t{1'048'576, 16'384}};
    const ss::sheet* sheet = nullptr;
    ss::sheet_t index = 0;
    std::vector<std::string> cells;
};

std::optional<WorkbookKind> workbookKind(const std::filesystem::path& path) {
    {
        std::ifstream in(path, std::ios::binary);
        char start[4] = {};
        if (!in.read(start, sizeof start) || std::string_view(start, 4) != zipSignature) {
            return std::nullopt;
        }
    }
    const std::string bytes = fileBytes(path);
    try {
        switch (orcus::detect(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
            case orcus::format_t::ods:
                return WorkbookKind::Ods;
            case orcus::format_t::xlsx:
                return WorkbookKind::Xlsx;
            default:
                return std::nullopt;
        }
    } catch (const std::exception&) {
        return std::nullopt;  // a zip archive of something else
    }
}

SheetReader::SheetReader(const std::filesystem::path& path, WorkbookKind kind,
                         const std::optional<std::string>& sheet)
    : workbook_(std::make_unique<Workbook>()) {
    std::error_code error;
    size_ = std::filesystem::file_size(path, error);
    if (kind == WorkbookKind::Ods) {
        // Read here rather than by orcus, which keeps only a cell's last paragraph and not
        // the text a number or date is shown as.
        try {
            workbook_->ods.emplace(path, sheet);
        } catch (const std::runtime_error& failure) {
            throw std::runtime_error(path.string() + ": " + failure.what());
        }
        sheetName_ = workbook_->ods->name();
        return;
    }
    try {
        ss::import_factory factory(workbook_->document);
        orcus::orcus_xlsx filter(&factory);
        filter.read_file(path.string());
    } catch (const std::exception& failure) {
        throw std::runtime_error(path.string() + ": can't be read as xlsx (" + failure.what() +
                                 ")");
    }
    ss::document& document = workbook_->document;
    if (document.get_sheet_count() == 0) {
        throw std::runtime_error(path.string() + ": the workbook has no sheet");
    }
    if (sheet) {
        const ss::sheet_t index = document.get_sheet_index(*sheet);
        if (index < 0) {
            std::string names;
            for (std::size_t i = 0; i < document.get_sheet_count(); ++i) {
                names += std::string(i == 0 ? "" : ", ") + "\"" +
                         std::string(document.get_sheet_name(static_cast<ss::sheet_t>(i))) + "\"";
            }
            throw std::runtime_error(path.string() + ": the workbook has no sheet \"" + *sheet +
                                     "\", only " + names);
        }
        workbook_->index = index;
    }
    workbook_->sheet = document.get_sheet(workbook_->index);
    sheetName_ = std::string(document.get_sheet_name(workbook_->index));
    const ixion::abs_range_t range = document.get_model_context().get_data_range(workbook_->index);
    if (range.valid()) {
        rows_ = range.last.row + 1;
        columns_ = range.last.column + 1;
    }
}

SheetReader::~SheetReader() = default;

std::uint64_t SheetReader::bytesTaken() const {
    if (workbook_->ods) {
        return static_cast<std::uint64_t>(static_cast<double>(size_) * workbook_->ods->progress());
    }
    return rows_ == 0 ? size_ : size_ * static_cast<std::uint64_t>(row_) / rows_;
}

bool SheetReader::next(CsvRecord& record) {
    record.droppedEmpty = true;
    if (workbook_->ods) {
        std::vector<std::string>& cells = workbook_->cells;
        bool hasMore = false;
        if (!workbook_->ods->next(cells, record.line, mostFields_, hasMore)) {
            return false;
        }
        record.count = cells.size() + (hasMore ? 1 : 0);
        record.droppedEmpty = !hasMore;
        if (record.fields.size() < cells.size()) {
            record.fields.resize(cells.size());
        }
        std::move(cells.begin(), cells.end(), record.fields.begin());
        return true;
    }
    if (row_ >= rows_) {
        return false;
    }
    const ss::document& document = workbook_->document;
    const ixion::model_context& context = document.get_model_context();
    const ss::styles& styles = document.get_styles();
    record.count = 0;
    record.line = static_cast<std::uint64_t>(row_) + 1;
    const std::size_t kept = std::min(static_cast<std::size_t>(columns_), mostFields_);
    if (record.fields.size() < kept) {
        record.fields.resize(kept);
    }
    for (std::int32_t column = 0; column < columns_; ++column) {
        const ixion::abs_address_t address(workbook_->index, row_, column);
        std::string text;
        switch (context.get_celltype(address)) {
            case ixion::celltype_t::string:
                text = context.get_string_value(address);
                break;
            case ixion::celltype_t::numeric: {
                const ss::cell_format_t* cell =
                    styles.get_cell_format(workbook_->sheet->get_cell_format(row_, column));
                text = cell != nullptr && dateFormat(styles, cell->number_format)
                           ? shownDate(workbook_->sheet->get_date_time(row_, column))
                           : shownNumber(context.get_numeric_value(address));
                break;
            }
            case ixion::celltype_t::boolean:
                text = context.get_boolean_value(address) ? "PRAVDA" : "NEPRAVDA";
                break;
            case ixion::celltype_t::formula:
                throw CsvError(record.line, "cell " + columnName(column) +
                                                std::to_string(record.line) +
                                                " holds a formula; save its result as a value");
            default:
                break;
        }
        if (!text.empty()) {
            record.count = static_cast<std::size_t>(column) + 1;  // up to the last with text
        }
        if (static_cast<std::size_t>(column) < kept) {
            record.fields[static_cast<std::size_t>(column)] = std::move(text);
        } else if (!text.empty()) {
            record.droppedEmpty = false;
        }
    }
    ++row_;
    return true;
}

}  // namespace quorvel::tools
