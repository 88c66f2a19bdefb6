// The reciprocal condition number in the 1-norm, estimated from the balanced LU decomposition.
#include <cmath>
#include <cstdint>
#include <limits>

#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

namespace quil {

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// The norms whose reciprocal, and the inverse's norm with them, the estimate takes as they are.
constexpr double kNormLowest = 0x1p-512;
constexpr double kNormHighest = 0x1p+512;

// The work of one estimate: the balanced factors of a (P S = L U, S = Dr a Dc), and the vectors
// of Hager and Higham's iteration. The solves are those of a scaled by 2^k, whose inverse is
// 2^-k a^-1, each element carried with a power of 2 of its own on the way (SolveScaledRun).
struct CondWork {
    const detail::BalancedFactors& lu;
    std::uint32_t n;
    std::int64_t shift;  // -k
    double* x;
    std::int64_t* exps;
    double* v;
    double* sign;

    // x = (2^k a)^-1 x = 2^-k Dc S^-1 Dr x.
    void Solve() { detail::SolveScaledRun(lu, x, exps, shift, false); }

    // x = (2^k a)^-T x = 2^-k Dr S^-T Dc x.
    void SolveTransposed() { detail::SolveScaledRun(lu, x, exps, shift, true); }

    double Norm1(const double* y) const {
        double sum = 0.0;
        for (std::uint32_t i = 0; i < n; ++i) sum = sum + std::fabs(y[i]);
        return sum;
    }

    // The first subscript of the largest magnitude of x.
    std::uint32_t ArgMax() const {
        std::uint32_t at = 0;
        for (std::uint32_t i = 1; i < n; ++i)
            if (std::fabs(x[i]) > std::fabs(x[at])) at = i;
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
double InverseNorm1(CondWork& w) {
    const std::uint32_t n = w.n;
    for (std::uint32_t i = 0; i < n; ++i) w.x[i] = 1.0 / n;
    w.Solve();
    double est = w.Norm1(w.x);
    for (std::uint32_t i = 0; i < n; ++i) w.sign[i] = 0.0;
    w.SignsRepeat();
    w.SolveTransposed();
    std::uint32_t j = w.ArgMax();
    for (int iter = 2;; ++iter) {
        for (std::uint32_t i = 0; i < n; ++i) w.x[i] = 0.0;
        w.x[j] = 1.0;
        w.Solve();
        for (std::uint32_t i = 0; i < n; ++i) w.v[i] = w.x[i];
        const double old = est;
        est = w.Norm1(w.v);
        if (w.SignsRepeat() || est <= old) break;
        w.SolveTransposed();
        const std::uint32_t last = j;
        j = w.ArgMax();
        if (w.x[last] == std::fabs(w.x[j]) || iter >= 5) break;
    }
    double alt = 1.0;
    for (std::uint32_t i = 0; i < n; ++i) {
        w.x[i] = alt * (1.0 + static_cast<double>(i) / (n - 1u));
        alt = -alt;
    }
    w.Solve();
    const double temp = 2.0 * (w.Norm1(w.x) / (3.0 * n));
    return temp > est ? temp : est;
}

}  // namespace

double detail::RCondOfFactors(double norm, const BalancedFactors& lu, double* x, std::int64_t* e,
                              double* v, double* sign) {
    // The condition number is that of 2^k a for every k: a norm far from 1, whose reciprocal or
    // whose inverse's norm might leave the range, is brought to [1, 2) first.
    int k = 0;
    if (std::isfinite(norm) && (norm < kNormLowest || norm > kNormHighest)) {
        k = -std::ilogb(norm);
        norm = std::ldexp(norm, k);
    }
    CondWork w{lu, lu.n, -k, x, e, v, sign};
    const double inverseNorm = InverseNorm1(w);
    if (!(inverseNorm > 0.0)) return 0.0;
    return (1.0 / norm) / inverseNorm;
}

// 1 / (|a|_1 |a^-1|_1) with |a^-1|_1 estimated through the decomposition that SolveMtrxNN uses:
// a balanced by powers of 2, rows far outside the range of 1 shifted towards it, then LU. The
// decomposition has the same bits on every path, and the estimate's own loops are plain, so the
// result has the same bits everywhere. Small orders are worked in local arrays.
double detail::RCondMtrxNN(Path path, const MtrxNN* a, LUDcmpOutcome* outcome) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    const std::uint32_t hi = lo + n - 1u;
    LUDcmpOutcome ignored;
    LUDcmpOutcome& end = outcome != nullptr ? *outcome : ignored;
    double rcond;
    std::uint8_t status;
    if (SmallRCondRuns(path, n, 0, 1, &a->Elem[lo][lo], &rcond, &status) == 1) {
        end = OutcomeOf(status);
        return rcond;
    }
    end = LUDcmpOutcome::Done;
    double norm = 0.0;
    for (std::uint32_t j = lo; j <= hi; ++j) {
        double sum = 0.0;
        for (std::uint32_t i = lo; i <= hi; ++i) {
            if (std::isnan(a->Elem[i][j])) return std::numeric_limits<double>::quiet_NaN();
            sum = sum + std::fabs(a->Elem[i][j]);
        }
        if (sum > norm) norm = sum;
    }
    if (norm == 0.0) {
        end = LUDcmpOutcome::ZeroRow;
        return 0.0;
    }
    if (n == 1) return std::isfinite(norm) ? 1.0 : 0.0;

    const BalancedLU lu(path, a);
    end = lu.outcome;
    switch (lu.outcome) {
    case LUDcmpOutcome::NoWork: return -1.0;
    case LUDcmpOutcome::ZeroRow:
    case LUDcmpOutcome::ZeroPivot: return 0.0;
    case LUDcmpOutcome::Done: break;
    }
    const WorkBlock vectors(2 * VectorBytes(n));
    if (!vectors) {
        end = LUDcmpOutcome::NoWork;
        return -1.0;
    }
    WorkCarver carve(vectors);
    Vect v = carve.Vector(n, a->Base1);
    Vect sign = carve.Vector(n, a->Base1);
    return RCondOfFactors(norm, lu.Factors(), &lu.x.Elem[lo], &lu.xexp[lo], &v.Elem[lo],
                          &sign.Elem[lo]);
}

double RCondMtrxNN(const MtrxNN* a) { return detail::RCondMtrxNN(detail::FastestPath(), a); }

}  // namespace quil
