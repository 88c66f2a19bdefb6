// One count over both kinds of heap request the library makes, for failure sweeps: the routine
// layer's calloc (FailingHeap.cpp) and the object layer's array new (FailingNew.cpp). The n-th
// request from FailAt on fails: calloc returns null, new[] throws std::bad_alloc.
//
// Scalar operator new is not counted: the library never uses it, while the report's lines and
// the test's own bookkeeping do.
//
// While armed, every block obtained is remembered until it is freed, so Live() tells a leak
// without a sanitizer. The table is fixed-size and allocates nothing.
#pragma once

#include <cstddef>
#include <ostream>

namespace allocsweep {

enum class Kind { Calloc, NewArray };

struct Request {
    Kind kind;
    std::size_t count;  // calloc: the element count; new[]: 1
    std::size_t size;   // calloc: the element size; new[]: the bytes asked for
    const void* site;   // the return address into the code that asked
};

// From now on the n-th counted request (n >= 1) fails; counting starts at 0.
void FailAt(long n);
// Stops counting and failing; blocks still live stay remembered until freed.
void Disarm();
// True when the armed failure has been delivered.
bool Failed();
// The request that failed (valid when Failed()).
const Request& FailedRequest();
// Counted requests since FailAt.
long Requests();
// Blocks obtained while armed and not yet freed.
long Live();

// Hooks of the allocators.
bool Take(Kind kind, std::size_t count, std::size_t size, const void* site);
void Obtained(void* p);
void Released(void* p);

std::ostream& operator<<(std::ostream& os, const Request& r);

}  // namespace allocsweep
