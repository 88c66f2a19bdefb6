// The four determinants and the singularity test.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "routines/CopyMtrxNN.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Owned.h"
#include "routines/Paths.h"
#include "routines/Scaled.h"
#include "routines/Stop.h"
#include "routines/Work.h"
#include "routines/kernels/Arithmetic.h"
#include "routines/kernels/Factors.h"
#include "routines/kernels/Log10.h"

namespace quil {

namespace {

using detail::Negated;
using detail::Plus;
using detail::Scaled;
using detail::Times;
using detail::ToScaled;
using detail::Value;

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// True when rows and columns lo..hi of m hold a NaN. Magnitude comparisons pass a NaN over, so
// a routine that finds no scale or no pivot asks this before it calls the matrix singular.
bool HoldsNaN(Array2D<double> m, std::uint32_t lo, std::uint32_t hi) {
    for (std::uint32_t i = lo; i <= hi; ++i)
        for (std::uint32_t j = lo; j <= hi; ++j)
            if (std::isnan(m[i][j])) return true;
    return false;
}

// True when rows and columns lo..hi of m hold an infinity.
bool HoldsInfinity(Array2D<double> m, std::uint32_t lo, std::uint32_t hi) {
    for (std::uint32_t i = lo; i <= hi; ++i)
        for (std::uint32_t j = lo; j <= hi; ++j)
            if (std::isinf(m[i][j])) return true;
    return false;
}

// The determinant of a matrix found singular: 0.0, unless the block lo..hi of m holds a NaN.
double ZeroUnlessNaN(Array2D<double> m, std::uint32_t lo, std::uint32_t hi) {
    return HoldsNaN(m, lo, hi) ? kNaN : 0.0;
}

// Cofactor expansion along the first column, every product and sum carried as a Scaled; false
// when a minor cannot be had or the caller asked it to stop (Stop.h).
bool CofactorDet(const MtrxNN* a, Scaled* det) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    const std::uint32_t hi = lo + n - 1u;
    const Array2D<double> e = a->Elem;
    if (n == 1) {
        *det = ToScaled(e[lo][lo]);
        return true;
    }
    if (n == 2) {
        const Scaled ad = Times(ToScaled(e[lo][lo]), e[lo + 1][lo + 1]);
        const Scaled bc = Times(ToScaled(e[lo][lo + 1]), e[lo + 1][lo]);
        *det = Plus(ad, Negated(bc));
        return true;
    }
    if (detail::StopRequested()) return false;
    Scaled sum = {0.0, 0};
    for (std::uint32_t i = lo; i <= hi; ++i) {
        const double coef = (i - lo) % 2 == 1 ? -a->Elem[i][lo] : a->Elem[i][lo];
        MtrxNN* minor = GetMatrixNN(nullptr, n - 1u, a->Base1);
        if (minor == nullptr) return false;
        for (std::uint32_t r = lo; r < hi; ++r) {
            const std::uint32_t from = r < i ? r : r + 1u;
            for (std::uint32_t c = lo; c < hi; ++c) minor->Elem[r][c] = a->Elem[from][c + 1u];
        }
        Scaled sub;
        const bool ok = CofactorDet(minor, &sub);
        FreeMatrixNN(minor);
        if (!ok) return false;
        sum = Plus(sum, Times(sub, coef));
    }
    *det = sum;
    return true;
}

// The pivot index vector and the work copy of a, as DetNN2 and DetLog10 both need them, in the
// calling thread's work storage; rows far outside the range of 1 are shifted towards it in the
// copy (shift: the sum of the exponents, det a = det w x 2^-shift).
struct LUWork {
    std::uint32_t lo, hi;
    detail::WorkBlock block;
    Array1D<std::int32_t> index;
    MtrxNN w{};
    std::int64_t shift = 0;

    explicit LUWork(const MtrxNN* a)
        : lo(LowSub(a->Base1)),
          hi(LowSub(a->Base1) + a->Size - 1u),
          block(detail::PivotBytes(a->Size) + detail::MatrixBytes(a->Size)) {
        if (!block) return;
        detail::WorkCarver carve(block);
        index = carve.Pivots(a->Size, a->Base1);
        w = carve.Matrix(a->Size, a->Base1, false);
        shift = detail::CopyShiftingRows(&w, a);
    }
    bool Ok() const { return static_cast<bool>(block); }
};

// log10(2) in two parts: k x the first is exact for |k| < 2^29.
constexpr double kLog10Of2Hi = 0x1.344134p-2;
constexpr double kLog10Of2Lo = 0x1.09f79fef311f1p-26;

// The factors of DetNN's product, as the elimination kernel reports them.
void TimesFactor(void* product, double x) {
    *static_cast<Scaled*>(product) = Times(*static_cast<Scaled*>(product), x);
}
void FlipSign(void* product) { *static_cast<Scaled*>(product) = Negated(*static_cast<Scaled*>(product)); }

// DetNN's result after its last step: the product times the last element, which is not a pivot
// either when it is 0.0 (and 0.0 then avoids a signed zero).
double LastFactor(Scaled product, double last) {
    if (last == 0.0) return 0.0;
    return Value(Times(product, last));
}

thread_local const std::atomic<bool>* stopFlag = nullptr;

}  // namespace

