// Balancing by powers of 2, and the solver that works through the balanced matrix.
#include <cmath>
#include <cstdint>

#include "routines/Balance.h"
#include "routines/CopyMtrxNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Scaled.h"
#include "routines/Work.h"

namespace quil::detail {

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// m = the identity. Dr and Dc are set once, at birth, when they are 0.0 throughout; T1 and T2
// are born 0.0 and only their diagonals are ever written. So off the plain path only the
// diagonal is set: the rest is 0.0 already, and writing it again costs a pass over n x n.
void SetIdentity(Path path, MtrxNN* m) {
    if (path == Path::Plain) SetMtrxNNO(m);
    const std::uint32_t lo = LowSub(m->Base1);
    for (std::uint32_t i = lo; i < lo + m->Size; ++i) m->Elem[i][i] = 1.0;
}

// d = t d for the diagonal scaling records of BalanceMtrxNN, whose elements off the diagonal
// are all 0.0. While every diagonal element is finite, each product of the full loop other
// than t(i, i) d(i, i) is 0.0 times a finite value, so the full product leaves 0.0 off the
// diagonal and 0.0 + t(i, i) d(i, i) on it: that is all there is to compute. False, with
// nothing changed, when an element is not finite.
bool MulDiagonals(MtrxNN* d, const MtrxNN* t) {
    const std::uint32_t lo = LowSub(d->Base1);
    for (std::uint32_t i = lo; i < lo + d->Size; ++i)
        if (!std::isfinite(t->Elem[i][i]) || !std::isfinite(d->Elem[i][i])) return false;
    for (std::uint32_t i = lo; i < lo + d->Size; ++i)
        d->Elem[i][i] = 0.0 + t->Elem[i][i] * d->Elem[i][i];
    return true;
}

// d = t d, on the diagonals alone off the plain path. A diagonal element that is not finite
// stays so (the factors are finite and not 0.0), so once the full product is taken it is taken
// at every pass after, as on the plain path.
bool MulScales(Path path, MtrxNN* d, const MtrxNN* t) {
    if (path != Path::Plain && MulDiagonals(d, t)) return true;
    return MulMtrxNN(path, d, t, d);
}

// The factor f (a power of 2) as far as it scales column i of s and Dc's element by f, and row i
// and Dr's element by 1 / f, exactly (the diagonal element is not scaled): the whole of f almost
// always, so that balancing changes no significant bit and no factor leaves the range. A factor
// cut short must still reduce c + r as the whole one does, c f + r / f < 0.95 (c + r); else 1.0.
double ExactFactor(const MtrxNN* s, const MtrxNN* dr, const MtrxNN* dc, std::uint32_t i, double f,
                   double c, double r, double total) {
    const std::uint32_t lo = LowSub(s->Base1);
    ExactScales column, row;
    for (std::uint32_t j = lo; j < lo + s->Size; ++j) {
        if (j == i) continue;
        column.Keep(s->Elem[j][i]);
        row.Keep(s->Elem[i][j]);
    }
    row.Keep(dr->Elem[i][i]);
    column.Keep(dc->Elem[i][i]);
    const int wanted = std::ilogb(f);
    const int low = column.Low > -row.High ? column.Low : -row.High;
    const int high = column.High < -row.Low ? column.High : -row.Low;
    if (wanted >= low && wanted <= high) return f;
    const int k = wanted < low ? low : high;
    if (k == 0 || (k > 0) != (wanted > 0)) return 1.0;
    const double cut = std::ldexp(1.0, k);
    return c * cut + r / cut < 0.95 * total ? cut : 1.0;
}

}  // namespace

