// Internal to the library: what the routines make of an LU decomposition once it is done, on
// runs. Every way of computing the factors (the records' plain loops, the blocked kernels, the
// code for small orders in local arrays, one matrix or a stack of them) finishes through these,
// so that their results cannot drift apart.
//
// A run of factors holds row i at f + i * stride, the unit lower factor below the diagonal and
// the upper one on and above it; piv[i] is the row exchanged with row i, a subscript from lo.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "routines/kernels/Arithmetic.h"

namespace quil::detail {

// parity x f(0, 0) x ... x f(n-1, n-1) x 2^-shift, multiplied in that order and carried as a
// mantissa and a power of 2, so that it leaves the range of double only at the end (DetNN2).
double DetOfFactors(int parity, std::int64_t shift, const double* f, std::size_t stride,
                    std::uint32_t n);

// log10 |det| of the same product, and *sign its sign (DetLog10).
double Log10OfFactors(int parity, std::int64_t shift, const double* f, std::size_t stride,
                      std::uint32_t n, int* sign);

// The decomposition of the balanced matrix S = Dr a Dc that the solve, the inverse and the
// condition estimate work with: dr[i * dstride] and dc[i * dstride] are the diagonals of Dr and
// Dc (dstride n + 1 for a run of a whole matrix, 1 for the diagonal alone).
struct BalancedFactors {
    std::uint32_t n;
    const double* f;
    std::size_t stride;
    const std::int32_t* piv;
    std::int32_t lo;
    const double* dr;
    const double* dc;
    std::size_t dstride;
};

// Solves in place with the factors: x holds the right-hand side on entry and the solution after.
// The row exchanges and the forward substitution, which skips the leading zeros of x, then the
// back substitution (LUBksbMtrxNN).
void LUBksbRun(std::uint32_t n, const double* f, std::size_t stride, const std::int32_t* piv,
               std::int32_t lo, double* x);

// x = 2^shift a^-1 x = 2^shift Dc S^-1 Dr x in place, or 2^shift a^-T x = 2^shift Dr S^-T Dc x
// when transposed, with the operations of LUBksbRun (of its transpose), each element carried as
// a mantissa in x and a power of 2 in e (n elements of work; detail::Scaled): no element leaves
// the range on the way, and x ends rounded once. Where no element leaves the normal range the
// bits are those of the plain loops with x = Dr x first and x = Dc x last (Dc, Dr when
// transposed). SolveMtrxNN's solve.
void SolveScaledRun(const BalancedFactors& lu, double* x, std::int64_t* e, std::int64_t shift,
                    bool transposed);

// z times the power of 2 dc dr, rounded once: one multiplication while dc dr is a normal number,
// through the exponents where it is not. The inverse's further columns take their scales so.
inline double TimesScales(double z, double dc, double dr) {
    const double factor = dc * dr;
    if (factor >= DBL_MIN && factor <= DBL_MAX) return z * factor;
    return std::ldexp(z, std::ilogb(dc) + std::ilogb(dr));
}

// RCondMtrxNN from the factors of a: 1 / (norm |a^-1|_1 estimated), or 0.0 when the estimate
// is not positive; a norm far from 1 is brought to [1, 2) first, the estimate being that of
// 2^k a. x, v and sign are work of n elements each, e of n exponents (SolveScaledRun's).
double RCondOfFactors(double norm, const BalancedFactors& lu, double* x, std::int64_t* e, double* v,
                      double* sign);

}  // namespace quil::detail
