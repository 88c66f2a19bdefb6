// Square matrices of double: allocation, release and arithmetic.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"

struct MtrxNN {
    std::uint32_t Size;     // the order n
    bool Base1;             // subscripts 1..n when true, 0..n-1 otherwise
    Array2D<double> Elem;   // Elem[i][j]
};

// Releases old (may be null), then returns an n x n matrix of 0.0 with subscripts 1..n or
// 0..n-1, or null: silently when the record cannot be had, after the heap's report when its
// elements cannot. n must be at least 1.
MtrxNN* GetMatrixNN(MtrxNN* old, std::uint32_t n, bool base1);
// Releases m (may be null); always returns null, for the caller to store.
MtrxNN* FreeMatrixNN(MtrxNN* m);
// Sets every element to 0.0; does nothing while m has no element storage.
void SetMtrxNNO(MtrxNN* m);

// The arithmetic below returns false, with c untouched, unless every record agrees in Size and
// Base1. c may be any operand.
bool AddMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
bool SubMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
bool SclMtrxNN(MtrxNN* c, double s, const MtrxNN* a);
// c = a b, each element summed over ascending k. Formed in a work record: false, with c
// unchanged, when that cannot be had.
bool MulMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
// c = a transposed, through a work record like MulMtrxNN.
bool TrnMtrxNN(MtrxNN* c, const MtrxNN* a);
