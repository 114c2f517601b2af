#include "export/CatalogueExport.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

#include "engine/Database.h"
#include "engine/TableReadLock.h"
#include "export/CopySource.h"
#include "export/EngineFileSource.h"
#include "export/PlainFileSource.h"

namespace quorvel {

std::string export_text::removeFailed(const std::string& target) {
    return "Nepodařilo se odstranit špatně zkopírovaný soubor! Odstraňte ho prosím "
           "manuálně.(soubor " +
           target + ")";
}

namespace {

// A file as the kernel knows it: the same pair for every path, symlink or hard link to it.
struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> idOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileId{info.st_dev, info.st_ino};
}

// 0 for a file that isn't there: its copy fails at once and has nothing to count.
std::uint64_t sizeOfPath(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || info.st_size < 0) {
        return 0;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

// A file reached by a descriptor that reads and writes nothing (O_PATH): its identity can be
// checked before anything is done with it, and closing it drops no lock, since the kernel drops
// a process's POSIX locks on a file only when a descriptor that can read or write it closes. A
// table file is thus recognised without a descriptor of it ever being closed here.
class PathDescriptor {
  public:
    explicit PathDescriptor(const std::string& path)
        : fd_(::open(path.c_str(), O_PATH | O_CLOEXEC)) {}
    ~PathDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PathDescriptor(const PathDescriptor&) = delete;
    PathDescriptor& operator=(const PathDescriptor&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    std::optional<struct stat> status() const {
        struct stat info {};
        if (::fstat(fd_, &info) != 0) {
            return std::nullopt;
        }
        return info;
    }
    // The same file opened for reading or writing, whatever became of its path meanwhile.
    std::string reopenPath() const { return "/proc/self/fd/" + std::to_string(fd_); }

  private:
    int fd_;
};

// One of the files the engine has open, with its handle.
struct EngineFile {
    FileId id;
    sqlite3_file* handle;
};

std::optional<EngineFile> engineFile(sqlite3* db, const char* schemaName) {
    sqlite3_file* handle = nullptr;
    if (sqlite3_file_control(db, schemaName, SQLITE_FCNTL_FILE_POINTER, &handle) != SQLITE_OK ||
        handle == nullptr || handle->pMethods == nullptr) {
        return std::nullopt;
    }
    const char* name = sqlite3_db_filename(db, schemaName);
    if (name == nullptr || *name == '\0') {
        return std::nullopt;
    }
    const std::optional<FileId> id = idOfPath(name);
    if (!id) {
        return std::nullopt;
    }
    return EngineFile{*id, handle};
}

// Asked of one in-kernel copy: the kernel moves the bytes in batches of its own, and a few calls
// for the largest file leave the user waiting for nothing but the disk.
constexpr std::size_t inKernelStep = std::size_t{1} << 30;

// One export: the lock, what is known of the table's files, how far the copy is, and the
// messages so far.
class ExportRun {
  public:
    ExportRun(sqlite3* db, CopyIo& io, std::size_t step, const std::string (&sources)[2],
              const CopyProgress& progress)
        : io_(io), buffer_(step), progress_(progress) {
        try {
            lock_.emplace(db);
        } catch (const CopyFailure&) {
            // Without the lock the engine's files can't be read consistently: each copy of one
            // fails as a source that can't be opened, touching no target.
        }
        for (const char* schemaName : {TableReadLock::rowsSchema, TableReadLock::memoSchema}) {
            if (std::optional<EngineFile> file = engineFile(db, schemaName)) {
                engineFiles_.push_back(*file);
                tableFiles_.push_back(file->id);
            }
        }
        for (const std::string& source : sources) {
            if (std::optional<FileId> id = idOfPath(source)) {
                tableFiles_.push_back(*id);
            }
            // Under the lock the engine's files keep this size until the copy ends.
            total_ += sizeOfPath(source);
        }
    }

    ~ExportRun() {
        lock_.reset();
        // Only now, with the engine's lock released, may a descriptor of a table file close.
        for (const int fd : parked_) {
            ::close(fd);
        }
    }
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;

    void copyDataFile(const std::string& source, const std::string& target) {
        // The progress goes on from this file's end, however its copy ended.
        fileSize_ = std::min(sizeOfPath(source), total_ - done_);
        copyFile(source, target);
        done_ += fileSize_;
    }

    std::vector<std::string> takeMessages() { return std::move(messages_); }

  private:
    void copyFile(const std::string& source, const std::string& target) {
        std::unique_ptr<CopySource> input;
        try {
            input = openSource(source);
        } catch (const CopyFailure&) {
            messages_.push_back(export_text::copyFailed);
            return;
        }
        struct stat info {};
        const int fd = openTarget(target, info);
        if (fd < 0) {
            messages_.push_back(export_text::copyFailed);
            return;
        }
        bool copied = true;
        try {
            // Only an existing file with bytes in it is truncated: a device or pipe has nothing
            // to cut, and on ext4 truncating even an empty file makes close start writing the
            // whole new copy out, which the user would wait for.
            if (S_ISREG(info.st_mode) && info.st_size > 0 && ::ftruncate(fd, 0) != 0) {
                throw CopyFailure(std::string("truncate: ") + std::strerror(errno));
            }
            copyBytes(*input, fd);
            input->close();
        } catch (const CopyFailure&) {
            copied = false;
        }
        input.reset();
        if (::close(fd) != 0) {
            copied = false;
        }
        if (!copied) {
            messages_.push_back(export_text::copyFailed);
            if (!io_.remove(target)) {
                messages_.push_back(export_text::removeFailed(target));
            }
        }
    }

    bool isTableFile(const FileId& id) const {
        for (const FileId& table : tableFiles_) {
            if (table == id) {
                return true;
            }
        }
        return false;
    }

    std::unique_ptr<CopySource> openSource(const std::string& source) {
        const PathDescriptor file(source);
        const std::optional<struct stat> info = file.isOpen() ? file.status() : std::nullopt;
        if (!info) {
            throw CopyFailure("no such file");
        }
        const FileId id{info->st_dev, info->st_ino};
        for (const EngineFile& engineFile : engineFiles_) {
            if (engineFile.id == id) {
                if (!lock_) {
                    throw CopyFailure("the table's files can't be locked");
                }
                return std::make_unique<EngineFileSource>(engineFile.handle, id.device, id.inode);
            }
        }
        return std::make_unique<PlainFileSource>(file.reopenPath());
    }

    // Opens target for writing, without truncating it, and fills info; -1 when it can't be
    // opened or is one of the table's files, which is then left exactly as it was. An existing
    // file is recognised by a path-only descriptor before anything opens it for writing.
    int openTarget(const std::string& target, struct stat& info) {
        const PathDescriptor existing(target);
        if (existing.isOpen()) {
            const std::optional<struct stat> status = existing.status();
            if (!status || isTableFile({status->st_dev, status->st_ino})) {
                return -1;
            }
            info = *status;
            return ::open(existing.reopenPath().c_str(), O_WRONLY | O_CLOEXEC);
        }
        if (errno != ENOENT) {
            return -1;
        }
        // A new file, or one made through a dangling link: none of the table's, unless one was
        // linked to that name in between, which is then parked like a target refused late.
        const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
        if (fd >= 0 && (::fstat(fd, &info) != 0 || isTableFile({info.st_dev, info.st_ino}))) {
            parked_.push_back(fd);
            return -1;
        }
        return fd;
    }

    void copyBytes(CopySource& input, int target) {
        std::uint64_t offset = 0;
        // Inside the kernel while the files allow it, then by reads and writes from where that
        // stopped: the target's end is always at offset.
        const std::size_t kernelStep = progress_ ? CatalogueExport::progressStep : inKernelStep;
        while (std::optional<std::size_t> copied =
                   io_.copyRange(input, offset, target, kernelStep)) {
            if (*copied == 0) {
                return;
            }
            offset += *copied;
            report(offset);
        }
        for (;;) {
            const std::size_t read = io_.read(input, offset, buffer_);
            if (read == 0) {
                return;
            }
            if (read > buffer_.size()) {
                throw CopyFailure("read more than asked");
            }
            const std::size_t written =
                io_.write(target, std::span<const std::byte>(buffer_.data(), read));
            if (written != read) {
                throw CopyFailure("short write");
            }
            offset += read;
            report(offset);
        }
    }

    // offset: the bytes of the current file copied so far.
    void report(std::uint64_t offset) {
        if (!progress_) {
            return;
        }
        try {
            progress_(done_ + std::min(offset, fileSize_), total_);
        } catch (...) {
            throw CopyFailure("the progress report failed");
        }
    }

    CopyIo& io_;
    std::vector<std::byte> buffer_;
    const CopyProgress& progress_;
    std::uint64_t total_ = 0;     // both sources' bytes when the export began
    std::uint64_t done_ = 0;      // of the files before the current one
    std::uint64_t fileSize_ = 0;  // the current file's share of total_
    std::optional<TableReadLock> lock_;
    std::vector<EngineFile> engineFiles_;
    std::vector<FileId> tableFiles_;
    // Descriptors of targets that proved to be table files, closed after the lock is released.
    std::vector<int> parked_;
    std::vector<std::string> messages_;
};

}  // namespace

CatalogueExport::CatalogueExport(Database& database) : CatalogueExport(database, realIo_) {}

CatalogueExport::CatalogueExport(Database& database, CopyIo& io, std::size_t step)
    : database_(database), io_(io), step_(step > 0 ? step : defaultStep) {}

std::vector<std::string> CatalogueExport::run(const std::string& startDir, const std::string& base,
                                              const CopyProgress& progress) {
    const std::string sources[2] = {startDir + "/qv.db", startDir + "/qv.mb"};
    ExportRun copy(database_.handle(), io_, step_, sources, progress);
    copy.copyDataFile(sources[0], base + ".db");
    copy.copyDataFile(sources[1], base + ".mb");
    return copy.takeMessages();
}

}  // namespace quorvel
