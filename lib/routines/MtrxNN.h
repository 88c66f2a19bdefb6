// Square matrices of double: allocation, release and arithmetic.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"

struct MtrxNN {
    std::uint32_t Size;     // the order n
    bool Base1;             // subscripts 1..n when true, 0..n-1 otherwise
    Array2D<double> Elem;   // Elem[i][j]
};

MtrxNN* GetMatrixNN(MtrxNN* old, std::uint32_t n, bool base1);
MtrxNN* FreeMatrixNN(MtrxNN* m);
void SetMtrxNNO(MtrxNN* m);
bool AddMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
bool SubMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
bool SclMtrxNN(MtrxNN* c, double s, const MtrxNN* a);
bool MulMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b);
bool TrnMtrxNN(MtrxNN* c, const MtrxNN* a);
