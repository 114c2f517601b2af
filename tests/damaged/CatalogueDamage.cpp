#include "CatalogueDamage.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <fstream>
#include <iterator>
#include <utility>

#include <sqlite3.h>

#include "catalogues/CatalogueGenerator.h"
#include "catalogues/SplitMix64.h"
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

// A connection of another program to a catalogue's files, qv.mb attached as mb; statements that
// fail are ignored (the damage then is what they managed).
class OtherProgram {
  public:
    explicit OtherProgram(const std::filesystem::path& directory) {
        sqlite3_open((directory / schema::rowsFileName).c_str(), &db_);
        run("ATTACH '" + (directory / schema::memoFileName).string() + "' AS mb");
    }
    ~OtherProgram() { sqlite3_close(db_); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    void run(const std::string& sql) { sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }

  private:
    sqlite3* db_ = nullptr;
};

// The files of from but the WAL's index copied into to, as a program killed now leaves them.
void copyFiles(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::filesystem::create_directories(to);
    for (const auto& entry : std::filesystem::directory_iterator(from)) {
        if (entry.is_regular_file() && !entry.path().string().ends_with("-shm")) {
            std::filesystem::copy_file(entry.path(), to / entry.path().filename(),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

}  // namespace

const char* nameOf(DamageKind kind) {
    static constexpr std::array<const char*, damageKindCount> names{
        "truncated",       "bytes flipped",  "pages swapped", "header changed",
        "files swapped",   "empty file",     "text file",     "WAL committed",
        "foreign journal", "user additions", "page 1 zeroed", "killed backup"};
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
    switch (kind_) {
        case DamageKind::WalCommitted:
            return leaveWal(directory);
        case DamageKind::ForeignJournal:
            return leaveForeignJournal(directory);
        case DamageKind::UserAdditions:
            return addUsersObjects(directory);
        case DamageKind::KilledDuringBackup:
            return leaveStoppedBackup(directory);
        default:
            break;
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
        case DamageKind::PageOneZeroed:
            std::fill(bytes.begin(),
                      bytes.begin() + static_cast<std::ptrdiff_t>(std::min(pageSize, bytes.size())),
                      '\0');
            return "page 1 zeroed";
        default:
            break;
    }
    return {};
}

std::string CatalogueDamage::flipSome(const std::filesystem::path& directory,
                                      std::uint64_t seed) const {
    SplitMix64 random(seed);
    if (random.oneIn(2)) {
        return "no bytes flipped";
    }
    const std::filesystem::path rows = directory / schema::rowsFileName;
    std::string bytes = readBytes(rows);
    const std::size_t pageSize = pageSizeOf(bytes);
    if (bytes.size() <= pageSize) {
        return "no page past the first";
    }
    std::string offsets;
    for (std::uint64_t flip = random.between(1, 8); flip > 0; --flip) {
        const std::size_t at = pageSize + random.below(bytes.size() - pageSize);
        bytes[at] = static_cast<char>(bytes[at] ^ static_cast<char>(random.between(1, 255)));
        offsets += std::to_string(at) + " ";
    }
    writeBytes(rows, bytes);
    return "qv.db bytes flipped at " + offsets;
}

// Edits committed in WAL mode by another program killed before it checkpointed them.
std::string CatalogueDamage::leaveWal(const std::filesystem::path& directory) const {
    SplitMix64 random(seed_);
    const std::filesystem::path running = directory / "running";
    copyFiles(directory, running);
    const std::uint64_t edits = random.between(1, 30);
    {
        OtherProgram other(running);
        other.run(
            "PRAGMA main.journal_mode=WAL; PRAGMA mb.journal_mode=WAL; "
            "PRAGMA wal_autocheckpoint=0");
        for (std::uint64_t edit = 0; edit < edits; ++edit) {
            const std::string id = std::to_string(random.between(1, 60));
            other.run("BEGIN; UPDATE main.qv SET cislo = 'wal " + id + "' WHERE id = " + id +
                      "; INSERT OR REPLACE INTO mb.memo(id, obsah) VALUES(" + id + ", 'wal memo " +
                      std::to_string(edit) + "'); COMMIT");
        }
        copyFiles(running, directory);
    }
    std::filesystem::remove_all(running);
    return std::to_string(edits) + " edits left in the WAL; " + flipSome(directory, random.next());
}

// The journals another catalogue's import left when it was killed, big enough that SQLite wrote
// part of it into that catalogue's files already, put beside qv.db, qv.mb or both.
std::string CatalogueDamage::leaveForeignJournal(const std::filesystem::path& directory) const {
    SplitMix64 random(seed_);
    const std::filesystem::path other = directory / "other";
    const std::filesystem::path killed = directory / "killed";
    std::filesystem::create_directories(other);
    tools::generateCatalogue(other, 300, random.next(), [](std::uint64_t) {});
    {
        OtherProgram program(other);
        program.run(
            "PRAGMA main.cache_size=5; PRAGMA mb.cache_size=5; BEGIN; "
            "INSERT INTO main.qv(vytisk, cislo, vytisk_key, cislo_key) "
            "SELECT vytisk, cislo, vytisk_key, cislo_key FROM main.qv; "
            "INSERT INTO mb.memo(id, obsah) SELECT id + 300, obsah FROM mb.memo");
        copyFiles(other, killed);
        program.run("ROLLBACK");
    }
    const std::uint64_t which = random.below(3);
    std::string description;
    for (const char* name : {schema::rowsFileName, schema::memoFileName}) {
        const bool isRows = std::string(name) == schema::rowsFileName;
        if ((which == 0 && !isRows) || (which == 1 && isRows)) {
            continue;
        }
        const std::string journal = std::string(name) + "-journal";
        if (std::filesystem::exists(killed / journal)) {
            std::filesystem::copy_file(killed / journal, directory / journal);
            description += journal + " of another catalogue; ";
        }
    }
    std::filesystem::remove_all(other);
    std::filesystem::remove_all(killed);
    return description;
}

// A column of the user's with values, a table of theirs and a trigger.
std::string CatalogueDamage::addUsersObjects(const std::filesystem::path& directory) const {
    SplitMix64 random(seed_);
    {
        OtherProgram user(directory);
        user.run(
            "ALTER TABLE main.qv ADD COLUMN poznamka TEXT; "
            "UPDATE main.qv SET poznamka = 'note ' || id WHERE id % 3 = 0; "
            "CREATE TABLE main.mine(a INTEGER PRIMARY KEY, b); "
            "INSERT INTO main.mine(b) VALUES ('x'), (x'00ff'), (NULL); "
            "CREATE TRIGGER main.stamp AFTER UPDATE ON qv BEGIN SELECT 1; END");
    }
    return "a column, a table and a trigger of the user's; " + flipSome(directory, random.next());
}

// What a repair killed while it copied the originals leaves: its partial copy under its
// temporary name, maybe its work directory, and the files as they were, maybe damaged.
std::string CatalogueDamage::leaveStoppedBackup(const std::filesystem::path& directory) const {
    SplitMix64 random(seed_);
    const std::filesystem::path keeping = directory / ".qv-keeping-qv-before-repair-2026-01-01";
    std::filesystem::create_directories(keeping);
    std::string rows = readBytes(directory / schema::rowsFileName);
    rows.resize(random.below(rows.size() + 1));
    writeBytes(keeping / schema::rowsFileName, rows);
    if (random.oneIn(2)) {
        std::filesystem::create_directories(directory / ".qv-repair-x1Y2z3");
        writeBytes(directory / ".qv-repair-x1Y2z3" / schema::rowsFileName, rows);
    }
    return "a partial copy of " + std::to_string(rows.size()) + " bytes left; " +
           flipSome(directory, random.next());
}

}  // namespace quorvel::testing
