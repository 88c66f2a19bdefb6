/// \file
/// SMtrxNN: a square SMtrx of order n with transpose, determinant, singularity test, inverse
/// and the arithmetic operators that return new matrices.
///
/// Every SMtrxNN this class makes is square, but SMtrx's assignment can give one another shape
/// (SMtrx& r = a; r = SMtrx(2, 3, false)). Nothing here then reads or writes past its storage:
/// - unary + and -, two-operand + and -, scaling and Tran work on the Rows x Cols matrix it
///   holds, and give the shape the operation gives (Tran: Cols x Rows);
/// - Det, IsSingular, Inv and Solve, which need a square matrix, throw OpeErr Kind 0 (and so
///   does a moved-from object, which is 0 x 0, see objects/SMtrx.h);
/// - the product a * b is formed when a's columns match b's rows and a's rows match b's
///   columns (so that it is square); any other pair is an incompatible product.
#pragma once

#include "QuilExport.h"
#include "objects/SMtrx.h"

namespace quil {

struct MtrxNN;
class SVect;
namespace detail {
struct SMtrxNNOps;
}

/// A square matrix of order n with suffix base 0 or 1 (see the file's notes).
class QUIL_EXPORT SMtrxNN : public SMtrx {
public:
    /// An n x n matrix of 0.0. Throws AllocErr as SMtrx(n, n, base1) does.
    explicit SMtrxNN(unsigned n, bool base1 = false);
    /// A deep copy. Throws AllocErr when the storage cannot be had.
    SMtrxNN(const SMtrxNN&) = default;
    /// Deep assignment, as SMtrx's.
    SMtrxNN& operator=(const SMtrxNN&) = default;
    /// Hands the storage over without a heap request, as SMtrx's moves do.
    SMtrxNN(SMtrxNN&&) noexcept = default;
    /// Hands the storage over without a heap request, as SMtrx's moves do.
    SMtrxNN& operator=(SMtrxNN&&) noexcept = default;

    /// The transpose, of the shape Cols x Rows. Throws AllocErr when it cannot be made.
    [[nodiscard]] SMtrxNN Tran() const;

    /// The determinant, by LU decomposition.
    /// \returns the determinant by DetNN2, whose product of the diagonal never
    /// overflows or underflows on the way (routines/DetNN.h): 0.0 for a row of zeros.
    /// Throws AllocErr with Count 0 when this object's work copy or the routine's work storage
    /// cannot be had (the routine layer's report of it has been made first); OpeErr Kind 0 when
    /// this object is not square.
    /// \warning an exactly zero pivot counts as 1.0e-20, so a singular matrix may give a tiny
    /// non-zero value rather than 0.0.
    [[nodiscard]] double Det() const;

    /// True only when Det() is exactly 0.0 or exactly DBL_MAX; no tolerance is applied. Throws
    /// as Det() does: AllocErr when storage cannot be had, OpeErr Kind 0 when this object is not
    /// square.
    [[nodiscard]] bool IsSingular() const;

    /// The inverse, through balancing and one LU decomposition.
    /// \returns the inverse, or the zero matrix of the same order and suffix base when there is
    /// none (a row of zeros, or order 1). Throws AllocErr when the result cannot be made, and
    /// with Count 0 when this object's work copy or the routine's work storage cannot be had
    /// (the routine layer's report of it has been made first); OpeErr Kind 0 when this object
    /// is not square.
    /// \warning an exactly zero pivot counts as 1.0e-20 (InvMtrxNN), so a singular matrix gives
    /// huge elements rather than the zero matrix; RCond() tells how far to trust the result.
    [[nodiscard]] SMtrxNN Inv() const;

    /// The solution of A x = b, A this matrix.
    /// \returns x with A x = b, solved as Inv() solves its first column
    /// (SolveMtrxNN): as accurate as the inverse, and for b the first unit vector the same bits
    /// as that column. x has b's size and suffix base. A NaN in A or b gives NaN in x.
    /// Throws OpeErr Kind 0 saying that the matrix is singular when the decomposition meets a
    /// row of zeros or an exactly zero pivot; OpeErr Kind 0 when this object is not square or
    /// b's size differs from its order, else Kind 1 when the suffix bases differ; AllocErr when
    /// the result cannot be made (Count the order) or this call's work storage cannot (Count
    /// 0); SVect::AllocErr::NoElements when b was moved from. A matrix of order 1 has no SVect
    /// of its size, so it meets OpeErr Kind 0.
    /// \warning a matrix that is singular only within rounding is solved: see RCond().
    [[nodiscard]] SVect Solve(const SVect& b) const;

