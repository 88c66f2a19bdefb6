/// \file
/// Determinants, singularity test and inverse of square matrices.
///
/// No routine here changes its input matrix: each works on copies, and releases all of its work
/// storage before it returns, on success and on failure alike.
///
/// Range: DetNNbyRef, DetNN and DetNN2 (and so IsSingularMtrxNN) carry their running products,
/// and DetNNbyRef its sums too, as a mantissa and a power of 2. So a determinant whose value a
/// double can hold never comes out as infinity or 0.0 because an intermediate left the range:
/// the result is the product of the routine's own factors, rounded at each step as the plain
/// product would be rounded with an unbounded exponent (and once more if it ends below the
/// normal range). Wherever no intermediate leaves the normal range, the result has exactly the
/// bits of the plain loops. Infinity or 0.0 comes out only when the value lies outside the range
/// of double, or a factor is infinite, NaN or 0.0.
///
/// The eliminations keep their factors in range too: DetNN, DetNN2, DetLog10, InvMtrxNN,
/// SolveMtrxNN and RCondMtrxNN first shift every row whose largest magnitude lies beyond 2^256 or
/// below 2^-256 (a subnormal one included) by the power of 2 that brings it to that bound, and
/// rescale their results by the same powers. A row inside that band is left as it is, so an
/// ordinary matrix keeps every bit; the LU decomposition with implicit pivoting gives the same
/// bits for any power-of-2 row scales while nothing leaves the normal range. (In a shifted
/// matrix, an exactly zero pivot still counts as 1.0e-20 of the shifted row.) A shift never
/// rounds an element: a row is shifted down only as far as each of its elements keeps its lowest
/// set bit at or above 2^-1074. So a row that holds a subnormal or tiny element beside one
/// beyond 2^257 is shifted less, or not at all. Balancing (InvMtrxNN, SolveMtrxNN, RCondMtrxNN)
/// takes each of its factors only as far as it scales every element it meets exactly, too. A
/// multiplier is formed as the element times the pivot's reciprocal, or as the quotient where
/// that reciprocal overflows (a pivot below 2^-1024). Where the elements of the matrix span
/// more than the range of double between them, within a row that cannot be shifted or between a
/// tiny pivot and the rest of its column, the elimination can still leave the range as the plain
/// method does: a factor or pivot is then infinite, and what is built on it infinite or NaN.
///
/// The solve's range: SolveMtrxNN carries every element of its right-hand side and of the
/// substitutions with a power of 2 of its own, so the balancing's scales and the substitutions
/// never overflow or underflow on the way: x is what the same operations give with an unbounded
/// exponent, rounded once at the end, and, while the factors are finite (above), comes out
/// infinite or 0.0 only where its value lies outside the range of double. The inverse's
/// first column is solved the same way. Its further columns are solved from unit vectors in
/// plain doubles and take their scales at the end as one exact power of 2: they come out right
/// as long as the inverse of the balanced matrix S (a balanced, its rows shifted as above) lies
/// within the normal range; beyond it an element may come out infinite, 0.0 or NaN.
///
/// A NaN anywhere in the input gives a NaN determinant from every determinant routine (and from
/// DetLog10 a NaN logarithm), never the 0.0 of a singular matrix: a column or row of zeros and
/// NaN is not a zero one.
#pragma once

#include "QuilExport.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"

