// Replaces the global operator new and delete for the object tests; see FailingNew.h.
#include "FailingNew.h"

#include <cstdlib>
#include <new>

namespace {
bool armed = false;
long failAt = 0;
long allocations = 0;
long releases = 0;
bool failed = false;

void* Allocate(std::size_t n) {
    if (armed) {
        if (allocations + 1 == failAt && !failed) {
            failed = true;
            throw std::bad_alloc();
        }
        ++allocations;
    }
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}

void Release(void* p) {
    if (p == nullptr) return;
    if (armed) ++releases;
    std::free(p);
}
}  // namespace

void* operator new(std::size_t n) { return Allocate(n); }
void* operator new[](std::size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace failnew {

void FailAt(long n) {
    armed = true;
    failAt = n;
    allocations = 0;
    releases = 0;
    failed = false;
}

void Disarm() { armed = false; }
long Allocations() { return allocations; }
long Releases() { return releases; }
bool Failed() { return failed; }

}  // namespace failnew
