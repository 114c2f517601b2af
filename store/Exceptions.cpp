#include "Exceptions.h"

#include <dlfcn.h>

namespace quorvel {

namespace {

// The call instruction before a return address, made relative to the start of its module (a
// position-independent executable is loaded anywhere), so that addr2line finds the calling
// line in the shipped binary. The byte before the return address lies within the call, which
// keeps a call that ends a line or a block from resolving to what follows it.
std::uintptr_t moduleOffset(const void* returnAddress) {
    if (returnAddress == nullptr) {
        return 0;
    }
    const std::uintptr_t call = reinterpret_cast<std::uintptr_t>(returnAddress) - 1;
    Dl_info info{};
    if (dladdr(returnAddress, &info) == 0 || info.dli_fbase == nullptr) {
        return call;
    }
    return call - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

Exception::Exception(const std::string& message, RaisedAt raisedAt)
    : std::runtime_error(message), raiseAddress_(moduleOffset(raisedAt.returnAddress)) {}

}  // namespace quorvel
