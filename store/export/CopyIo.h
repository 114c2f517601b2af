// The reads, writes and removals the export's copy is made of, in one place, so that a test can
// put a failing medium under the copy (an error at the Nth write, a short write, a removal that
// fails). The default is the real thing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>

namespace quorvel {

class CopySource;

// A read, write or close that failed; never shown to the user, the export reports its own text.
class CopyFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class CopyIo {
  public:
    virtual ~CopyIo() = default;
    // Up to buffer.size() bytes of source at offset; the count read, 0 at the end. Throws
    // CopyFailure.
    virtual std::size_t read(CopySource& source, std::uint64_t offset, std::span<std::byte> buffer);
    // Writes bytes to the open descriptor target; the count stored, fewer than asked when the
    // medium is full. Throws CopyFailure on an error.
    virtual std::size_t write(int target, std::span<const std::byte> bytes);
    // Copies up to count bytes of source at offset to target's current end inside the kernel
    // (copy_file_range), without passing them through the program; the count copied, 0 at the
    // end of source. nullopt when this pair of files can't be copied that way (no descriptor,
    // another kind of file system, a device); the copy then goes on with read and write from
    // the same offset. Throws CopyFailure on an error of either file.
    virtual std::optional<std::size_t> copyRange(CopySource& source, std::uint64_t offset,
                                                 int target, std::size_t count);
    // Removes the file path; false when it can't.
    virtual bool remove(const std::filesystem::path& path);
};

}  // namespace quorvel
