// The file an export writes. It is made under a hidden temporary name in the target's own
// directory and takes the name asked for only when complete and on the disk, so a run that
// fails (a full disk, a file size limit, a damaged catalogue) never leaves a partial file under
// that name: the temporary file is removed instead. An existing file of that name is never
// overwritten, as qvtool overwrites nothing.
#pragma once

#include <filesystem>
#include <string_view>

namespace quorvel::tools {

class CsvTargetFile {
  public:
    // Throws std::runtime_error ("TARGET: reason"): the target exists already, or the
    // temporary file can't be made beside it.
    explicit CsvTargetFile(std::filesystem::path target);
    // Removes the temporary file unless commit() succeeded.
    ~CsvTargetFile();
    CsvTargetFile(const CsvTargetFile&) = delete;
    CsvTargetFile& operator=(const CsvTargetFile&) = delete;

    // Appends bytes, all of them or a failure: a short write is retried, and a write that
    // stores nothing (a full disk) raises "TARGET: reason".
    void write(std::string_view bytes);
    // The temporary file's path, for a writer that opens the file by name (it is created empty,
    // so such a writer may overwrite it).
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    // Syncs and closes the file and gives it the target's name, refusing if a file of that
    // name appeared meanwhile. Throws std::runtime_error.
    void commit();

  private:
    [[noreturn]] void fail(int error) const;

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

}  // namespace quorvel::tools
