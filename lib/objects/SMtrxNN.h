// SMtrxNN: a square SMtrx of order n with transpose, determinant, singularity test, inverse
// and the arithmetic operators that return new matrices.
//
// Every SMtrxNN this class makes is square, but SMtrx's assignment can give one another shape
// (SMtrx& r = a; r = SMtrx(2, 3, false)). Nothing here then reads or writes past its storage:
// - unary + and -, two-operand + and -, scaling and Tran work on the Rows x Cols matrix it
//   holds, and give the shape the operation gives (Tran: Cols x Rows);
// - Det, IsSingular and Inv, which need a square matrix, throw OpeErr Kind 0;
// - the product a * b is formed when a's columns match b's rows and a's rows match b's
//   columns (so that it is square); any other pair is an incompatible product.
#pragma once

#include "objects/SMtrx.h"

struct MtrxNN;

class SMtrxNN : public SMtrx {
public:
    explicit SMtrxNN(unsigned n, bool base1 = false);

    SMtrxNN Tran() const;

    // \returns the determinant by LU decomposition (DetNN2), whose product of the diagonal never
    // overflows or underflows on the way (routines/DetNN.h): DBL_MAX when the routine has no
    // work storage, 0.0 for a row of zeros or when this object's work copy cannot be made.
    // Throws OpeErr Kind 0 when this object is not square.
    // \warning an exactly zero pivot counts as 1.0e-20, so a singular matrix may give a tiny
    // non-zero value rather than 0.0.
    double Det() const;

    // True only when Det() is exactly 0.0 or exactly DBL_MAX; no tolerance is applied. Throws
    // OpeErr Kind 0 when this object is not square.
    bool IsSingular() const;

    // \returns the inverse, or the zero matrix of the same order and suffix base when there is
    // none (a row of zeros, order 1, or no work storage inside the routine). Throws AllocErr
    // with Count 0 when this object's work copy cannot be made, OpeErr Kind 0 when this object
    // is not square.
    SMtrxNN Inv() const;

private:
    // Throws OpeErr Kind 0 unless Rows = Cols.
    void RequireSquare() const;

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

// The matrix product. Incompatible operands (another suffix base, or shapes whose product is
// not the square of a's rows) give, without an exception, a zero matrix of a's rows.
SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b);
