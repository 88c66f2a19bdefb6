// LU decomposition (Crout, implicit partial pivoting), forward and back substitution, and the
// solvers built on them.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "routines/CopyMtrxNN.h"
#include "routines/LU.h"
#include "routines/Work.h"
#include "routines/kernels/Arithmetic.h"
#include "routines/kernels/Factors.h"

namespace quil::detail {

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// x[lo + k] = the k-th element of b, for as many elements as b has, up to x's last.
void CopyIntoVect(Vect* x, const Vect* b) {
    const std::uint32_t xlo = LowSub(x->Base1);
    const std::uint32_t blo = LowSub(b->Base1);
    for (std::uint32_t k = 0; k < b->Size && k < x->Size; ++k) x->Elem[xlo + k] = b->Elem[blo + k];
}

}  // namespace

// Crout's method in place: f becomes L (unit diagonal implied, below it) and U (on and above
// it) of the row-permuted matrix. Each row is scaled by its largest magnitude for the pivot
// choice; among equal scaled values the last row wins. A pivot of exactly 0.0 becomes 1.0e-20.
// Off the plain path the columns are eliminated by the blocked kernel, which gives every
// element the same subtractions in the same order and picks the same pivots.
LUDcmpOutcome LUDcmpMtrxNN(Path path, MtrxNN* f, Array1D<std::int32_t> p,
                                         int* parity) {
    if (p == nullptr) return LUDcmpOutcome::NoWork;
    const std::uint32_t lo = LowSub(f->Base1);
    const std::uint32_t hi = lo + f->Size - 1u;
    const WorkBlock scales(VectorBytes(f->Size));
    if (!scales) return LUDcmpOutcome::NoWork;
    const Array1D<double> vv = WorkCarver(scales).Vector(f->Size, f->Base1).Elem;

    *parity = 1;
    bool zeroRow = false;
    if (!RowScalesRuns(path, f->Size, &f->Elem[lo][lo], &vv[lo], &zeroRow)) {
        for (std::uint32_t i = lo; i <= hi && !zeroRow; ++i) {
            double big = 0.0;
            bool nan = false;
            for (std::uint32_t j = lo; j <= hi; ++j) {
                const double temp = std::fabs(f->Elem[i][j]);
                if (temp > big) big = temp;
                nan = nan || std::isnan(temp);
            }
            // A row of zeros and NaN is no zero row: its scale is NaN, and so are the results.
            zeroRow = big == 0.0 && !nan;
            if (!zeroRow) vv[i] = big == 0.0 ? std::numeric_limits<double>::quiet_NaN() : 1.0 / big;
        }
    }
    if (zeroRow) return LUDcmpOutcome::ZeroRow;

    bool zeroPivot = false;
    const auto done = [&] { return zeroPivot ? LUDcmpOutcome::ZeroPivot : LUDcmpOutcome::Done; };
    if (FactorRuns(path, f->Size, static_cast<std::int32_t>(lo), &f->Elem[lo][lo], &vv[lo], &p[lo],
                   parity, &zeroPivot))
        return done();
    for (std::uint32_t j = lo; j <= hi; ++j) {
        for (std::uint32_t i = lo; i < j; ++i) {
            double sum = f->Elem[i][j];
            for (std::uint32_t k = lo; k < i; ++k) sum = sum - f->Elem[i][k] * f->Elem[k][j];
            f->Elem[i][j] = sum;
        }
        double big = 0.0;
        std::uint32_t imax = j;
        for (std::uint32_t i = j; i <= hi; ++i) {
            double sum = f->Elem[i][j];
            for (std::uint32_t k = lo; k < j; ++k) sum = sum - f->Elem[i][k] * f->Elem[k][j];
            f->Elem[i][j] = sum;
            const double dum = vv[i] * std::fabs(sum);
            if (dum >= big) {
                big = dum;
                imax = i;
            }
        }
        if (imax != j) {
            for (std::uint32_t k = lo; k <= hi; ++k) {
                const double dum = f->Elem[imax][k];
                f->Elem[imax][k] = f->Elem[j][k];
                f->Elem[j][k] = dum;
            }
            *parity = -*parity;
            vv[imax] = vv[j];
        }
        p[j] = static_cast<std::int32_t>(imax);
        if (f->Elem[j][j] == 0.0) {
            f->Elem[j][j] = 1.0e-20;
            zeroPivot = true;
        }
        if (j != hi) {
            const double dum = 1.0 / f->Elem[j][j];
            for (std::uint32_t i = j + 1; i <= hi; ++i)
                f->Elem[i][j] = Multiplier(f->Elem[i][j], dum, f->Elem[j][j]);
        }
    }
    return done();
}

