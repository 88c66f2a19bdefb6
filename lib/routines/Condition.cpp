// The reciprocal condition number in the 1-norm, estimated from the balanced LU decomposition.
#include <cmath>
#include <cstdint>
#include <limits>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Scaled.h"
#include "routines/kernels/Factors.h"

namespace quil {

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// The norms whose reciprocal, and the inverse's norm with them, the estimate takes as they are.
constexpr double kNormLowest = 0x1p-512;
constexpr double kNormHighest = 0x1p+512;

// Numbers beyond the range of double, for the estimate of an inverse whose norm overflows.
using detail::Scaled;

// |a| with its mantissa in [0.5, 1), or 0.0 or infinity as it is.
Scaled Magnitude(Scaled a) { return detail::Normalized({std::fabs(a.Mant), a.Exp}); }

// -1, 0 or 1 as |a| is below, equal to or above |b|; 2 when either is NaN (unordered).
int Compare(Scaled a, Scaled b) {
    a = Magnitude(a);
    b = Magnitude(b);
    if (std::isnan(a.Mant) || std::isnan(b.Mant)) return 2;
    const bool plain = a.Mant == 0.0 || b.Mant == 0.0 || std::isinf(a.Mant) || std::isinf(b.Mant);
    if (!plain && a.Exp != b.Exp) return a.Exp < b.Exp ? -1 : 1;
    return a.Mant < b.Mant ? -1 : a.Mant > b.Mant ? 1 : 0;
}

// The work of one estimate: the balanced factors of a (P S = L U, S = Dr a Dc) as runs, and the
// vectors of Hager and Higham's iteration. The solves are those of a scaled by 2^k, whose inverse
// is 2^-k a^-1, each element carried with a power of 2 of its own on the way (SolveScaledRun); an
// element of a solution that overflows a double stays x[i] 2^exps[i] (exps[i] is 0 for every
// other), so that an inverse whose norm lies beyond the range is still estimated.
struct CondWork {
    const detail::BalancedRuns& lu;
    std::uint32_t n;
    std::int64_t shift;  // -k
    double* x;
    std::int64_t* exps;
    double* sign;

    // x = (2^k a)^-1 x = 2^-k Dc S^-1 Dr x.
    void Solve() { detail::SolveScaledRun(lu, x, exps, shift, false, true); }

    // x = (2^k a)^-T x = 2^-k Dr S^-T Dc x.
    void SolveTransposed() { detail::SolveScaledRun(lu, x, exps, shift, true, true); }

    Scaled At(std::uint32_t i) const { return {x[i], exps[i]}; }

    // The 1-norm of x, summed in ascending order.
    Scaled Norm1() const {
        Scaled sum = {0.0, 0};
        for (std::uint32_t i = 0; i < n; ++i) sum = detail::Plus(sum, Magnitude(At(i)));
        return sum;
    }

    // The first subscript of the largest magnitude of x.
    std::uint32_t ArgMax() const {
        std::uint32_t at = 0;
        for (std::uint32_t i = 1; i < n; ++i)
            if (Compare(At(i), At(at)) == 1) at = i;
        return at;
    }

    // x = the signs of x (+1 for 0.0); true when they are those kept in sign, which then
    // receives them.
    bool SignsRepeat() {
        bool same = true;
        for (std::uint32_t i = 0; i < n; ++i) {
            const double s = x[i] >= 0.0 ? 1.0 : -1.0;
            same = same && s == sign[i];
            sign[i] = s;
            x[i] = s;
        }
        return same;
    }
};

// Hager's estimate of |a^-1|_1 with Higham's refinements, as LAPACK's dlacn2 makes it: at most
// five steps of the power method on the 1-norm, then an alternating-sign vector as a safeguard.
// It never exceeds the true norm.
Scaled InverseNorm1(CondWork& w) {
    const std::uint32_t n = w.n;
    for (std::uint32_t i = 0; i < n; ++i) w.x[i] = 1.0 / n;
    w.Solve();
    Scaled est = w.Norm1();
    for (std::uint32_t i = 0; i < n; ++i) w.sign[i] = 0.0;
    w.SignsRepeat();
    w.SolveTransposed();
    std::uint32_t j = w.ArgMax();
    for (int iter = 2;; ++iter) {
        for (std::uint32_t i = 0; i < n; ++i) w.x[i] = 0.0;
        w.x[j] = 1.0;
        w.Solve();
        const Scaled old = est;
        est = w.Norm1();
        const int grew = Compare(est, old);
        if (w.SignsRepeat() || grew == -1 || grew == 0) break;
        w.SolveTransposed();
        const std::uint32_t last = j;
        j = w.ArgMax();
        if ((w.x[last] >= 0.0 && Compare(w.At(last), w.At(j)) == 0) || iter >= 5) break;
    }
    double alt = 1.0;
    for (std::uint32_t i = 0; i < n; ++i) {
        w.x[i] = alt * (1.0 + static_cast<double>(i) / (n - 1u));
        alt = -alt;
    }
    w.Solve();
    const Scaled temp = detail::Times(detail::Quotient(w.Norm1(), 3.0 * n), 2.0);
    return Compare(temp, est) == 1 ? temp : est;
}

}  // namespace

