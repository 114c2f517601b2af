#include "EDBEngineError.h"

#include <cstdio>

#include "text/Utf8.h"

namespace quorvel {

namespace {

std::string hexCode(const char* format, EngineCode code) {
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(code));
    return buffer;
}

void addLine(std::vector<std::string>& lines, const std::string& text) {
    std::string line = utf8::trim(utf8::left(text, 128));
    if (line.empty()) {
        return;
    }
    for (const std::string& present : lines) {
        if (utf8::equalsIgnoringCase(present, line)) {
            return;
        }
    }
    lines.push_back(std::move(line));
}

}  // namespace

// Out of line, so that its return address is the throw statement's.
[[gnu::noinline]] EDBEngineError::EDBEngineError(EngineCode code,
                                                 std::vector<EngineErrorEntry> entries,
                                                 bool sessionActive)
    : EDatabaseError(buildMessage(code, entries, sessionActive),
                     RaisedAt{__builtin_return_address(0)}),
      code_(code),
      entries_(std::move(entries)) {}

EDBEngineError::EDBEngineError(EngineCode code, std::vector<EngineErrorEntry> entries,
                               RaisedAt raisedAt)
    : EDatabaseError(buildMessage(code, entries, true), raisedAt),
      code_(code),
      entries_(std::move(entries)) {}

std::string EDBEngineError::buildMessage(EngineCode code,
                                         const std::vector<EngineErrorEntry>& entries,
                                         bool sessionActive) {
    if (!sessionActive) {
        return hexCode(
            "An error occurred while attempting to initialize the database engine (error $%.4x)",
            code);
    }
    std::vector<std::string> lines;
    addLine(lines, engineCodeText(code));
    for (const EngineErrorEntry& entry : entries) {
        if (entry.nativeCode == 0) {
            addLine(lines, engineCodeText(entry.code));
        }
        addLine(lines, entry.text);
    }
    if (lines.empty()) {
        return hexCode("Database engine error $%.4x", code);
    }
    std::string message = lines.front();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        message += "\r\n" + lines[i];
    }
    return message;
}

}  // namespace quorvel
