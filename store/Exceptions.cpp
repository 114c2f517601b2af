#include "Exceptions.h"

#include <dlfcn.h>

namespace quorvel {

namespace {

// The address of the code that constructed the exception, made relative to the start of its
// module so that it can be looked up with addr2line in the shipped binary.
[[gnu::noinline]] std::uintptr_t moduleOffset(const void* address) {
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fbase == nullptr) {
        return reinterpret_cast<std::uintptr_t>(address);
    }
    return reinterpret_cast<std::uintptr_t>(address) -
           reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

}  // namespace

[[gnu::noinline]] Exception::Exception(const std::string& message)
    : std::runtime_error(message), raiseAddress_(moduleOffset(__builtin_return_address(0))) {}

}  // namespace quorvel
