// SMtrxNN: a square SMtrx of order n with transpose, determinant, singularity test, inverse
// and the arithmetic operators that return new matrices.
#pragma once

#include "objects/SMtrx.h"

struct MtrxNN;

class SMtrxNN : public SMtrx {
public:
    explicit SMtrxNN(unsigned n, bool base1 = false);

    SMtrxNN Tran() const;

    // \returns the determinant by LU decomposition (DetNN2): DBL_MAX when the routine has no
    // work storage, 0.0 for a row of zeros or when this object's work copy cannot be made.
    // \warning an exactly zero pivot counts as 1.0e-20, so a singular matrix may give a tiny
    // non-zero value rather than 0.0.
    double Det() const;

    // True only when Det() is exactly 0.0 or exactly DBL_MAX; no tolerance is applied.
    bool IsSingular() const;

    // \returns the inverse, or the zero matrix of the same order and suffix base when there is
    // none (a row of zeros, order 1, or no work storage inside the routine). Throws AllocErr
    // with Count 0 when this object's work copy cannot be made.
    SMtrxNN Inv() const;

private:
    // A routine-layer copy of this matrix, or null when it cannot be made.
    MtrxNN* WorkCopy() const;
};

SMtrxNN operator+(const SMtrxNN& a);
SMtrxNN operator-(const SMtrxNN& a);

// Throw OpeErr Kind 0 when the orders differ, else Kind 1 when the suffix bases differ.
SMtrxNN operator+(const SMtrxNN& a, const SMtrxNN& b);
SMtrxNN operator-(const SMtrxNN& a, const SMtrxNN& b);

SMtrxNN operator*(double s, const SMtrxNN& a);
SMtrxNN operator*(const SMtrxNN& a, double s);

// The matrix product. Operands of different suffix base give, without an exception, a zero
// matrix of a's order.
SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b);
