// Balancing by powers of 2, and the solver that works through the balanced matrix.
#include <cmath>
#include <cstdint>

#include "routines/Balance.h"
#include "routines/CopyMtrxNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
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

}  // namespace

// Scales row i of s by a power of 2 and column i by its reciprocal until the off-diagonal row
// and column sums are within a factor of about 2 of each other. Dr collects the row factors and
// Dc the column factors, so that s ends as Dr s Dc.
void BalanceMtrxNN(Path path, MtrxNN** dr, MtrxNN** dc, MtrxNN* s) {
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
    : block(5 * MatrixBytes(a->Size) + PivotBytes(a->Size) + VectorBytes(a->Size)),
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

// S z = Dr b, out = Dc z.
void BalancedLU::Solve(const double* b, double* out) const {
    const BalancedFactors lu = Factors();
    double* z = &x.Elem[LowSub(x.Base1)];
    for (std::uint32_t i = 0; i < lu.n; ++i) z[i] = lu.dr[i * lu.dstride] * b[i];
    LUBksbRun(lu.n, lu.f, lu.stride, lu.piv, lu.lo, z);
    for (std::uint32_t i = 0; i < lu.n; ++i) out[i] = lu.dc[i * lu.dstride] * z[i];
}

}  // namespace quil::detail