// Scales row i of s by a power of 2 and column i by its reciprocal until the off-diagonal row
// and column sums are within a factor of about 2 of each other. Dr collects the row factors and
// Dc the column factors, so that s ends as Dr s Dc.
void BalanceMtrxNN(Path path, MtrxNN** dr, MtrxNN** dc, MtrxNN* s) {
    if (*dr == s || *dc == s) return;  // s would be released before it is balanced
    const std::uint32_t n = s->Size;
    const bool base1 = s->Base1;
    *dr = GetMatrixNN(*dr, n, base1);
    *dc = GetMatrixNN(*dc, n, base1);
    MtrxNN* t1 = GetMatrixNN(nullptr, n, base1);
    MtrxNN* t2 = GetMatrixNN(nullptr, n, base1);
    const bool balanced = *dr != nullptr && *dc != nullptr && t1 != nullptr && t2 != nullptr &&
                          Balance(path, *dr, *dc, t1, t2, s);
    if (!balanced) {
        *dr = FreeMatrixNN(*dr);
        *dc = FreeMatrixNN(*dc);
    }
    FreeMatrixNN(t1);
    FreeMatrixNN(t2);
}

bool Balance(Path path, MtrxNN* dr, MtrxNN* dc, MtrxNN* t1, MtrxNN* t2, MtrxNN* s) {
    SetIdentity(path, dr);
    SetIdentity(path, dc);

    const std::uint32_t lo = LowSub(s->Base1);
    const std::uint32_t hi = lo + s->Size - 1u;
    bool changed = true;
    while (changed) {
        changed = false;
        SetIdentity(path, t1);
        SetIdentity(path, t2);
        for (std::uint32_t i = lo; i <= hi; ++i) {
            double c = 0.0;
            double r = 0.0;
            for (std::uint32_t j = lo; j <= hi; ++j) {
                if (j == i) continue;
                c = c + std::fabs(s->Elem[j][i]);
                r = r + std::fabs(s->Elem[i][j]);
            }
            // An infinite sum would keep the halving loop below going for ever.
            if (c == 0.0 || r == 0.0 || !std::isfinite(c) || !std::isfinite(r)) continue;
            double g = r * 0.5;
            double f = 1.0;
            const double column = c;
            const double total = c + r;
            while (c < g) {
                f = f * 2.0;
                c = c * 4.0;
            }
            g = r * 2.0;
            while (c > g) {
                f = f * 0.5;
                c = c / 4.0;
            }
            if ((c + r) / f < 0.95 * total) {
                f = ExactFactor(s, dr, dc, i, f, column, r, total);
                if (f == 1.0) continue;
                changed = true;
                g = 1.0 / f;
                // The diagonal element is taken times g and then f, which leaves it as it is
                // unless the first product leaves the range of double: so it is left alone.
                for (std::uint32_t j = lo; j <= hi; ++j)
                    if (j != i) s->Elem[i][j] = s->Elem[i][j] * g;
                for (std::uint32_t j = lo; j <= hi; ++j)
                    if (j != i) s->Elem[j][i] = s->Elem[j][i] * f;
                t1->Elem[i][i] = g;
                t2->Elem[i][i] = f;
            }
        }
        // Without both products the factors no longer describe s.
        if (!MulScales(path, dr, t1) || !MulScales(path, dc, t2)) return false;
    }
    return true;
}

void BalanceMtrxNN(MtrxNN** dr, MtrxNN** dc, MtrxNN* s) {
    BalanceMtrxNN(FastestPath(), dr, dc, s);
}

