// The library's calloc and free, seen by the failure sweeps (AllocSweep.h).
//
// Test executables link with -Wl,--wrap=calloc -Wl,--wrap=free, so every calloc the library makes
// passes through here; unless a sweep fails it, it goes on to the real calloc (or to the
// sanitizer's, in the sanitized build).
#include <cstddef>

#include "AllocSweep.h"

extern "C" void* __real_calloc(std::size_t count, std::size_t size);
extern "C" void __real_free(void* p);

extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    if (allocsweep::Take(allocsweep::Kind::Calloc, count, size, __builtin_return_address(0)))
        return nullptr;
    void* p = __real_calloc(count, size);
    allocsweep::Obtained(p);
    return p;
}

// Linked with -Wl,--wrap=free too, so that a sweep sees every block come back.
extern "C" void __wrap_free(void* p) {
    allocsweep::Released(p);
    __real_free(p);
}

#ifdef __EMSCRIPTEN__
// Emscripten's JavaScript runtime frees its own blocks (those of a caught exception) through
// the module's export "free", which the wrapping leaves out: it is this function.
extern "C" __attribute__((used, export_name("free"))) void FreeForTheRuntime(void* p) { __wrap_free(p); }
#endif