    /// How far to trust a solve or an inverse of this matrix: its reciprocal condition number.
    /// \returns the reciprocal condition number in the 1-norm, 1 / (|A|_1 |A^-1|_1), estimated
    /// as RCondMtrxNN does from the decomposition Solve() uses: 1 for the identity, 0.0 for an
    /// exactly singular matrix, NaN when A holds a NaN. A solution loses about -log10(RCond())
    /// of its decimal digits; near the unit roundoff (1.1e-16) it has no correct digit.
    /// Throws AllocErr with Count 0 when work storage cannot be had, OpeErr Kind 0 when this
    /// object is not square.
    [[nodiscard]] double RCond() const;

    /// \cond INTERNAL
protected:
    // A rows x cols matrix whose elements are unset, for results that write every element.
    SMtrxNN(unsigned rows, unsigned cols, bool base1, Unfilled)
        : SMtrx(rows, cols, base1, Unfilled{}) {}

private:
    // The operators below, which make their results in place.
    friend struct detail::SMtrxNNOps;

    // Throws OpeErr Kind 0, naming the operation, unless Rows = Cols and there are elements.
    QUIL_NO_EXPORT void RequireSquare(const char* operation) const;

    // A routine-layer copy of this matrix, or null when it cannot be made.
    QUIL_NO_EXPORT MtrxNN* WorkCopy() const;
    /// \endcond
};

/// A copy of a. Throws AllocErr when it cannot be made.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator+(const SMtrxNN& a);
/// a with every element negated. Throws AllocErr when it cannot be made.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(const SMtrxNN& a);

/// a + b. Throws OpeErr Kind 0 when the orders differ, else Kind 1 when the suffix bases
/// differ; AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator+(const SMtrxNN& a, const SMtrxNN& b);
/// a - b; throws as a + b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(const SMtrxNN& a, const SMtrxNN& b);

/// s a. Throws AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator*(double s, const SMtrxNN& a);
/// a s. Throws AllocErr when the result cannot be made.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator*(const SMtrxNN& a, double s);

// A temporary operand lends the result its storage: a + b - c makes one matrix, not two. The
// values are those of the operators above. The temporary is left moved-from, unless the
// operands do not match (it is then unchanged) or it has no storage (the operators above then
// decide, and throw their AllocErr).

/// -a in a's storage.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(SMtrxNN&& a);
/// a + b in a's storage; throws OpeErr as a + b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator+(SMtrxNN&& a, const SMtrxNN& b);
/// a + b in b's storage; throws OpeErr as a + b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator+(const SMtrxNN& a, SMtrxNN&& b);
/// a + b in a's storage; throws OpeErr as a + b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator+(SMtrxNN&& a, SMtrxNN&& b);
/// a - b in a's storage; throws OpeErr as a - b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(SMtrxNN&& a, const SMtrxNN& b);
/// a - b in b's storage; throws OpeErr as a - b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(const SMtrxNN& a, SMtrxNN&& b);
/// a - b in a's storage; throws OpeErr as a - b does.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator-(SMtrxNN&& a, SMtrxNN&& b);
/// s a in a's storage.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator*(double s, SMtrxNN&& a);
/// a s in a's storage.
[[nodiscard]] QUIL_EXPORT SMtrxNN operator*(SMtrxNN&& a, double s);

/// The matrix product. Incompatible operands (another suffix base, or shapes whose product is
/// not the square of a's rows) give, without an exception, a zero matrix of a's rows. Throws
/// AllocErr when the result cannot be made, and AllocErr::NoElements when either operand was
/// moved from (as every operator here does).
[[nodiscard]] QUIL_EXPORT SMtrxNN operator*(const SMtrxNN& a, const SMtrxNN& b);

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
using quil::SMtrxNN;
#endif
