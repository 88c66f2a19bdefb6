// Makes the n-th runtime allocation (operator new / new[]) fail, for the object tests.
// FailingNew.cpp replaces the global operator new and delete of the test executable.
#pragma once

#include <gtest/gtest.h>

namespace failnew {

void FailAt(long n);  // from now on the n-th allocation throws std::bad_alloc, once
void Disarm();
long Balance();       // allocations minus releases since FailAt
bool Failed();        // the armed failure was delivered

// Runs op with the 1st, 2nd, ... allocation failing until a run no longer meets the failure,
// expecting each run to release all it allocated (op keeps its objects in its own scope and
// records what it catches without allocating). Returns the number of failing runs.
template <class Op>
long ForEachFailure(Op op) {
    for (long n = 1;; ++n) {
        FailAt(n);
        op();
        Disarm();
        EXPECT_EQ(Balance(), 0) << "leak when allocation " << n << " fails";
        if (!Failed()) return n - 1;
    }
}

}  // namespace failnew
