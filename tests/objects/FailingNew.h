// Makes a chosen runtime allocation (operator new / new[]) of the object layer fail.
//
// The test executable replaces the global operator new and delete (FailingNew.cpp); while
// armed they count allocations and releases, and the n-th allocation throws std::bad_alloc.
#pragma once

#include <gtest/gtest.h>

namespace failnew {

// From now on the n-th allocation (n >= 1) throws; 0 only counts.
void FailAt(long n);
void Disarm();

long Allocations();  // succeeded since FailAt
long Releases();     // since FailAt
bool Failed();       // the armed failure was delivered

struct Guard {
    Guard() = default;
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;
    ~Guard() { Disarm(); }
};

// Runs op with the 1st, 2nd, ... allocation failing until a run no longer reaches the
// failure, and expects every run to release as many blocks as it allocated. op must hold all
// its objects in a scope of its own and must not allocate in order to record what it caught.
// Returns the number of runs that met the failure.
template <class Op>
long ForEachFailure(Op op) {
    for (long n = 1;; ++n) {
        Guard guard;
        FailAt(n);
        op();
        const bool hit = Failed();
        const long allocations = Allocations(), releases = Releases();
        Disarm();
        EXPECT_EQ(allocations, releases) << "leak when allocation " << n << " fails";
        if (!hit) return n - 1;
    }
}

}  // namespace failnew
