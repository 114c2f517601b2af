// The failure kinds of the catalogue store. Every failure of the system is an exception whose
// class carries the kind's name, so that the start-up failure report can name it and the
// default error handler can tell the silent kind (EAbort) from the rest.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace quorvel {

// Root of every failure the system raises itself. Remembers where it was raised, as an offset
// into the module that raised it, for the start-up failure report.
class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message);
    virtual const char* kindName() const { return "Exception"; }
    std::string message() const { return what(); }
    // Offset of the raising code within its module; 0 when unknown.
    std::uintptr_t raiseAddress() const { return raiseAddress_; }

  private:
    std::uintptr_t raiseAddress_;
};

// The silent failure: ends a handler without anything being shown.
class EAbort : public Exception {
  public:
    EAbort() : Exception("Operation aborted") {}
    const char* kindName() const override { return "EAbort"; }
};

class EDatabaseError : public Exception {
  public:
    using Exception::Exception;
    const char* kindName() const override { return "EDatabaseError"; }
};

// The engine gave no cursor for a statement.
class ENoResultSet : public EDatabaseError {
  public:
    using EDatabaseError::EDatabaseError;
    const char* kindName() const override { return "ENoResultSet"; }
};

}  // namespace quorvel