void detail::SetStopFlag(const std::atomic<bool>* flag) { stopFlag = flag; }

bool detail::StopRequested() {
    return stopFlag != nullptr && stopFlag->load(std::memory_order_relaxed);
}

double DetNNbyRef(const MtrxNN* a) {
    Scaled det;
    return CofactorDet(a, &det) ? Value(det) : DBL_MAX;
}

// Scales every column by its largest magnitude into a base-1 work record W, then eliminates with
// full pivoting; the determinant is the product of the scales, the pivots and the sign changes
// of the exchanges. Rows far outside the range of 1 are first shifted towards it in a copy, so
// that a column whose entries span more than the range of double keeps them after its scaling.
// Off the plain path a kernel does the scaling and the steps, each step's update and the next
// pivot search in one pass, with the plain loop's operations.
double detail::DetNN(Path path, const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    if (n == 1) return a->Elem[lo][lo];

    detail::OwnedMatrix wm(GetMatrixNN(nullptr, n, true));
    if (wm.R == nullptr) return DBL_MAX;
    const Array2D<double> w = wm.R->Elem;
    detail::OwnedMatrix shifted;
    Scaled product = ToScaled(1.0);
    if (!RowsInRange(a)) {
        shifted.R = GetMatrixNN(nullptr, n, a->Base1);
        if (shifted.R == nullptr) return DBL_MAX;
        CopyMtrxNN(shifted.R, a);
        product.Exp = -ShiftRowsIntoRange(shifted.R, nullptr);
        a = shifted.R;
    }

    // A column whose largest magnitude is infinite is taken as it is: divided by that scale it
    // would hold inf / inf = NaN, where the other routines meet the infinity itself. The kernel
    // divides every column, so such a matrix takes the plain loops.
    std::uint32_t step = 0;
    if (path != Path::Plain && HoldsInfinity(a->Elem, lo, lo + n - 1u)) path = Path::Plain;
    switch (FullPivotRuns(path, n, &a->Elem[lo][lo], &w[1][1],
                          ProductSink{&product, TimesFactor, FlipSign}, &step)) {
    case FullPivotEnd::ZeroColumn: return ZeroUnlessNaN(a->Elem, lo, lo + n - 1u);
    case FullPivotEnd::NoPivot: return ZeroUnlessNaN(w, step + 1u, n);
    case FullPivotEnd::Done: return LastFactor(product, w[n][n]);
    case FullPivotEnd::NotRun: break;
    }

    for (std::uint32_t j = 1; j <= n; ++j) {
        double scale = 0.0;
        for (std::uint32_t i = 1; i <= n; ++i) {
            const double m = std::fabs(a->Elem[lo + i - 1u][lo + j - 1u]);
            if (m > scale) scale = m;
        }
        if (scale == 0.0)  // a zero column (or zeros and NaN): singular
            return ZeroUnlessNaN(a->Elem, lo, lo + n - 1u);
        if (std::isinf(scale)) scale = 1.0;
        for (std::uint32_t i = 1; i <= n; ++i) w[i][j] = a->Elem[lo + i - 1u][lo + j - 1u] / scale;
        product = Times(product, scale);
    }

    for (std::uint32_t k = 1; k <= n - 1u; ++k) {
        double big = 0.0;
        std::uint32_t p = 0;
        std::uint32_t q = 0;
        for (std::uint32_t i = k; i <= n; ++i) {
            for (std::uint32_t j = k; j <= n; ++j) {
                const double m = std::fabs(w[i][j]);
                if (m > big) {
                    big = m;
                    p = i;
                    q = j;
                }
            }
        }
        if (big == 0.0)  // nothing left to pivot on (but zeros or NaN): singular
            return ZeroUnlessNaN(w, k, n);
        product = Times(product, w[p][q]);
        if (q != k) {
            for (std::uint32_t i = k; i <= n; ++i) {
                const double t = w[i][q];
                w[i][q] = w[i][k];
                w[i][k] = t;
            }
            product = Negated(product);
        }
        if (p != k) {
            for (std::uint32_t j = k; j <= n; ++j) {
                const double t = w[p][j];
                w[p][j] = w[k][j];
                w[k][j] = t;
            }
            product = Negated(product);
        }
        const double r = 1.0 / w[k][k];
        for (std::uint32_t i = k + 1u; i <= n; ++i) {
            const double m = Multiplier(w[i][k], r, w[k][k]);
            for (std::uint32_t j = k + 1u; j <= n; ++j) w[i][j] = w[i][j] - m * w[k][j];
        }
    }
    return LastFactor(product, w[n][n]);
}

double detail::DetOfFactors(int parity, std::int64_t shift, const double* f, std::size_t stride,
                            std::uint32_t n) {
    Scaled det = {static_cast<double>(parity), -shift};
    for (std::uint32_t i = 0; i < n; ++i) det = Times(det, f[i * stride + i]);
    return Value(det);
}

