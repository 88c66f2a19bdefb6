#include "FailingHeap.h"

#include <cstddef>

#include "AllocSweep.h"

extern "C" void* __real_calloc(std::size_t count, std::size_t size);
extern "C" void __real_free(void* p);

namespace {
bool counting = false;
long failAt = 0;
long requests = 0;
bool failed = false;
}  // namespace

extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
    if (counting) {
        ++requests;
        if (requests == failAt) {
            failed = true;
            return nullptr;
        }
    }
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

namespace failheap {

void FailAt(long n) {
    counting = true;
    failAt = n;
    requests = 0;
    failed = false;
}

void Count() { FailAt(0); }

void Disarm() {
    counting = false;
    failAt = 0;
}

long Requests() { return requests; }

bool Failed() { return failed; }

}  // namespace failheap
