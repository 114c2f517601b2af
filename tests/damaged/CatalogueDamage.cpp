#include "CatalogueDamage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <utility>

#include "SplitMix64.h"
#include "engine/CatalogueSchema.h"

namespace quorvel::testing {

namespace {

using tools::SplitMix64;

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The page size the file's header states, or 4096 when the header is no SQLite header.
std::size_t pageSizeOf(const std::string& bytes) {
    if (bytes.size() < 100) {
        return 4096;
    }
    const unsigned size =
        (static_cast<unsigned char>(bytes[16]) << 8) | static_cast<unsigned char>(bytes[17]);
    if (size == 1) {
        return 65536;
    }
    return size >= 512 && (size & (size - 1)) == 0 ? size : 4096;
}

// The fields of an SQLite file header: offset and length.
struct HeaderField {
    std::size_t offset;
    std::size_t length;
};
constexpr std::array<HeaderField, 22> headerFields{{
    {0, 16},                    // magic text
    {16, 2},                    // page size
    {18, 1},                    // write version (2: WAL)
    {19, 1},                    // read version
    {20, 1},                    // reserved bytes per page
    {21, 1},                    // payload fractions
    {22, 1}, {23, 1}, {24, 4},  // change counter
    {28, 4},                    // size in pages
    {32, 4},                    // first freelist page
    {36, 4},                    // freelist pages
    {40, 4},                    // schema cookie
    {44, 4},                    // schema format
    {48, 4},                    // cache size
    {52, 4},                    // largest root page (auto-vacuum)
    {56, 4},                    // text encoding
    {60, 4},                    // user version (our format version)
    {64, 4},                    // incremental vacuum
    {68, 4},                    // application id
    {92, 4},                    // version-valid-for
    {96, 4},                    // SQLite version
}};

// Values a field is set to besides random ones: the edges parsers trip on.
constexpr std::array<std::uint32_t, 8> edgeValues{0,          1,          2,          3,
                                                  0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x10000};

}  // namespace

const char* nameOf(DamageKind kind) {
    static constexpr std::array<const char*, damageKindCount> names{
        "truncated",     "bytes flipped", "pages swapped", "header changed",
        "files swapped", "empty file",    "text file"};
    return names.at(static_cast<std::size_t>(kind));
}

CatalogueDamage::CatalogueDamage(DamageKind kind, std::uint64_t seed) : kind_(kind), seed_(seed) {}

std::string CatalogueDamage::apply(const std::filesystem::path& directory) const {
    const std::filesystem::path rows = directory / schema::rowsFileName;
    const std::filesystem::path memos = directory / schema::memoFileName;
    if (kind_ == DamageKind::FilesSwapped) {
        const std::filesystem::path aside = directory / "swap";
        std::filesystem::rename(rows, aside);
        std::filesystem::rename(memos, rows);
        std::filesystem::rename(aside, memos);
        return "qv.db and qv.mb swapped";
    }
    SplitMix64 random(seed_);
    // qv.db, qv.mb or both, each with damage of its own.
    const std::uint64_t which = random.below(3);
    std::string description;
    for (const std::filesystem::path& path : {rows, memos}) {
        const bool isRows = path == rows;
        if ((which == 0 && !isRows) || (which == 1 && isRows)) {
            continue;
        }
        std::string bytes = readBytes(path);
        description += path.filename().string() + ": " + damageFile(bytes, random.next()) + "; ";
        writeBytes(path, bytes);
    }
    return description;
}

std::string CatalogueDamage::damageFile(std::string& bytes, std::uint64_t seed) const {
    SplitMix64 random(seed);
    const std::size_t pageSize = pageSizeOf(bytes);
    const std::size_t pages = std::max<std::size_t>(1, bytes.size() / pageSize);
    switch (kind_) {
        case DamageKind::Truncated: {
            std::size_t length = 0;
            switch (random.below(4)) {
                case 0:
                    length = random.below(pages) * pageSize;  // at a page boundary
                    break;
                case 1:
                    length = random.below(101);  // inside or just after the header
                    break;
                case 2:
                    length =
                        bytes.size() - 1 - random.below(std::min<std::size_t>(bytes.size(), 16));
                    break;
                default:
                    length = random.below(bytes.size());
            }
            bytes.resize(length);
            return "truncated to " + std::to_string(length);
        }
        case DamageKind::BytesFlipped: {
            const std::uint64_t count = random.between(1, 32);
            // A third of the cases stay on the first page: the header and the schema's b-tree.
            const std::size_t span =
                random.oneIn(3) ? std::min(pageSize, bytes.size()) : bytes.size();
            std::string offsets;
            for (std::uint64_t flip = 0; flip < count; ++flip) {
                const std::size_t at = random.below(span);
                bytes[at] =
                    static_cast<char>(bytes[at] ^ static_cast<char>(random.between(1, 255)));
                offsets += std::to_string(at) + " ";
            }
            return "bytes flipped at " + offsets;
        }
        case DamageKind::PagesSwapped: {
            if (pages < 2) {
                return "one page only, nothing swapped";
            }
            const std::size_t first = random.below(pages);
            std::size_t second = random.below(pages - 1);
            second += second >= first ? 1 : 0;
            for (std::size_t at = 0; at < pageSize; ++at) {
                std::swap(bytes[first * pageSize + at], bytes[second * pageSize + at]);
            }
            return "pages " + std::to_string(first + 1) + " and " + std::to_string(second + 1) +
                   " swapped";
        }
        case DamageKind::HeaderChanged: {
            const HeaderField field = headerFields.at(random.below(headerFields.size()));
            std::uint64_t value =
                random.oneIn(2) ? edgeValues.at(random.below(edgeValues.size())) : random.next();
            for (std::size_t at = field.offset + field.length; at > field.offset; --at) {
                bytes[at - 1] = static_cast<char>(value & 0xFF);  // big-endian, as SQLite's
                value >>= 8;
            }
            return "header field at " + std::to_string(field.offset) + " changed";
        }
        case DamageKind::EmptyFile:
            bytes.clear();
            return "emptied";
        case DamageKind::TextFile: {
            static constexpr std::array<const char*, 3> texts{
                "Vytisk;Cislo;Nejzajimavejsi_casti\r\nRespekt;12/2019;Rozhovor\r\n",
                "SQLite format 3 - jen text, žádná tabulka\n", "select * from qv\r\n"};
            const std::string text = texts.at(random.below(texts.size()));
            bytes.clear();
            for (std::uint64_t copy = random.between(1, 200); copy > 0; --copy) {
                bytes += text;
            }
            return "replaced by text";
        }
        case DamageKind::FilesSwapped:
            break;
    }
    return {};
}

}  // namespace quorvel::testing