namespace quil {

/// |det| below this (strictly) counts as singular for IsSingularMtrxNN.
constexpr double SingularTol = 1.0e-6;

/// The determinant by cofactor expansion along the first column, recursively; the cost grows
/// like n!, so it is meant for small orders. Its products and sums of coefficient x minor keep
/// the range (see above).
/// \returns DBL_MAX when a minor cannot be allocated.
[[nodiscard]] QUIL_EXPORT double DetNNbyRef(const MtrxNN* a);

/// The determinant by column scaling and Gaussian elimination with full pivoting. The product of
/// the column scales, the pivots and the last element keeps the range (see above).
/// A column whose largest magnitude is infinite is not scaled, so that the elimination meets the
/// infinity as the other routines do.
/// \returns 0.0 (never -0.0) for a singular matrix that has an all-zero column or runs out of
/// pivots, the last remaining element being 0.0 included (no division by zero is made); DBL_MAX
/// when the work record cannot be allocated.
[[nodiscard]] QUIL_EXPORT double DetNN(const MtrxNN* a);

/// The determinant from the LU decomposition: the parity times the diagonal of the factors, a
/// product that keeps the range, of a decomposition whose rows are kept in range (see above).
/// \returns 0.0 when a has a row of zeros; DBL_MAX when work storage cannot be allocated.
/// \warning For other singular matrices the result is tiny rather than 0.0: a pivot of exactly
/// 0.0 counts as 1.0e-20.
[[nodiscard]] QUIL_EXPORT double DetNN2(const MtrxNN* a);

/// log10 |det| from the LU decomposition; *sign receives +1 or -1, so det = *sign * 10^result.
/// A sum of logarithms of factors kept in range (see above). The logarithm is the library's own,
/// within 0.53 ulp of the exact one, so the sum has the same bits on every target and C library.
/// \returns -DBL_MAX with *sign 0 when a has a row of zeros (NaN when a also holds a NaN);
/// DBL_MAX with *sign 0 when work storage cannot be allocated.
[[nodiscard]] QUIL_EXPORT double DetLog10(const MtrxNN* a, int* sign);

/// *det = DetNN2(a); true when |*det| < SingularTol. When work storage cannot be allocated,
/// *det is DBL_MAX and the result false.
[[nodiscard]] QUIL_EXPORT bool IsSingularMtrxNN(const MtrxNN* a, double* det);

/// *ai (released first if it holds a record) receives the inverse, computed by balancing and one
/// LU decomposition. False, with *ai null, for order 1, for a matrix with a row of zeros and when
/// storage runs out. *ai may be a (InvMtrxNN(&a, a)): a then receives its inverse in its own
/// record, and is left as it was on failure. A NaN in a gives NaN elements; for the range, see
/// above.
/// \warning an exactly zero pivot counts as 1.0e-20, so a singular matrix gives true with very
/// large elements; RCondMtrxNN (below) tells how far to trust an inverse.
[[nodiscard]] QUIL_EXPORT bool InvMtrxNN(MtrxNN** ai, const MtrxNN* a);

/// x = a^-1 b, through the balanced matrix and its LU decomposition as InvMtrxNN computes its
/// first column: as accurate as the inverse, and for b the first unit vector the same bits as
/// that column. x may be b. Order 1 is solved too, to b / a (balancing leaves a 1 x 1 matrix as
/// it is).
/// False, with x untouched, when x or b differs from a in Size or Base1, when a is exactly
/// singular (the decomposition meets a row of zeros or an exactly zero pivot) and when storage
/// runs out. A NaN in a or b gives NaN in x; finite a and b give none while the factors are
/// finite. For the range, see above.
/// \warning a matrix singular only within rounding is solved: see RCondMtrxNN.
[[nodiscard]] QUIL_EXPORT bool SolveMtrxNN(Vect* x, const MtrxNN* a, const Vect* b);

/// The reciprocal condition number of a in the 1-norm, 1 / (|a|_1 |a^-1|_1), with |a^-1|_1
/// estimated by Hager and Higham's method (as LAPACK's dgecon does) from the decomposition that
/// SolveMtrxNN uses. The estimate of |a^-1|_1 never exceeds the true norm and is seldom far below
/// it, so the result is at least the true reciprocal condition and rarely more than 3 times it.
/// A solution of a x = b loses about -log10(RCondMtrxNN(a)) of its decimal digits: near the unit
/// roundoff (1.1e-16) it has no correct digit. The same bits on every path, thread count and
/// target. The estimate is that of 2^k a, whose condition is a's, with the norm brought to
/// [1, 2) where it lies outside [2^-512, 2^512], and its solves carry every element with a power
/// of 2 of its own, so a matrix far from 1, or far from it inside, is estimated as one near 1.
/// \returns 1.0 for the identity, any multiple of it (and every regular 1 x 1 matrix); 0.0 for an
/// exactly singular matrix (a row of zeros or an exactly zero pivot), when a's norm overflows and
/// when the condition number lies beyond the range of double; NaN only when a holds a NaN; -1.0
/// when work storage cannot be allocated.
[[nodiscard]] QUIL_EXPORT double RCondMtrxNN(const MtrxNN* a);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SingularTol;
using quil::DetNNbyRef;
using quil::DetNN;
using quil::DetNN2;
using quil::DetLog10;
using quil::IsSingularMtrxNN;
using quil::InvMtrxNN;
using quil::SolveMtrxNN;
using quil::RCondMtrxNN;
#endif