// x = a^-1 b through the balanced matrix S = Dr a Dc: S z = Dr b, x = Dc z. Rows that balancing
// leaves far outside the range of 1 are shifted towards it, the shifts kept in Dr. Keeps the
// factors of S in f, the pivots in p and the scaling matrices in dr and dc for further
// right-hand sides. Refuses order 1 and a b of another shape, touching no slot. Any other
// failure releases every slot it fills (x, f, p, dr, dc) and leaves them null.
bool BalSolveMtrxNN(Path path, const MtrxNN* a, const Vect* b, Vect** x,
                                  MtrxNN** f, Array1D<std::int32_t>* p, MtrxNN** dr,
                                  MtrxNN** dc, bool* singular) {
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    if (n == 1) return false;
    if (b->Base1 != base1 || b->Size != n) return false;
    if (*f == a || *dr == a || *dc == a || *x == b) return false;  // released before it is read
    const std::uint32_t lo = LowSub(base1);
    const std::uint32_t hi = lo + n - 1u;
    MtrxNN* s = nullptr;
    Vect* z = nullptr;
    const auto fail = [&] {
        *dr = FreeMatrixNN(*dr);
        *dc = FreeMatrixNN(*dc);
        *x = FreeVector(*x);
        *f = FreeMatrixNN(*f);
        *p = FreeArray1D(ArrInt32, *p, lo, hi);
        FreeVector(z);
        FreeMatrixNN(s);
        return false;
    };

    s = GetMatrixNN(nullptr, n, base1);
    if (s == nullptr) return fail();
    CopyMtrxNN(s, a);
    *dr = FreeMatrixNN(*dr);
    *dc = FreeMatrixNN(*dc);
    BalanceMtrxNN(path, dr, dc, s);
    if (*dr == nullptr || *dc == nullptr) return fail();
    ShiftRowsIntoRange(s, *dr);

    Vect* y = GetVector(nullptr, n, base1);
    if (y == nullptr) return fail();
    for (std::uint32_t i = lo; i <= hi; ++i) y->Elem[i] = (*dr)->Elem[i][i] * b->Elem[i];
    *p = FreeArray1D(ArrInt32, *p, lo, hi);  // the solver wants an empty pivot slot
    const bool solved = LUSolveMtrxNN(path, s, y, &z, f, p, singular);
    FreeVector(y);
    if (!solved) return fail();

    *x = GetVector(*x, n, base1);
    if (*x == nullptr) return fail();
    for (std::uint32_t i = lo; i <= hi; ++i) (*x)->Elem[i] = (*dc)->Elem[i][i] * z->Elem[i];
    FreeVector(z);
    FreeMatrixNN(s);
    return true;
}

bool BalSolveMtrxNN(const MtrxNN* a, const Vect* b, Vect** x, MtrxNN** f,
                    Array1D<std::int32_t>* p, MtrxNN** dr, MtrxNN** dc) {
    return BalSolveMtrxNN(FastestPath(), a, b, x, f, p, dr, dc);
}

BalancedLU::BalancedLU(Path path, const MtrxNN* a)
    : block(5 * MatrixBytes(a->Size) + PivotBytes(a->Size) + 2 * VectorBytes(a->Size)),
      outcome(LUDcmpOutcome::NoWork) {
    if (!block) return;
    const std::uint32_t n = a->Size;
    const bool base1 = a->Base1;
    WorkCarver carve(block);
    s = carve.Matrix(n, base1, false);
    dr = carve.Matrix(n, base1, true);
    dc = carve.Matrix(n, base1, true);
    MtrxNN t1 = carve.Matrix(n, base1, true);
    MtrxNN t2 = carve.Matrix(n, base1, true);
    p = carve.Pivots(n, base1);
    x = carve.Vector(n, base1);
    xexp = carve.Exponents(n, base1);
    CopyMtrxNN(&s, a);
    if (n == 1) {
        // Nothing to balance in a 1 x 1 matrix, which has no elements off the diagonal.
        const std::uint32_t lo = LowSub(base1);
        dr.Elem[lo][lo] = 1.0;
        dc.Elem[lo][lo] = 1.0;
    } else {
        // Rows that balancing leaves far outside the range of 1 are shifted towards it, the
        // shifts kept in Dr.
        if (!Balance(path, &dr, &dc, &t1, &t2, &s)) return;
        ShiftRowsIntoRange(&s, &dr);
    }
    int parity;
    outcome = LUDcmpMtrxNN(path, &s, p, &parity);
}

