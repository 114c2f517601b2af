// A file path as an SQLite URI ("file:...?mode=rw"): the only way to ATTACH a file without
// SQLite creating it when it is missing.
#pragma once

#include <filesystem>
#include <string>

namespace quorvel::sqlite {

std::string fileUri(const std::filesystem::path& path, const char* mode);

}  // namespace quorvel::sqlite
