#include "workbooks/SheetReader.h"

#include <orcus/format_detection.hpp>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "workbooks/OdsSheet.h"
#include "workbooks/XlsxSheet.h"

namespace quorvel::tools {

namespace {

// Zip archives, as both kinds are, start so.
constexpr std::string_view zipSignature = "PK\x03\x04";

}  // namespace

struct SheetReader::Workbook {
    std::optional<OdsSheet> ods;
    std::optional<XlsxSheet> xlsx;
    std::vector<std::string> cells;
};

std::optional<WorkbookKind> workbookKind(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    char start[4] = {};
    if (!in.read(start, sizeof start) || std::string_view(start, 4) != zipSignature) {
        return std::nullopt;
    }
    in.seekg(0);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        switch (orcus::detect(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size())) {
            case orcus::format_t::ods:
                return WorkbookKind::Ods;
            case orcus::format_t::xlsx:
                return WorkbookKind::Xlsx;
            default:
                break;
        }
    } catch (const std::exception&) {
    }
    // No CSV file starts as a zip archive does: read as one it would only be refused for bytes
    // that say nothing of what is wrong.
    throw std::runtime_error(path.string() +
                             ": a zip archive, but no workbook that can be read (.ods or .xlsx); "
                             "it may be damaged");
}

SheetReader::SheetReader(const std::filesystem::path& path, WorkbookKind kind,
                         const std::optional<std::string>& sheet)
    : workbook_(std::make_unique<Workbook>()) {
    std::error_code error;
    size_ = std::filesystem::file_size(path, error);
    try {
        if (kind == WorkbookKind::Ods) {
            sheetName_ = workbook_->ods.emplace(path, sheet).name();
        } else {
            sheetName_ = workbook_->xlsx.emplace(path, sheet).name();
        }
    } catch (const std::runtime_error& failure) {
        throw std::runtime_error(path.string() + ": " + failure.what());
    }
}

SheetReader::~SheetReader() = default;

std::uint64_t SheetReader::bytesTaken() const {
    const double share = workbook_->ods ? workbook_->ods->progress() : workbook_->xlsx->progress();
    return static_cast<std::uint64_t>(static_cast<double>(size_) * share);
}

bool SheetReader::next(CsvRecord& record) {
    std::vector<std::string>& cells = workbook_->cells;
    bool hasMore = false;
    bool read = false;
    try {
        read = workbook_->ods ? workbook_->ods->next(cells, record.line, mostFields_, hasMore)
                              : workbook_->xlsx->next(cells, record.line, mostFields_, hasMore);
    } catch (const std::runtime_error& error) {
        throw CsvError(
            workbook_->ods ? workbook_->ods->rowReached() : workbook_->xlsx->rowReached(),
            error.what());
    }
    if (!read) {
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

}  // namespace quorvel::tools
