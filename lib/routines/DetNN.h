// Determinants, singularity test and inverse of square matrices.
//
// No routine here changes its input matrix: each works on copies, and releases all of its work
// storage before it returns, on success and on failure alike.
//
// Range: DetNNbyRef, DetNN and DetNN2 (and so IsSingularMtrxNN) carry their running products,
// and DetNNbyRef its sums too, as a mantissa and a power of 2. So a determinant whose value a
// double can hold never comes out as infinity or 0.0 because an intermediate left the range:
// the result is the product of the routine's own factors, rounded at each step as the plain
// product would be rounded with an unbounded exponent (and once more if it ends below the
// normal range). Wherever no intermediate leaves the normal range, the result has exactly the
// bits of the plain loops. Infinity or 0.0 comes out only when the value lies outside the range
// of double, or a factor is infinite, NaN or 0.0.
//
// A NaN anywhere in the input gives a NaN determinant from every determinant routine (and from
// DetLog10 a NaN logarithm), never the 0.0 of a singular matrix: a column or row of zeros and
// NaN is not a zero one.
#pragma once

#include <cstdint>

#include "routines/MtrxNN.h"
#include "routines/Vect.h"

// |det| below this (strictly) counts as singular for IsSingularMtrxNN.
constexpr double SingularTol = 1.0e-6;

// The determinant by cofactor expansion along the first column, recursively; the cost grows
// like n!, so it is meant for small orders. Its products and sums of coefficient x minor keep
// the range (see above).
// \returns DBL_MAX when a minor cannot be allocated.
double DetNNbyRef(const MtrxNN* a);

// The determinant by column scaling and Gaussian elimination with full pivoting. The product of
// the column scales, the pivots and the last element keeps the range (see above).
// \returns 0.0 (never -0.0) for a singular matrix that has an all-zero column or runs out of
// pivots, the last remaining element being 0.0 included (no division by zero is made); DBL_MAX
// when the work record cannot be allocated.
double DetNN(const MtrxNN* a);

// The determinant from the LU decomposition: the parity times the diagonal of the factors, a
// product that keeps the range (see above). The decomposition itself is not rescaled: a factor
// that overflows stays infinite.
// \returns 0.0 when a has a row of zeros; DBL_MAX when work storage cannot be allocated.
// \warning For other singular matrices the result is tiny rather than 0.0: a pivot of exactly
// 0.0 counts as 1.0e-20.
double DetNN2(const MtrxNN* a);

// log10 |det| from the LU decomposition; *sign receives +1 or -1, so det = *sign * 10^result.
// A sum of logarithms: it has no range to lose.
// \returns -DBL_MAX with *sign 0 when a has a row of zeros (NaN when a also holds a NaN);
// DBL_MAX with *sign 0 when work storage cannot be allocated.
double DetLog10(const MtrxNN* a, int* sign);

// *det = DetNN2(a); true when |*det| < SingularTol. When work storage cannot be allocated,
// *det is DBL_MAX and the result false.
bool IsSingularMtrxNN(const MtrxNN* a, double* det);

// *ai (released first if it holds a record) receives the inverse, computed by balancing and one
// LU decomposition. False, with *ai null, for order 1, for a matrix with a row of zeros and when
// storage runs out. A singular matrix whose pivot becomes 1.0e-20 gives true with very large
// elements.
bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a);

// Kernels. A slot is the caller's pointer passed by address: a kernel that fills it releases
// what it held first; one that releases it on failure leaves it null. Pivot index vectors are
// 4-byte integer arrays over the matrix's subscripts.

// How an LU decomposition ended: DetNN2 and DetLog10 tell a singular matrix from exhausted
// memory by it.
enum class LUDcmpOutcome { Done, ZeroRow, NoWork };

// Crout's method with implicit partial pivoting, in place: f receives the unit lower factor below
// its diagonal and the upper factor on and above it; p[j] the row exchanged with row j at step
// j; *parity +1 or -1. A pivot of exactly 0.0 is replaced by 1.0e-20.
// ZeroRow (f has a row of zeros) and NoWork (p is null or the row scales cannot be allocated)
// are failures.
LUDcmpOutcome LUDcmpMtrxNNOutcome(MtrxNN* f, Array1D<std::int32_t> p, int* parity);
// The same, true for Done.
bool LUDcmpMtrxNN(MtrxNN* f, Array1D<std::int32_t> p, int* parity);

// Solves in place with the factors of f: x holds the right-hand side on entry and the solution
// after. False when f and x differ in Size or Base1, or p is null.
bool LUBksbMtrxNN(const MtrxNN* f, Vect* x, Array1D<std::int32_t> p);

// *x = a^-1 b. *p must be empty on entry and receives the pivot vector; the factors stay in *f
// when *f held a record on entry and are released otherwise. On failure *f and the pivot
// vector it made are released and null, and so is *x unless the factors' record was what
// could not be had (then *x is left as it was).
bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p);

// *x = solution for b with the factors f and pivots p kept from LUSolveMtrxNN; on failure *x is
// released and null.
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x);

// Balances s (order 2 or more) in place by powers of 2: s becomes Dr s Dc, with the diagonal
// scaling matrices in *dr and *dc (Dr = Dc^-1). When storage runs out, s may be partly balanced
// and both slots are left null.
void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s);

// *x = a^-1 b through the balanced matrix, keeping the factors in *f, the pivots in *p and the
// scaling matrices in *dr, *dc for further right-hand sides. Refuses order 1 and a b of another
// Size or Base1 without touching a slot; any other failure leaves all five slots null.
bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc);
