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
//
// The raise site is the caller of the public constructor of the class actually raised: each
// such constructor is kept out of line and hands its own return address down through the
// protected constructors, so every throw statement gets a number of its own, whatever the
// depth of the class and whatever the compiler inlines.
class Exception : public std::runtime_error {
  public:
    [[gnu::noinline]] explicit Exception(const std::string& message)
        : Exception(message, RaisedAt{__builtin_return_address(0)}) {}
    virtual const char* kindName() const { return "Exception"; }
    std::string message() const { return what(); }
    // Offset of the raising call within its module, for addr2line against that module; 0 when
    // unknown.
    std::uintptr_t raiseAddress() const { return raiseAddress_; }

    // The return address of the public constructor the throw statement called, or of a helper
    // that raises on its caller's behalf.
    struct RaisedAt {
        const void* returnAddress;
    };

  protected:
    Exception(const std::string& message, RaisedAt raisedAt);

  private:
    std::uintptr_t raiseAddress_;
};

// The silent failure: ends a handler without anything being shown.
class EAbort : public Exception {
  public:
    [[gnu::noinline]] EAbort()
        : Exception("Operation aborted", RaisedAt{__builtin_return_address(0)}) {}
    const char* kindName() const override { return "EAbort"; }
};

class EDatabaseError : public Exception {
  public:
    [[gnu::noinline]] explicit EDatabaseError(const std::string& message)
        : Exception(message, RaisedAt{__builtin_return_address(0)}) {}
    const char* kindName() const override { return "EDatabaseError"; }

  protected:
    EDatabaseError(const std::string& message, RaisedAt raisedAt) : Exception(message, raisedAt) {}
};

// The engine gave no cursor for a statement.
class ENoResultSet : public EDatabaseError {
  public:
    [[gnu::noinline]] explicit ENoResultSet(const std::string& message)
        : EDatabaseError(message, RaisedAt{__builtin_return_address(0)}) {}
    const char* kindName() const override { return "ENoResultSet"; }
};

}  // namespace quorvel
