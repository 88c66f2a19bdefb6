#include "FailingHeap.h"

#include <cstddef>

extern "C" void* __real_calloc(std::size_t count, std::size_t size);

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
    return __real_calloc(count, size);
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