// log10 |det| from the LU factors, with the sign apart, so that large orders do not overflow.
// The logarithm is the library's own, whose bits do not depend on the C library.
double detail::Log10OfFactors(int parity, std::int64_t shift, const double* f, std::size_t stride,
                              std::uint32_t n, int* sign) {
    int s = parity;
    double sum = 0.0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const double d = f[i * stride + i];
        s = s * (d > 0.0 ? 1 : -1);
        sum = sum + Log10(std::fabs(d));
    }
    if (shift != 0) {  // the shifted rows' factor 2^-shift
        const auto k = static_cast<double>(shift);
        sum = sum - (k * kLog10Of2Hi + k * kLog10Of2Lo);
    }
    *sign = s;
    return sum;
}

namespace {

// DetNN2's result from the decomposition of work: the parity of the row exchanges times the
// diagonal of the LU factors.
double Product(const MtrxNN* a, const LUWork& work, detail::LUDcmpOutcome outcome, int parity) {
    switch (outcome) {
    case detail::LUDcmpOutcome::NoWork: return DBL_MAX;
    case detail::LUDcmpOutcome::ZeroRow: return ZeroUnlessNaN(a->Elem, work.lo, work.hi);
    case detail::LUDcmpOutcome::Done:
    case detail::LUDcmpOutcome::ZeroPivot: break;
    }
    return detail::DetOfFactors(parity, work.shift, &work.w.Elem[work.lo][work.lo], a->Size,
                                a->Size);
}

// DetLog10's result from the same decomposition: the sum of the logarithms of the diagonal, with
// the sign apart.
double LogSum(const MtrxNN* a, const LUWork& work, detail::LUDcmpOutcome outcome, int parity,
              int* sign) {
    switch (outcome) {
    case detail::LUDcmpOutcome::NoWork: return DBL_MAX;
    case detail::LUDcmpOutcome::ZeroRow:  // log10 of 0, unless a NaN lies elsewhere
        return HoldsNaN(a->Elem, work.lo, work.hi) ? kNaN : -DBL_MAX;
    case detail::LUDcmpOutcome::Done:
    case detail::LUDcmpOutcome::ZeroPivot: break;
    }
    return detail::Log10OfFactors(parity, work.shift, &work.w.Elem[work.lo][work.lo], a->Size,
                                  a->Size, sign);
}

// DetNN2's determinant, or with sign DetLog10's logarithm: small orders in local arrays, others
// (and matrices that would leave the small orders' way) in work records.
double DetOrLog10(detail::Path path, const MtrxNN* a, int* sign, detail::LUDcmpOutcome* outcome) {
    const std::uint32_t lo = LowSub(a->Base1);
    double result;
    std::uint8_t status;
    if (detail::SmallDetRuns(path, a->Size, 0, 1, &a->Elem[lo][lo], &result, sign, &status) == 1) {
        if (outcome != nullptr) *outcome = detail::OutcomeOf(status);
        return result;
    }
    LUWork work(a);
    if (outcome != nullptr) *outcome = detail::LUDcmpOutcome::NoWork;
    if (!work.Ok()) return DBL_MAX;
    int parity;
    const detail::LUDcmpOutcome end = detail::LUDcmpMtrxNN(path, &work.w, work.index, &parity);
    if (outcome != nullptr) *outcome = end;
    return sign == nullptr ? Product(a, work, end, parity) : LogSum(a, work, end, parity, sign);
}

}  // namespace

double detail::DetNN2(Path path, const MtrxNN* a, LUDcmpOutcome* outcome) {
    return DetOrLog10(path, a, nullptr, outcome);
}

double DetNN(const MtrxNN* a) { return detail::DetNN(detail::FastestPath(), a); }

double DetNN2(const MtrxNN* a) { return detail::DetNN2(detail::FastestPath(), a); }

double detail::DetLog10(Path path, const MtrxNN* a, int* sign, LUDcmpOutcome* outcome) {
    *sign = 0;
    return DetOrLog10(path, a, sign, outcome);
}

// Both from one decomposition in work records (SLUDcmp keeps them beside its factors).
bool detail::Determinants(Path path, const MtrxNN* a, double* det, double* log10, int* sign) {
    *sign = 0;
    LUWork work(a);
    if (!work.Ok()) return false;
    int parity;
    const LUDcmpOutcome outcome = LUDcmpMtrxNN(path, &work.w, work.index, &parity);
    if (outcome == LUDcmpOutcome::NoWork) return false;
    *det = Product(a, work, outcome, parity);
    *log10 = LogSum(a, work, outcome, parity, sign);
    return true;
}

double DetLog10(const MtrxNN* a, int* sign) {
    return detail::DetLog10(detail::FastestPath(), a, sign);
}

bool IsSingularMtrxNN(const MtrxNN* a, double* det) {
    *det = DetNN2(a);
    return std::fabs(*det) < SingularTol;
}

}  // namespace quil
