#include "FailingNew.h"

#include <cstdlib>
#include <new>

#ifdef _WIN32
#include <malloc.h>
#endif

#include "AllocSweep.h"

namespace {
bool armed = false;
bool failed = false;
long failAt = 0, allocations = 0, balance = 0;

void* Allocate(std::size_t n) {
    if (armed) {
        if (!failed && ++allocations == failAt) {
            failed = true;
            throw std::bad_alloc();
        }
        ++balance;
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}

void Release(void* p) noexcept {
    if (p != nullptr && armed) --balance;
    std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
// The object layer's storage comes from array new; a sweep counts it with the heap's calloc.
void* operator new[](std::size_t n) {
    if (allocsweep::Take(allocsweep::Kind::NewArray, 1, n, __builtin_return_address(0)))
        throw std::bad_alloc();
    void* p = Allocate(n);
    allocsweep::Obtained(p);
    return p;
}
// The kernels' scratch: aligned, and asked for without exceptions.
void* operator new(std::size_t n, std::align_val_t align, const std::nothrow_t&) noexcept {
    if (allocsweep::Take(allocsweep::Kind::AlignedNew, 1, n, __builtin_return_address(0)))
        return nullptr;
    const std::size_t a = static_cast<std::size_t>(align);
#ifdef _WIN32
    void* p = _aligned_malloc(n == 0 ? a : n, a);
#else
    void* p = nullptr;
    if (posix_memalign(&p, a, n == 0 ? a : n) != 0) p = nullptr;
#endif
    allocsweep::Obtained(p);
    return p;
}
void* operator new(std::size_t n, std::align_val_t align) {
    if (void* p = operator new(n, align, std::nothrow)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p, std::align_val_t) noexcept {
#ifdef _WIN32
    allocsweep::Released(p);
    _aligned_free(p);
#else
    std::free(p);  // the wrapped free, which tells the sweep
#endif
}
void operator delete(void* p, std::size_t, std::align_val_t align) noexcept {
    operator delete(p, align);
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace failnew {
void FailAt(long n) {
    armed = true;
    failed = false;
    failAt = n;
    allocations = balance = 0;
}
void Disarm() { armed = false; }
long Balance() { return balance; }
bool Failed() { return failed; }
}  // namespace failnew