BalancedFactors BalancedLU::Factors() const {
    const std::uint32_t lo = LowSub(s.Base1);
    return BalancedFactors{s.Size, &s.Elem[lo][lo], s.Size, &p[lo], static_cast<std::int32_t>(lo),
                           &dr.Elem[lo][lo], &dc.Elem[lo][lo], std::size_t{s.Size} + 1u};
}

// S z = Dr b, out = Dc z, in x and xexp until the end.
void BalancedLU::Solve(const double* b, double* out) const {
    const std::uint32_t lo = LowSub(x.Base1);
    const std::uint32_t n = s.Size;
    double* z = &x.Elem[lo];
    for (std::uint32_t i = 0; i < n; ++i) z[i] = b[i];
    SolveScaledRun(Factors(), z, &xexp[lo], 0, false);
    for (std::uint32_t i = 0; i < n; ++i) out[i] = z[i];
}

namespace {

// Elements of a vector carried as Scaled: mantissas in m, powers of 2 in e.
struct ScaledVector {
    double* m;
    std::int64_t* e;
    Scaled operator[](std::size_t i) const { return {m[i], e[i]}; }
    void Set(std::size_t i, Scaled v) const {
        m[i] = v.Mant;
        e[i] = v.Exp;
    }
};

// sum - f x, as the plain loops write it.
inline Scaled MinusProduct(Scaled sum, double f, Scaled x) { return Plus(sum, Negated(Times(x, f))); }

}  // namespace

void SolveScaledRun(const BalancedFactors& lu, double* x, std::int64_t* e, std::int64_t shift,
                    bool transposed) {
    const std::size_t n = lu.n;
    const auto f = [&](std::size_t i, std::size_t j) { return lu.f[i * lu.stride + j]; };
    const double* first = transposed ? lu.dc : lu.dr;
    const double* last = transposed ? lu.dr : lu.dc;
    const ScaledVector v{x, e};
    for (std::size_t i = 0; i < n; ++i) {
        Scaled y = Times(ToScaled(first[i * lu.dstride]), x[i]);
        if (y.Mant != 0.0) y.Exp += shift;
        v.Set(i, y);
    }
    if (!transposed) {
        // The row exchanges and the forward substitution (leading zeros skipped), then back.
        bool started = false;
        std::size_t ii = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const auto ip = static_cast<std::size_t>(lu.piv[i] - lu.lo);
            Scaled sum = v[ip];
            v.Set(ip, v[i]);
            if (started) {
                for (std::size_t j = ii; j < i; ++j) sum = MinusProduct(sum, f(i, j), v[j]);
            } else if (sum.Mant != 0.0) {
                started = true;
                ii = i;
            }
            v.Set(i, sum);
        }
        for (std::size_t i = n; i-- > 0;) {
            Scaled sum = v[i];
            for (std::size_t j = i + 1; j < n; ++j) sum = MinusProduct(sum, f(i, j), v[j]);
            v.Set(i, Quotient(sum, f(i, i)));
        }
    } else {
        // S^T = U^T L^T P: U^T forward, L^T back, and the row exchanges undone in reverse order.
        for (std::size_t i = 0; i < n; ++i) {
            Scaled sum = v[i];
            for (std::size_t k = 0; k < i; ++k) sum = MinusProduct(sum, f(k, i), v[k]);
            v.Set(i, Quotient(sum, f(i, i)));
        }
        for (std::size_t i = n; i-- > 0;) {
            Scaled sum = v[i];
            for (std::size_t k = i + 1; k < n; ++k) sum = MinusProduct(sum, f(k, i), v[k]);
            v.Set(i, sum);
        }
        for (std::size_t i = n; i-- > 0;) {
            const auto q = static_cast<std::size_t>(lu.piv[i] - lu.lo);
            const Scaled t = v[i];
            v.Set(i, v[q]);
            v.Set(q, t);
        }
    }
    for (std::size_t i = 0; i < n; ++i) x[i] = Value(Times(v[i], last[i * lu.dstride]));
}

}  // namespace quil::detail
