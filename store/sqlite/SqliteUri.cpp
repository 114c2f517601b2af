#include "sqlite/SqliteUri.h"

#include <cctype>
#include <cstdio>

namespace quorvel::sqlite {

std::string fileUri(const std::filesystem::path& path, const char* mode) {
    const std::string absolute = std::filesystem::absolute(path).lexically_normal().string();
    std::string uri = "file:";
    for (const char c : absolute) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            uri += escaped;
        }
    }
    return uri + "?mode=" + mode;
}

}  // namespace quorvel::sqlite
