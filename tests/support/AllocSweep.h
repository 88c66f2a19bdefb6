// The tests' one way to make the library's heap requests fail: one count over every kind of
// request the library makes, the routine layer's calloc (FailingHeap.cpp, in every test
// program), the object layer's array new and the kernels' aligned scratch (FailingNew.cpp,
// where it is linked). The n-th request from FailAt on fails: calloc and the aligned new return
// null, new[] throws std::bad_alloc. Only the requests of the thread that armed the count are
// counted.
//
// The library keeps each thread's work storage from one call to the next (routines/Work.h), so
// FailAt and Disarm give the calling thread's kept blocks back: every armed call asks the heap
// for all the storage it uses, and nothing it kept is taken for a leak.
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

enum class Kind { Calloc, NewArray, AlignedNew };

struct Request {
    Kind kind;
    std::size_t count;  // calloc: the element count; new[] and the aligned new: 1
    std::size_t size;   // calloc: the element size; new[] and the aligned new: the bytes asked for
    const void* site;   // the return address into the code that asked
};

// From now on the n-th counted request (n >= 1) fails; counting starts at 0.
void FailAt(long n);
// Counts requests from now on without failing any.
inline void Count() { FailAt(0); }
// Counts the calling thread's requests from now on without failing any, and without giving back
// the storage the library keeps: what a call asks of the heap beside what is kept.
void Watch();
// Stops counting and failing; blocks still live stay remembered until freed.
void Disarm();
// Disarms when the scope ends, so an assertion that returns early leaves the heap working.
struct Guard {
    Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard() { Disarm(); }
};
// True when the armed failure has been delivered.
bool Failed();
// The request that failed (valid when Failed()).
const Request& FailedRequest();
// Counted requests since FailAt or Watch.
long Requests();
// The bytes of the largest counted request since FailAt or Watch (0 when none was made).
std::size_t Largest();
// Blocks obtained while armed and not yet freed.
long Live();

// Hooks of the allocators.
bool Take(Kind kind, std::size_t count, std::size_t size, const void* site);
void Obtained(void* p);
void Released(void* p);

std::ostream& operator<<(std::ostream& os, const Request& r);

}  // namespace allocsweep
