// Internal to the library: the LU decomposition (Crout's method with implicit partial pivoting)
// and the solves built on its factors, under the determinants, the inverse and the solve of
// routines/DetNN.h. Their slots and pivot vectors are the library's own conventions; callers
// outside it use routines/DetNN.h.
//
// A slot is the caller's pointer passed by address: a routine that fills it releases what it
// held first; one that releases it on failure leaves it null. Pivot index vectors are 4-byte
// integer arrays over the matrix's subscripts.
#pragma once

#include <cstdint>

#include "routines/Arrays.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"
#include "routines/kernels/Kernels.h"

namespace quil::detail {

// How an LU decomposition ended: the determinants tell a singular matrix from exhausted memory
// by it, and the solve an exactly singular matrix from one it can solve.
enum class LUDcmpOutcome {
    Done,
    ZeroPivot,  // done, but a pivot was exactly 0.0 and counts as 1.0e-20
    ZeroRow,    // f has a row of zeros (a row of zeros and NaN is not one)
    NoWork,     // p is null or the row scales cannot be allocated
};

// True when the factors were made (Done or ZeroPivot).
inline bool Decomposed(LUDcmpOutcome outcome) {
    return outcome == LUDcmpOutcome::Done || outcome == LUDcmpOutcome::ZeroPivot;
}

// Crout's method with implicit partial pivoting, in place: f receives the unit lower factor below
// its diagonal and the upper factor on and above it; p[j] the row exchanged with row j at step
// j; *parity +1 or -1. A pivot of exactly 0.0 is replaced by 1.0e-20.
// Off the plain path the blocked kernels do the work, with the same bits.
LUDcmpOutcome LUDcmpMtrxNN(Path path, MtrxNN* f, Array1D<std::int32_t> p, int* parity);
// The same on the fastest path.
LUDcmpOutcome LUDcmpMtrxNNOutcome(MtrxNN* f, Array1D<std::int32_t> p, int* parity);
// The same, true when the factors were made.
bool LUDcmpMtrxNN(MtrxNN* f, Array1D<std::int32_t> p, int* parity);

// The powers of 2 that scale numbers exactly: x 2^k for Low <= k <= High is neither rounded (its
// lowest set bit stays at or above 2^-1074) nor beyond the largest double, for every x Keep
// was given. 0.0, infinities and NaN allow every k.
struct ExactScales {
    int Low = -1 - 2 * 1074;
    int High = 1 + 2 * 1074;
    void Keep(double x);
};

// Multiplies each row of m whose largest magnitude lies far outside 1 (beyond 2^256 or below
// 2^-256, a subnormal one included) by the power of 2 that brings it towards that bound, and dr's
// diagonal element of the row (when dr is given) by the same power. A row is shifted only as far
// as every element of it, and its element of dr, stays exact (ExactScales): a row that holds a
// subnormal beside a huge element keeps it, and may not be shifted at all. Returns the sum of the
// exponents, so that det m before = det m after x 2^-sum. The LU decomposition with implicit
// pivoting is the same for any power-of-2 row scales, bit for bit, while nothing leaves the
// normal range; with this, multipliers and pivots of rows far apart stay in range.
std::int64_t ShiftRowsIntoRange(MtrxNN* m, MtrxNN* dr);
// True when ShiftRowsIntoRange would leave m as it is.
bool RowsInRange(const MtrxNN* m);

// Solves in place with the factors of f: x holds the right-hand side on entry and the solution
// after. False when f and x differ in Size or Base1, or p is null.
bool LUBksbMtrxNN(const MtrxNN* f, Vect* x, Array1D<std::int32_t> p);

// *x = a^-1 b. *p must be empty on entry and receives the pivot vector; the factors stay in *f
// when *f held a record on entry and are released otherwise. On failure *f and the pivot
// vector it made are released and null, and so is *x unless the factors' record was what
// could not be had (then *x is left as it was).
// An *f that is a, or an *x that is b, is refused with false and every slot left as it was.
// \warning b is not checked against a: its first elements are copied, as many as both have.
// *singular (when given) tells whether the decomposition found a row of zeros or an exactly zero
// pivot: the first fails, the second solves with the pivot 1.0e-20.
bool LUSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p, bool* singular = nullptr);
// The same on the fastest path.
bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);

// *x = solution for b with the factors f and pivots p kept from LUSolveMtrxNN; on failure *x is
// released and null. b is copied as LUSolveMtrxNN copies it. An *x that is b is refused with
// false, left as it was.
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x);

// How SolveMtrxNN ended, for callers that say why it failed.
enum class SolveEnd {
    Solved,
    Mismatch,  // x or b differs from a in Size or Base1
    Singular,  // a row of zeros, or an exactly zero pivot
    NoWork,    // storage ran out
};
// SolveMtrxNN, telling why it failed.
SolveEnd SolveMtrxNNEnd(Vect* x, const MtrxNN* a, const Vect* b);

}  // namespace quil::detail
