#include "check/CatalogueReadings.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "EDBEngineError.h"
#include "engine/CatalogueSchema.h"
#include "files/FileCopy.h"
#include "sqlite/SqliteConnection.h"
#include "sqlite/SqliteStatement.h"
#include "sqlite/TolerantStatement.h"

namespace quorvel::check {

namespace {

constexpr std::array<const char*, 2> catalogueFiles{schema::rowsFileName, schema::memoFileName};

// A rollback journal's header and the end of its super-journal record begin with these bytes.
constexpr std::array<unsigned char, 8> journalMagic{0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};
// SQLite's reserved lock: the byte after its pending byte, at 1 GiB.
constexpr off_t reservedByte = 0x40000001;

struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// count bytes of path at offset; empty when they can't all be read.
std::string bytesAt(const std::filesystem::path& path, off_t offset, std::size_t count) {
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    std::string bytes(count, '\0');
    if (file.fd < 0 ||
        ::pread(file.fd, bytes.data(), count, offset) != static_cast<ssize_t>(count)) {
        return {};
    }
    return bytes;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

bool inWalMode(const std::filesystem::path& file) {
    const std::string versions = bytesAt(file, 18, 2);
    return versions.size() == 2 && (versions[0] == 2 || versions[1] == 2);
}

std::uintmax_t sizeOf(const std::filesystem::path& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Whether another process is writing the file: it holds SQLite's reserved lock. Asked through
// an open file description of our own, which this process holds no lock through.
bool writeUnderWay(const std::filesystem::path& file) {
    Descriptor fd{::open(file.c_str(), O_RDONLY | O_CLOEXEC)};
    if (fd.fd < 0) {
        return false;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = reservedByte;
    lock.l_len = 1;
    return ::fcntl(fd.fd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
}

// The super-journal a journal names (its record ends the journal), or empty when it names none.
std::string superJournalOf(const std::filesystem::path& journal, std::uintmax_t& recordSize) {
    recordSize = 0;
    const std::uintmax_t size = sizeOf(journal);
    if (size < 16 + 28) {
        return {};
    }
    const std::string tail = bytesAt(journal, static_cast<off_t>(size - 16), 16);
    if (tail.size() != 16 ||
        std::memcmp(tail.data() + 8, journalMagic.data(), journalMagic.size()) != 0) {
        return {};
    }
    const std::uint32_t length = bigEndian(tail, 0);
    if (length == 0 || length + 20 > size - 28) {
        return {};
    }
    recordSize = length + 20;
    return bytesAt(journal, static_cast<off_t>(size - 16 - length), length);
}

// Whether the journal beside file is hot: SQLite's next opening rolls it back into the file.
bool hotJournal(const std::filesystem::path& file) {
    const std::filesystem::path journal = file.string() + "-journal";
    const std::string header = bytesAt(journal, 0, journalMagic.size());
    if (header.size() != journalMagic.size() ||
        std::memcmp(header.data(), journalMagic.data(), journalMagic.size()) != 0 ||
        sizeOf(file) == 0 || writeUnderWay(file)) {
        return false;
    }
    std::uintmax_t record = 0;
    const std::string super = superJournalOf(journal, record);
    std::error_code error;
    return super.empty() || std::filesystem::exists(super, error);
}

// Opens the copies in directory for writing and reads both files' schemas: SQLite rolls a hot
// journal back, and leaving WAL mode folds the WAL in. Gives SQLite's message when it fails.
std::string settle(const std::filesystem::path& directory) {
    try {
        sqlite::Connection connection(directory / schema::rowsFileName, {});
        connection.attach(directory / schema::memoFileName, "mb", sqlite::Access::ReadWrite);
        for (const char* sql :
             {"SELECT count(*) FROM main.sqlite_master", "SELECT count(*) FROM mb.sqlite_master",
              "PRAGMA main.journal_mode=DELETE", "PRAGMA mb.journal_mode=DELETE"}) {
            sqlite::execute(connection.handle(), sql);
        }
    } catch (const EDBEngineError& failure) {
        return failure.entries().front().text;
    }
    return "";
}

}  // namespace

bool CatalogueReadings::needed(const std::filesystem::path& directory) {
    for (const char* name : catalogueFiles) {
        if (inWalMode(directory / name) || hotJournal(directory / name)) {
            return true;
        }
    }
    return false;
}

bool CatalogueReadings::hasWal(const std::filesystem::path& directory) {
    for (const char* name : catalogueFiles) {
        if (sizeOf(directory / (std::string(name) + "-wal")) > 0) {
            return true;
        }
    }
    return false;
}

CatalogueReadings::CatalogueReadings(const std::filesystem::path& directory,
                                     const std::filesystem::path& parent) {
    std::string pattern = (parent / ".qv-repair-readings-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::filesystem::filesystem_error("can't be made", pattern,
                                                std::error_code(errno, std::generic_category()));
    }
    root_ = pattern;
    try {
        asFound_ = root_ / "as-found";
        std::filesystem::create_directory(asFound_);
        for (const char* name : catalogueFiles) {
            if (hotJournal(directory / name)) {
                journaled_.emplace_back(name);
            }
        }
        if (!journaled_.empty()) {
            rolledBack_ = root_ / "rolled-back";
            std::filesystem::create_directory(*rolledBack_);
        }
        for (const char* name : catalogueFiles) {
            const std::filesystem::path file = directory / name;
            if (!std::filesystem::exists(file)) {
                continue;
            }
            const std::filesystem::path wal = file.string() + "-wal";
            for (const auto& reading : {std::optional(asFound_), rolledBack_}) {
                if (!reading) {
                    continue;
                }
                files::copySynced(file, *reading / name);
                if (sizeOf(wal) > 0) {
                    files::copySynced(wal, *reading / wal.filename());
                }
            }
            if (rolledBack_ && hotJournal(file)) {
                // The copy's journal names no super-journal: the one it names belongs beside
                // the originals, and SQLite would look there, and maybe remove it.
                const std::filesystem::path journal = file.string() + "-journal";
                const std::filesystem::path copy = *rolledBack_ / journal.filename();
                files::copySynced(journal, copy);
                std::uintmax_t record = 0;
                if (!superJournalOf(journal, record).empty()) {
                    std::filesystem::resize_file(copy, sizeOf(copy) - record);
                }
            }
        }
        settle(asFound_);
        if (rolledBack_) {
            rollbackFailure_ = settle(*rolledBack_);
            std::error_code error;
            for (const char* name : catalogueFiles) {
                if (std::filesystem::exists(*rolledBack_ / (std::string(name) + "-journal"),
                                            error)) {
                    rollbackFailure_ = rollbackFailure_.empty()
                                           ? std::string(name) + "'s journal stays hot"
                                           : rollbackFailure_;
                }
            }
            if (!rollbackFailure_.empty()) {
                std::filesystem::remove_all(*rolledBack_, error);
                rolledBack_.reset();
            }
        }
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
        throw;
    }
}

CatalogueReadings::~CatalogueReadings() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void CatalogueReadings::keepRolledBack(const std::filesystem::path& to) {
    std::filesystem::rename(*rolledBack_, to);
    rolledBack_ = to;
}

std::optional<std::uint64_t> contentDigest(const std::filesystem::path& directory) {
    try {
        sqlite::Connection connection(directory / schema::rowsFileName,
                                      {sqlite::Access::ReadOnly, 0, {}});
        if (connection.tryAttach(directory / schema::memoFileName, "mb",
                                 sqlite::Access::ReadOnly) != SQLITE_OK) {
            return std::nullopt;
        }
        std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
        const auto mix = [&hash](const void* data, std::size_t size) {
            for (std::size_t i = 0; i < size; ++i) {
                hash = (hash ^ static_cast<const unsigned char*>(data)[i]) * 1099511628211ULL;
            }
        };
        bool whole = true;
        for (const char* sql :
             {"SELECT id, vytisk, cislo, nejzajimavejsi_casti FROM main.qv ORDER BY id",
              "SELECT id, obsah FROM mb.memo ORDER BY id"}) {
            sqlite::TolerantStatement rows(connection.handle(), sql);
            sqlite::TolerantStatement::Step step = sqlite::TolerantStatement::Step::Row;
            while ((step = rows.step()) == sqlite::TolerantStatement::Step::Row) {
                for (int c = 0; c < rows.columnCount(); ++c) {
                    const int type = rows.type(c);
                    mix(&type, sizeof type);
                    const std::string_view value = rows.bytes(c);
                    mix(value.data(), value.size());
                }
            }
            whole = whole && step == sqlite::TolerantStatement::Step::Done;
            mix(sql, 1);
        }
        return whole ? std::optional<std::uint64_t>(hash) : std::nullopt;
    } catch (const EDBEngineError&) {
        return std::nullopt;
    }
}

}  // namespace quorvel::check
