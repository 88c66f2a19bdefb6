/// \file
/// SLUDcmp: a square matrix decomposed once, for any number of solves, the determinant, its
/// logarithm and the condition estimate, each with exactly the bits of its routine.
#pragma once

#include "../QuilExport.h"
#include "SMtrxNN.h"
#include "SVect.h"

namespace quil {

/// \cond INTERNAL
namespace detail {
struct LUFactors;
}
/// \endcond

/// The decompositions of a square matrix, made once: each answer then costs what its routine
/// costs after the decomposition (a solve n^2, the determinants nothing, the condition estimate
/// a few solves), and has that routine's bits: Solve those of SolveMtrxNN and SMtrxNN::Solve,
/// Det those of DetNN2 and SMtrxNN::Det, DetLog10 those of DetLog10 and SMtrxNN::DetLog10,
/// RCond those of RCondMtrxNN and SMtrxNN::RCond.
///
/// Those routines decompose two matrices: the determinants the matrix itself, the solve and the
/// condition estimate the balanced matrix. So the constructor makes both decompositions, about
/// twice the work of one solve, and keeps the balanced one's factors (n^2 doubles); a matrix
/// solved for several right-hand sides, or asked for more than one of these, is paid for once.
/// \code
/// const SMtrxNN a = ...;
/// const SLUDcmp lu(a);
/// const SVect x = lu.Solve(b), y = lu.Solve(c);   // each x as a.Solve(b) gives it
/// const double rcond = lu.RCond();               // as a.RCond()
/// const auto [sign, log10] = lu.DetLog10();      // det = sign 10^log10
/// \endcode
/// The object keeps no reference to the matrix, and is a value: copies are deep, moves hand the
/// factors over. Its const members may be called by several threads at once.
class QUIL_EXPORT SLUDcmp {
public:
    /// Decomposes a. Throws SMtrx::OpeErr Kind 0 when a is not square or was moved from (as
    /// SMtrxNN::Det does), SMtrx::AllocErr with Count 0 when the work or the factors cannot be
    /// had (the routine layer's report of it has been made first).
    explicit SLUDcmp(const SMtrxNN& a);
    /// A deep copy. Throws SMtrx::AllocErr (Count 0) when the factors cannot be had.
    SLUDcmp(const SLUDcmp& other);
    /// Takes other's factors; other is left without them, and its members then throw
    /// SMtrx::OpeErr as for a moved-from matrix.
    SLUDcmp(SLUDcmp&& other) noexcept;
    /// A deep copy; the target is left as it was when the factors cannot be had.
    SLUDcmp& operator=(const SLUDcmp& other);
    /// Takes other's factors.
    SLUDcmp& operator=(SLUDcmp&& other) noexcept;
    /// Releases the factors.
    ~SLUDcmp();

    /// The order n of the matrix decomposed.
    unsigned GetOrder() const { return Order; }
    /// True when the matrix decomposed had subscripts from 1.
    bool GetBase1() const { return Base1; }

    /// The solution of A x = b, as SMtrxNN::Solve gives it, with its bits and exceptions:
    /// SMtrx::OpeErr Kind 0 saying that the matrix is singular (a row of zeros or an exactly
    /// zero pivot in the balanced decomposition), Kind 0 when b's size differs from the order,
    /// else Kind 1 when the suffix bases differ; SVect::AllocErr::NoElements when b was moved
    /// from; SMtrx::AllocErr when the result (Count the order) or this call's work storage
    /// (Count 0) cannot be had.
    [[nodiscard]] SVect Solve(const SVect& b) const;

    /// The determinant, with the bits of DetNN2 (SMtrxNN::Det).
    /// \warning an exactly zero pivot counts as 1.0e-20, as there.
    [[nodiscard]] double Det() const;

    /// log10 |det| and the sign, with the bits of DetLog10 (SMtrxNN::DetLog10).
    [[nodiscard]] SMtrxNN::LogDet DetLog10() const;

    /// The reciprocal condition estimate, with the bits of RCondMtrxNN (SMtrxNN::RCond). Throws
    /// SMtrx::AllocErr with Count 0 when its work storage cannot be had.
    [[nodiscard]] double RCond() const;

private:
    unsigned Order = 0;
    bool Base1 = false;
    double Determinant = 0.0;
    SMtrxNN::LogDet Log{};
    detail::LUFactors* Factors = nullptr;  // null only in a moved-from object

    /// \cond INTERNAL
    QUIL_NO_EXPORT const detail::LUFactors& Held(const char* operation) const;
    /// \endcond
};

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SLUDcmp;
#endif
