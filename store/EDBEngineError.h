// The engine's failure: a nonzero code, the entries of the engine's error stack, and a message
// built from both by fixed rules, so that what the user reads never depends on who raised it.
#pragma once

#include <string>
#include <vector>

#include "EngineCodes.h"
#include "Exceptions.h"

namespace quorvel {

// One entry of the engine's error stack. nativeCode is the underlying library's own code (0
// when the entry is the engine's); text is the entry's own text (a file name, a token, or the
// library's message).
struct EngineErrorEntry {
    EngineCode code = 0;
    int nativeCode = 0;
    std::string text;
};

class EDBEngineError : public EDatabaseError {
  public:
    // sessionActive false gives the initialisation message.
    EDBEngineError(EngineCode code, std::vector<EngineErrorEntry> entries,
                   bool sessionActive = true);
    // Raised by a helper on behalf of its caller: raisedAt is the helper's return address, so
    // the failure's code location is the helper's call, not the helper.
    EDBEngineError(EngineCode code, std::vector<EngineErrorEntry> entries, RaisedAt raisedAt);
    const char* kindName() const override { return "EDBEngineError"; }

    EngineCode errorCode() const { return code_; }
    const std::vector<EngineErrorEntry>& entries() const { return entries_; }
    bool isNotFound() const { return engineCategory(code_) == notFoundCategory; }

    // The message: the code's text, then per entry the entry code's text (entries without a
    // native code only) and the entry's text; each trimmed and cut to 128 characters, empty
    // lines and lines equal to an earlier one (ignoring case) left out, joined by CR LF.
    static std::string buildMessage(EngineCode code, const std::vector<EngineErrorEntry>& entries,
                                    bool sessionActive);

  private:
    EngineCode code_;
    std::vector<EngineErrorEntry> entries_;
};

}  // namespace quorvel
