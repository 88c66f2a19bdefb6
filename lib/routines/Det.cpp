// The four determinants and the singularity test.
#include <cfloat>
#include <cmath>
#include <cstdint>

#include "routines/DetNN.h"
#include "routines/detail/Paths.h"

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// Cofactor expansion along the first column; false when a minor cannot be had.
bool CofactorDet(const MtrxNN* a, double* det) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    const std::uint32_t hi = lo + n - 1u;
    if (n == 1) {
        *det = a->Elem[lo][lo];
        return true;
    }
    if (n == 2) {
        *det = a->Elem[lo][lo] * a->Elem[lo + 1][lo + 1] - a->Elem[lo][lo + 1] * a->Elem[lo + 1][lo];
        return true;
    }
    double sum = 0.0;
    for (std::uint32_t i = lo; i <= hi; ++i) {
        const double coef = (i - lo) % 2 == 1 ? -a->Elem[i][lo] : a->Elem[i][lo];
        MtrxNN* minor = GetMatrixNN(nullptr, n - 1u, a->Base1);
        if (minor == nullptr) return false;
        for (std::uint32_t r = lo; r < hi; ++r) {
            const std::uint32_t from = r < i ? r : r + 1u;
            for (std::uint32_t c = lo; c < hi; ++c) minor->Elem[r][c] = a->Elem[from][c + 1u];
        }
        double sub;
        const bool ok = CofactorDet(minor, &sub);
        FreeMatrixNN(minor);
        if (!ok) return false;
        sum = sum + sub * coef;
    }
    *det = sum;
    return true;
}

// The pivot index vector and the work copy of a, as DetNN2 and DetLog10 both need them.
struct LUWork {
    std::uint32_t lo, hi;
    Array1D<std::int32_t> index;
    MtrxNN* w = nullptr;

    explicit LUWork(const MtrxNN* a)
        : lo(LowSub(a->Base1)), hi(LowSub(a->Base1) + a->Size - 1u) {
        index = GetArray1D<std::int32_t>(ArrInt32, nullptr, lo, hi);
        if (index == nullptr) return;
        w = GetMatrixNN(nullptr, a->Size, a->Base1);
        if (w != nullptr) CopyMtrxNN(w, a);
    }
    ~LUWork() {
        FreeMatrixNN(w);
        FreeArray1D(ArrInt32, index, lo, hi);
    }
    LUWork(const LUWork&) = delete;
    LUWork& operator=(const LUWork&) = delete;
};

}  // namespace

double DetNNbyRef(const MtrxNN* a) {
    double det;
    return CofactorDet(a, &det) ? det : DBL_MAX;
}

// Scales every column by its largest magnitude into a base-1 work record W, then eliminates with
// full pivoting; the determinant is the product of the scales, the pivots and the sign changes
// of the exchanges.
double DetNN(const MtrxNN* a) {
    const std::uint32_t n = a->Size;
    const std::uint32_t lo = LowSub(a->Base1);
    if (n == 1) return a->Elem[lo][lo];

    double product = 1.0;
    MtrxNN* wm = GetMatrixNN(nullptr, n, true);
    if (wm == nullptr) return DBL_MAX;
    const Array2D<double> w = wm->Elem;

    for (std::uint32_t j = 1; j <= n; ++j) {
        double scale = 0.0;
        for (std::uint32_t i = 1; i <= n; ++i) {
            const double m = std::fabs(a->Elem[lo + i - 1u][lo + j - 1u]);
            if (m > scale) scale = m;
        }
        if (scale == 0.0) {  // a zero column: singular
            FreeMatrixNN(wm);
            return 0.0;
        }
        for (std::uint32_t i = 1; i <= n; ++i) w[i][j] = a->Elem[lo + i - 1u][lo + j - 1u] / scale;
        product = product * scale;
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
        if (big == 0.0) {  // nothing left to pivot on: singular
            FreeMatrixNN(wm);
            return 0.0;
        }
        product = product * w[p][q];
        if (q != k) {
            for (std::uint32_t i = k; i <= n; ++i) {
                const double t = w[i][q];
                w[i][q] = w[i][k];
                w[i][k] = t;
            }
            product = -product;
        }
        if (p != k) {
            for (std::uint32_t j = k; j <= n; ++j) {
                const double t = w[p][j];
                w[p][j] = w[k][j];
                w[k][j] = t;
            }
            product = -product;
        }
        const double r = 1.0 / w[k][k];
        for (std::uint32_t i = k + 1u; i <= n; ++i)
            for (std::uint32_t j = k + 1u; j <= n; ++j) w[i][j] = w[i][j] - (r * w[i][k]) * w[k][j];
    }
    const double last = w[n][n];
    FreeMatrixNN(wm);
    if (last == 0.0) return 0.0;  // the last step has no pivot either; avoids a signed zero
    return product * last;
}

// The parity of the row exchanges times the diagonal of the LU factors.
double quil::detail::DetNN2(Path path, const MtrxNN* a) {
    LUWork work(a);
    if (work.w == nullptr) return DBL_MAX;
    int parity;
    switch (LUDcmpMtrxNN(path, work.w, work.index, &parity)) {
    case LUDcmpOutcome::NoWork: return DBL_MAX;
    case LUDcmpOutcome::ZeroRow: return 0.0;
    case LUDcmpOutcome::Done: break;
    }
    double det = parity;
    for (std::uint32_t i = work.lo; i <= work.hi; ++i) det = det * work.w->Elem[i][i];
    return det;
}

double DetNN2(const MtrxNN* a) { return quil::detail::DetNN2(quil::detail::FastestPath(), a); }

// log10 |det| from the LU factors, with the sign apart, so that large orders do not overflow.
double quil::detail::DetLog10(Path path, const MtrxNN* a, int* sign) {
    *sign = 0;
    LUWork work(a);
    if (work.w == nullptr) return DBL_MAX;
    int parity;
    switch (LUDcmpMtrxNN(path, work.w, work.index, &parity)) {
    case LUDcmpOutcome::NoWork: return DBL_MAX;
    case LUDcmpOutcome::ZeroRow: return -DBL_MAX;  // log10 of 0
    case LUDcmpOutcome::Done: break;
    }
    int s = parity;
    double sum = 0.0;
    for (std::uint32_t i = work.lo; i <= work.hi; ++i) {
        const double d = work.w->Elem[i][i];
        s = s * (d > 0.0 ? 1 : -1);
        sum = sum + std::log10(std::fabs(d));
    }
    *sign = s;
    return sum;
}

double DetLog10(const MtrxNN* a, int* sign) {
    return quil::detail::DetLog10(quil::detail::FastestPath(), a, sign);
}

bool IsSingularMtrxNN(const MtrxNN* a, double* det) {
    *det = DetNN2(a);
    return std::fabs(*det) < SingularTol;
}