LUDcmpOutcome LUDcmpMtrxNNOutcome(MtrxNN* f, Array1D<std::int32_t> p, int* parity) {
    return LUDcmpMtrxNN(FastestPath(), f, p, parity);
}

bool LUDcmpMtrxNN(MtrxNN* f, Array1D<std::int32_t> p, int* parity) {
    return Decomposed(LUDcmpMtrxNNOutcome(f, p, parity));
}

// A row whose largest magnitude lies outside [2^-kRowBand, 2^kRowBand] is brought to the nearer
// end. Inside the band nothing changes, so no ordinary matrix sees this; outside it, row scales,
// multipliers and pivots that would leave the range of double stay in it.
constexpr int kRowBand = 256;
// The magnitudes whose ilogb lies in the band: from 2^-kRowBand to below 2^(kRowBand + 1).
constexpr double kBandLowest = kRowBandLowest;
constexpr double kBandBeyond = kRowBandBeyond;
static_assert(kBandLowest == 0x1p-256 && kBandBeyond == 0x1p+257, "the band of kRowBand = 256");

void ExactScales::Keep(double x) {
    if (x == 0.0 || !std::isfinite(x)) return;
    // x = m 2^u with the integer m of the binary format: its implicit bit set for a normal x.
    // (memcpy rather than std::bit_cast, which Emscripten's C++ library lacks)
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const int field = static_cast<int>((bits >> 52) & 0x7ffu);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1u);
    const std::uint64_t m = field == 0 ? fraction : fraction | (std::uint64_t{1} << 52);
    const int u = field == 0 ? -1074 : field - 1075;
    const int lowest = u + std::countr_zero(m);
    const int highest = u + 63 - std::countl_zero(m);
    if (-1074 - lowest > Low) Low = -1074 - lowest;
    if (1023 - highest < High) High = 1023 - highest;
}

namespace {

// The power of 2 that brings row i of m into the band, as far as the row and its element of dr
// (when given) stay exact: 0 inside the band, and for a row of zeros, NaN or infinities.
int RowShift(const MtrxNN* m, const MtrxNN* dr, std::uint32_t i) {
    const std::uint32_t lo = LowSub(m->Base1);
    double big = 0.0;  // the largest magnitude; a NaN is passed over, as fmax would
    for (std::uint32_t j = lo; j < lo + m->Size; ++j) {
        const double t = std::fabs(m->Elem[i][j]);
        if (t > big) big = t;
    }
    if (big >= kBandLowest && big < kBandBeyond) return 0;  // most rows, without ilogb
    if (big == 0.0 || !std::isfinite(big)) return 0;
    const int e = std::ilogb(big);
    const int wanted = e > kRowBand ? kRowBand - e : e < -kRowBand ? -kRowBand - e : 0;
    ExactScales exact;
    for (std::uint32_t j = lo; j < lo + m->Size; ++j) exact.Keep(m->Elem[i][j]);
    if (dr != nullptr) exact.Keep(dr->Elem[i][i]);
    return wanted < exact.Low ? exact.Low : wanted > exact.High ? exact.High : wanted;
}

}  // namespace

bool RowsInRange(const MtrxNN* m) {
    const std::uint32_t lo = LowSub(m->Base1);
    for (std::uint32_t i = lo; i < lo + m->Size; ++i)
        if (RowShift(m, nullptr, i) != 0) return false;
    return true;
}

std::int64_t ShiftRowsIntoRange(MtrxNN* m, MtrxNN* dr) {
    const std::uint32_t lo = LowSub(m->Base1);
    const std::uint32_t hi = lo + m->Size - 1u;
    std::int64_t total = 0;
    for (std::uint32_t i = lo; i <= hi; ++i) {
        const int shift = RowShift(m, dr, i);
        if (shift == 0) continue;
        for (std::uint32_t j = lo; j <= hi; ++j) m->Elem[i][j] = std::ldexp(m->Elem[i][j], shift);
        if (dr != nullptr) dr->Elem[i][i] = std::ldexp(dr->Elem[i][i], shift);
        total += shift;
    }
    return total;
}

