// A source file that the copy opens itself, by its path, as the export always has: for reading
// and writing, so a read-only file is refused as unreadable. Only for a file that is none of the
// engine's own: closing a descriptor of those would drop the engine's locks.
#pragma once

#include <filesystem>

#include "export/CopySource.h"

namespace quorvel {

class PlainFileSource : public CopySource {
  public:
    // Throws CopyFailure when the file can't be opened.
    explicit PlainFileSource(const std::filesystem::path& path);
    ~PlainFileSource() override;
    PlainFileSource(const PlainFileSource&) = delete;
    PlainFileSource& operator=(const PlainFileSource&) = delete;

    std::size_t readAt(std::uint64_t offset, std::span<std::byte> buffer) override;
    void close() override;
    int descriptor() const override { return fd_; }

  private:
    int fd_;
};

}  // namespace quorvel
