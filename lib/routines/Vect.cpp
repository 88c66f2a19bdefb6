#include "routines/Vect.h"

#include <cstdlib>
#include <new>

#include "routines/Work.h"
#include "routines/kernels/Arithmetic.h"

namespace quil {

namespace {

std::uint32_t LowSub(bool base1) { return base1 ? 1u : 0u; }

// The array bounds of a vector of n elements. With n = 0 the bounds b..b+n-1 would be
// 1..0 (which the array layer takes as 0..1) or 0..4294967295 (which it cannot hold), so an
// empty vector gets a one-element array b..b instead; nothing ever visits it.
void VectBounds(std::uint32_t n, bool base1, std::uint32_t* lo, std::uint32_t* hi) {
    *lo = LowSub(base1);
    *hi = n == 0 ? *lo : *lo + n - 1u;
}

bool SameShape(const Vect* a, const Vect* b) {
    return a->Base1 == b->Base1 && a->Size == b->Size;
}

// y = m x, row by row, into out (subscripts of m's rows).
void Product(Array1D<double> out, const Mtrx* m, const Vect* x) {
    const std::uint32_t b = LowSub(m->Base1);
    for (std::uint32_t r = 0; r < m->Rows; ++r) {
        const std::uint32_t i = b + r;
        double sum = 0.0;
        for (std::uint32_t c = 0; c < m->Cols; ++c) {
            const std::uint32_t j = b + c;
            sum = m->Elem[i][j] * x->Elem[j] + sum;
        }
        out[i] = sum;
    }
}

}  // namespace

// Releases old, then makes a vector of n zero elements with subscripts 1..n or 0..n-1.
Vect* GetVector(Vect* old, std::uint32_t n, bool base1) {
    if (old != nullptr) FreeVector(old);
    void* mem = std::calloc(1, sizeof(Vect));
    if (mem == nullptr) return nullptr;  // no report for the record itself
    Vect* v = ::new (mem) Vect{};
    v->Base1 = base1;
    v->Size = n;
    std::uint32_t lo, hi;
    VectBounds(n, base1, &lo, &hi);
    v->Elem = GetArray1D(ArrDouble, v->Elem, lo, hi);
    if (v->Elem == nullptr) {  // reported by the heap
        FreeHeap(v);
        return nullptr;
    }
    return v;
}

Vect* FreeVector(Vect* v) {
    if (v == nullptr) return nullptr;
    std::uint32_t lo, hi;
    VectBounds(v->Size, v->Base1, &lo, &hi);
    v->Elem = FreeArray1D(ArrDouble, v->Elem, lo, hi);
    FreeHeap(v);
    return nullptr;
}

void SetMtrxO(Vect* v) {
    if (v->Elem == nullptr) return;
    const std::uint32_t lo = LowSub(v->Base1);
    for (std::uint32_t k = 0; k < v->Size; ++k) v->Elem[lo + k] = 0.0;
}

// c = a + b element by element; c may be a or b.
bool AddVect(Vect* c, const Vect* a, const Vect* b) {
    if (!SameShape(b, a)) return false;
    if (!SameShape(c, a)) return false;
    const std::uint32_t lo = LowSub(a->Base1);
    for (std::uint32_t k = 0; k < a->Size; ++k) {
        const std::uint32_t i = lo + k;
        c->Elem[i] = a->Elem[i] + b->Elem[i];
    }
    return true;
}

// c = a - b element by element; c may be a or b.
bool SubVect(Vect* c, const Vect* a, const Vect* b) {
    if (!SameShape(b, a)) return false;
    if (!SameShape(c, a)) return false;
    const std::uint32_t lo = LowSub(a->Base1);
    for (std::uint32_t k = 0; k < a->Size; ++k) {
        const std::uint32_t i = lo + k;
        c->Elem[i] = a->Elem[i] - b->Elem[i];
    }
    return true;
}

// c = s * a; c may be a.
bool SclVect(Vect* c, double s, const Vect* a) {
    if (!SameShape(c, a)) return false;
    const std::uint32_t lo = LowSub(a->Base1);
    for (std::uint32_t k = 0; k < a->Size; ++k) {
        const std::uint32_t i = lo + k;
        c->Elem[i] = s * a->Elem[i];
    }
    return true;
}

// The inner product, summed from the lowest subscript up; 0.0 for mismatched operands.
double MulVect(const Vect* a, const Vect* b) {
    if (!SameShape(b, a)) return 0.0;
    const std::uint32_t lo = LowSub(a->Base1);
    double sum = 0.0;
    for (std::uint32_t k = 0; k < a->Size; ++k) {
        const std::uint32_t i = lo + k;
        sum = a->Elem[i] * b->Elem[i] + sum;
    }
    return sum;
}

// y = m x, row by row. y is written while x is still read, so a y that is x takes the product
// from work storage first.
bool MtrxbyVect(Vect* y, const Mtrx* m, const Vect* x) {
    if (y->Base1 != m->Base1 || m->Base1 != x->Base1) return false;
    if (y->Size != m->Rows || m->Cols != x->Size) return false;
    if (y->Elem.Block != x->Elem.Block) {
        Product(y->Elem, m, x);
        return true;
    }
    const detail::WorkBlock block(detail::VectorBytes(y->Size));
    if (!block) return false;
    const Vect work = detail::WorkCarver(block).Vector(y->Size, y->Base1);
    Product(work.Elem, m, x);
    const std::uint32_t b = LowSub(y->Base1);
    for (std::uint32_t k = 0; k < y->Size; ++k) y->Elem[b + k] = work.Elem[b + k];
    return true;
}

// Releases old, then makes a rows x cols matrix of zeros. A matrix without rows or columns has
// no subscripts in either base: refused as a request of no bytes is.
Mtrx* GetMatrix(Mtrx* old, std::uint32_t rows, std::uint32_t cols, bool base1) {
    if (old != nullptr) FreeMatrix(old);
    if (rows == 0 || cols == 0) {
        AllocErrMsg(0);
        return nullptr;
    }
    void* mem = std::calloc(1, sizeof(Mtrx));
    if (mem == nullptr) return nullptr;
    Mtrx* m = ::new (mem) Mtrx{};
    m->Base1 = base1;
    m->Rows = rows;
    m->Cols = cols;
    const std::uint32_t b = LowSub(base1);
    m->Elem = GetArray2D(ArrDouble, m->Elem, b, b + rows - 1u, b, b + cols - 1u);
    if (m->Elem == nullptr) {
        FreeHeap(m);
        return nullptr;
    }
    return m;
}

Mtrx* FreeMatrix(Mtrx* m) {
    if (m == nullptr) return nullptr;
    const std::uint32_t b = LowSub(m->Base1);
    m->Elem = FreeArray2D(ArrDouble, m->Elem, b, b + m->Rows - 1u, b, b + m->Cols - 1u);
    FreeHeap(m);
    return nullptr;
}

}  // namespace quil