// Solves with the factors of f in place of the right-hand side x: the row exchanges and the
// forward substitution (skipping the leading zeros of x), then the back substitution.
bool LUBksbMtrxNN(const MtrxNN* f, Vect* x, Array1D<std::int32_t> p) {
    if (f->Base1 != x->Base1 || f->Size != x->Size) return false;
    if (p == nullptr) return false;
    const std::uint32_t lo = LowSub(f->Base1);
    LUBksbRun(f->Size, &f->Elem[lo][lo], f->Size, &p[lo], static_cast<std::int32_t>(lo),
              &x->Elem[lo]);
    return true;
}

void LUBksbRun(std::uint32_t n, const double* f, std::size_t stride, const std::int32_t* piv,
               std::int32_t lo, double* x) {
    bool started = false;
    std::size_t ii = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto ip = static_cast<std::size_t>(piv[i] - lo);
        double sum = x[ip];
        x[ip] = x[i];
        if (started) {
            for (std::size_t j = ii; j < i; ++j) sum = sum - f[i * stride + j] * x[j];
        } else if (sum != 0.0) {
            started = true;
            ii = i;
        }
        x[i] = sum;
    }
    for (std::size_t i = n; i-- > 0;) {
        double sum = x[i];
        for (std::size_t j = i + 1; j < n; ++j) sum = sum - f[i * stride + j] * x[j];
        x[i] = sum / f[i * stride + i];
    }
}

// x = a^-1 b. The pivot vector always goes to the caller; the factors too when the slot f held
// a record on entry, else they are released here. On failure every slot it filled is null.
bool LUSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p, bool* singular) {
    if (*f == a || *x == b) return false;  // the slot's record would be released before it is read
    const bool keepFactors = *f != nullptr;
    *f = GetMatrixNN(*f, a->Size, a->Base1);
    if (*f == nullptr) return false;
    *x = GetVector(*x, a->Size, a->Base1);
    if (*x == nullptr) {
        *f = FreeMatrixNN(*f);
        return false;
    }
    CopyIntoVect(*x, b);
    CopyMtrxNN(*f, a);

    const std::uint32_t lo = LowSub(a->Base1);
    const std::uint32_t hi = lo + a->Size - 1u;
    const auto fail = [&](bool releasePivots) {
        if (releasePivots) *p = FreeArray1D(ArrInt32, *p, lo, hi);
        *x = FreeVector(*x);
        *f = FreeMatrixNN(*f);
        return false;
    };
    if (*p != nullptr) return fail(false);  // the caller's pivot vector is not ours to drop
    *p = GetArray1D<std::int32_t>(ArrInt32, nullptr, lo, hi);
    if (*p == nullptr) return fail(false);
    int parity;
    const LUDcmpOutcome outcome = LUDcmpMtrxNN(path, *f, *p, &parity);
    if (singular != nullptr)
        *singular = outcome == LUDcmpOutcome::ZeroRow || outcome == LUDcmpOutcome::ZeroPivot;
    if (!Decomposed(outcome)) return fail(true);
    if (!LUBksbMtrxNN(*f, *x, *p)) return fail(true);
    if (!keepFactors) *f = FreeMatrixNN(*f);
    return true;
}

bool LUSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                   Array1D<std::int32_t>* p) {
    return LUSolveMtrxNN(FastestPath(), a, b, x, f, p);
}

// x = a^-1 b with the factors and pivots kept from LUSolveMtrxNN.
bool LUReSolveMtrxNN(const MtrxNN* f, const Vect* b, Array1D<std::int32_t> p, Vect** x) {
    if (*x == b) return false;  // b would be released before it is read
    *x = GetVector(*x, f->Size, f->Base1);
    if (*x == nullptr) return false;
    CopyIntoVect(*x, b);
    if (!LUBksbMtrxNN(f, *x, p)) {
        *x = FreeVector(*x);
        return false;
    }
    return true;
}

}  // namespace quil::detail