// The 1-norm of a, brought near 1, or the result where a decides it alone.
detail::CondStart detail::RCondStart(const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    const std::uint32_t hi = lo + n - 1u;
    CondStart start;
    for (std::uint32_t j = lo; j <= hi; ++j) {
        double sum = 0.0;
        for (std::uint32_t i = lo; i <= hi; ++i) {
            if (std::isnan(a->Elem[i][j]))
                return {0.0, 0, true, std::numeric_limits<double>::quiet_NaN()};
            sum = sum + std::fabs(a->Elem[i][j]);
        }
        if (sum > start.norm) start.norm = sum;
    }
    if (start.norm == 0.0) return {0.0, 0, true, 0.0};
    if (n == 1) return {start.norm, 0, true, std::isfinite(start.norm) ? 1.0 : 0.0};
    NormNearOne(&start.norm, &start.k);
    return start;
}

void detail::NormNearOne(double* norm, int* k) {
    *k = 0;
    if (std::isfinite(*norm) && (*norm < kNormLowest || *norm > kNormHighest)) {
        *k = -std::ilogb(*norm);
        *norm = std::ldexp(*norm, *k);
    }
}

double detail::RCondOfFactors(double norm, int k, const BalancedRuns& lu, double* x,
                              std::int64_t* e, double* sign) {
    CondWork w{lu, lu.n, -k, x, e, sign};
    const Scaled inverseNorm = InverseNorm1(w);
    if (!(inverseNorm.Mant > 0.0)) return 0.0;
    if (inverseNorm.Exp == 0) return (1.0 / norm) / inverseNorm.Mant;
    // The inverse's norm lies far out: the quotient by its mantissa, then by its power of 2.
    Scaled r = Quotient(ToScaled(1.0 / norm), inverseNorm.Mant);
    r.Exp -= inverseNorm.Exp;
    return Value(r);
}

// 1 / (|2^k a|_1 |(2^k a)^-1|_1), the estimate's own loops plain, in work storage of its own.
double detail::RCondEstimate(const CondStart& start, const BalancedFactors& f) {
    const std::uint32_t n = f.s.Size;
    const std::uint32_t lo = LowSub(f.s.Base1);
    const WorkBlock vectors(3 * VectorBytes(n));
    if (!vectors) return -1.0;
    WorkCarver carve(vectors);
    Vect x = carve.Vector(n, f.s.Base1);
    Vect sign = carve.Vector(n, f.s.Base1);
    Array1D<std::int64_t> exps = carve.Exponents(n, f.s.Base1);
    return RCondOfFactors(start.norm, start.k, f.Runs(), &x.Elem[lo], &exps[lo], &sign.Elem[lo]);
}

// 1 / (|a|_1 |a^-1|_1) with |a^-1|_1 estimated through the decomposition that SolveMtrxNN uses:
// a balanced by powers of 2, rows far outside the range of 1 shifted towards it, then LU. The
// decomposition has the same bits on every path, and the estimate's own loops are plain, so the
// result has the same bits everywhere. Small orders are worked in local arrays.
double detail::RCondMtrxNN(Path path, const MtrxNN* a, LUDcmpOutcome* outcome) {
    LUDcmpOutcome ignored;
    LUDcmpOutcome& end = outcome != nullptr ? *outcome : ignored;
    const std::uint32_t lo = LowSub(a->Base1);
    double rcond;
    std::uint8_t status;
    if (SmallRCondRuns(path, a->Size, 0, 1, &a->Elem[lo][lo], &rcond, &status) == 1) {
        end = OutcomeOf(status);
        return rcond;
    }
    end = LUDcmpOutcome::Done;
    const CondStart start = RCondStart(a);
    if (start.decided) {
        if (start.norm == 0.0 && start.result == 0.0) end = LUDcmpOutcome::ZeroRow;
        return start.result;
    }
    const BalancedLU lu(path, a);
    end = lu.outcome;
    switch (lu.outcome) {
    case LUDcmpOutcome::NoWork: return -1.0;
    case LUDcmpOutcome::ZeroRow:
    case LUDcmpOutcome::ZeroPivot: return 0.0;
    case LUDcmpOutcome::Done: break;
    }
    const double r = RCondEstimate(start, lu);
    if (r == -1.0) end = LUDcmpOutcome::NoWork;
    return r;
}

double RCondMtrxNN(const MtrxNN* a) { return detail::RCondMtrxNN(detail::FastestPath(), a); }

}  // namespace quil
