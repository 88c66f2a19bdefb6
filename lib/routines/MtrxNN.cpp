#include "routines/MtrxNN.h"

#include <cstdlib>
#include <new>

#include "routines/CopyMtrxNN.h"
#include "routines/Paths.h"
#include "routines/Work.h"

namespace quil {

using detail::MatrixBytes;
using detail::WorkBlock;
using detail::WorkCarver;

namespace {

std::uint32_t LowSub(const MtrxNN* m) { return m->Base1 ? 1u : 0u; }

bool Compatible(const MtrxNN* a, const MtrxNN* b) {
    return a->Base1 == b->Base1 && a->Size == b->Size;
}

// The n*n elements of m as one run, row after row.
double* Run(const MtrxNN* m) {
    const std::uint32_t lo = LowSub(m);
    return &m->Elem[lo][lo];
}

std::size_t Count(const MtrxNN* m) { return std::size_t{m->Size} * m->Size; }

}  // namespace

MtrxNN* GetMatrixNN(MtrxNN* old, std::uint32_t n, bool base1) {
    if (old != nullptr) FreeMatrixNN(old);
    // Order 0 has no subscripts in either base: refused as a request of no bytes is.
    if (n == 0) {
        AllocErrMsg(0);
        return nullptr;
    }
    void* mem = std::calloc(1, sizeof(MtrxNN));
    if (mem == nullptr) return nullptr;  // no report for the record itself
    MtrxNN* m = ::new (mem) MtrxNN{};
    m->Base1 = base1;
    m->Size = n;
    const std::uint32_t lo = base1 ? 1u : 0u;
    const std::uint32_t hi = lo + n - 1u;
    m->Elem = GetArray2D(ArrDouble, m->Elem, lo, hi, lo, hi);
    if (m->Elem == nullptr) {  // reported by the heap; the record must not outlive it
        FreeHeap(m);
        return nullptr;
    }
    return m;
}

MtrxNN* FreeMatrixNN(MtrxNN* m) {
    if (m == nullptr) return nullptr;
    const std::uint32_t lo = LowSub(m);
    const std::uint32_t hi = lo + m->Size - 1u;
    m->Elem = FreeArray2D(ArrDouble, m->Elem, lo, hi, lo, hi);
    FreeHeap(m);
    return nullptr;
}

void SetMtrxNNO(MtrxNN* m) {
    if (m->Elem == nullptr) return;
    double* e = Run(m);
    const std::size_t count = Count(m);
    for (std::size_t k = 0; k < count; ++k) e[k] = 0.0;
}

bool detail::CopyMtrxNN(MtrxNN* c, const MtrxNN* a) {
    if (!Compatible(c, a)) return false;
    if (c == a) return true;
    const double* src = Run(a);
    double* dst = Run(c);
    const std::size_t count = Count(a);
    for (std::size_t k = 0; k < count; ++k) dst[k] = src[k];
    return true;
}

// The element-wise routines walk the three matrices as runs in row order, which is the order
// rows outer, columns inner. Each element of c is written after the operands at its position
// have been read, so c may be either operand.
bool AddMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b) {
    if (!Compatible(a, b)) return false;
    if (!Compatible(a, c)) return false;
    const double* pa = Run(a);
    const double* pb = Run(b);
    double* pc = Run(c);
    const std::size_t count = Count(a);
    for (std::size_t k = 0; k < count; ++k) pc[k] = pa[k] + pb[k];
    return true;
}

bool SubMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b) {
    if (!Compatible(a, b)) return false;
    if (!Compatible(a, c)) return false;
    const double* pa = Run(a);
    const double* pb = Run(b);
    double* pc = Run(c);
    const std::size_t count = Count(a);
    for (std::size_t k = 0; k < count; ++k) pc[k] = pa[k] - pb[k];
    return true;
}

bool SclMtrxNN(MtrxNN* c, double s, const MtrxNN* a) {
    if (!Compatible(c, a)) return false;
    const double* pa = Run(a);
    double* pc = Run(c);
    const std::size_t count = Count(a);
    for (std::size_t k = 0; k < count; ++k) pc[k] = s * pa[k];
    return true;
}

// c = a b, each element summed over ascending k (the kernels of every path give the plain
// loop's bits). A c that is neither operand receives the product where it is formed; otherwise
// it is formed in work storage and copied, so that c may be a, b or both, and c is unchanged
// when that storage cannot be had.
bool detail::MulMtrxNN(Path path, MtrxNN* c, const MtrxNN* a, const MtrxNN* b) {
    if (a->Base1 != b->Base1 || a->Base1 != c->Base1) return false;
    if (a->Size != b->Size || a->Size != c->Size) return false;
    if (Run(c) != Run(a) && Run(c) != Run(b)) {
        ProductRuns(path, a->Size, Run(a), Run(b), Run(c));
        return true;
    }
    const WorkBlock block(MatrixBytes(c->Size));
    if (!block) return false;
    MtrxNN work = WorkCarver(block).Matrix(c->Size, c->Base1, false);
    ProductRuns(path, a->Size, Run(a), Run(b), Run(&work));
    CopyMtrxNN(c, &work);
    return true;
}

bool MulMtrxNN(MtrxNN* c, const MtrxNN* a, const MtrxNN* b) {
    return detail::MulMtrxNN(detail::FastestPath(), c, a, b);
}

// c = a transposed, through work storage so that c may be a; c is unchanged when that storage
// cannot be had.
bool TrnMtrxNN(MtrxNN* c, const MtrxNN* a) {
    if (!Compatible(c, a)) return false;
    const WorkBlock block(MatrixBytes(c->Size));
    if (!block) return false;
    MtrxNN work = WorkCarver(block).Matrix(c->Size, c->Base1, false);
    const std::uint32_t lo = LowSub(a);
    const std::uint32_t hi = lo + a->Size - 1u;
    for (std::uint32_t i = lo; i <= hi; ++i)
        for (std::uint32_t j = lo; j <= hi; ++j) work.Elem[j][i] = a->Elem[i][j];
    detail::CopyMtrxNN(c, &work);
    return true;
}

}  // namespace quil
