// A file the export's copy reads from: the engine's own handle of one of the table's files, or
// a file the copy opened itself. Reads are by offset, so a source never moves a file position
// that someone else relies on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quorvel {

class CopySource {
  public:
    virtual ~CopySource() = default;
    // Reads up to buffer.size() bytes at offset; the count read, 0 at the end of the file.
    // Throws CopyFailure.
    virtual std::size_t readAt(std::uint64_t offset, std::span<std::byte> buffer) = 0;
    // Ends the reading; a source opened by the copy closes its file here. Throws CopyFailure.
    virtual void close() {}
    // A descriptor of the file that the kernel can copy from at an offset, never closed by the
    // copy; -1 when there is none.
    virtual int descriptor() const { return -1; }
};

}  // namespace quorvel
