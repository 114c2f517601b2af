// Files copied byte for byte and synced to the disk, by plain reads and writes, so that a
// failure carries the system's own error (a full disk says so, never a generic "Input/output
// error"); and files compared byte for byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

namespace quorvel::files {

// Copies from to a new file to (which must not exist) and syncs it to the disk. Throws
// std::filesystem::filesystem_error with the system's error; a partial copy is removed then.
void copySynced(const std::filesystem::path& from, const std::filesystem::path& to);

// Whether both files exist and hold the same bytes; false when either can't be read.
bool sameBytes(const std::filesystem::path& first, const std::filesystem::path& second);

// Writes a file's or a directory's changes to the disk. Throws std::filesystem::filesystem_error.
void syncToDisk(const std::filesystem::path& path);

// Whether the error is the disk (or the process's file size limit) having no more room.
bool isDiskFull(const std::error_code& error);

// Whether the file system of directory has less room left for this process than bytes.
bool lessRoomThan(const std::filesystem::path& directory, std::uintmax_t bytes);

// Why a file operation failed, in plain words: "the disk is full" for a full disk, else the
// system's own text.
std::string reasonOf(const std::filesystem::filesystem_error& failure);

}  // namespace quorvel::files
