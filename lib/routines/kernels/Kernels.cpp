// The fast kernels, built once per vector width, and the choice between them at run time.
#include "routines/kernels/Kernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "routines/Stacks.h"
#include "routines/Work.h"
#include "routines/kernels/Factors.h"
#include "routines/kernels/Threads.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#endif

namespace quil::detail {
namespace {

// An uninitialised, cache-line aligned array that the kernels use for one call, lent by the
// calling thread's scratch (routines/Work.h); empty when the memory cannot be had, which the
// kernels answer by leaving the work to the plain loops (so no report is made for it).
template <class T>
class Buffer {
public:
    explicit Buffer(std::size_t count)
        : p_(static_cast<T*>(ThreadScratch().Lend(count * sizeof(T)))) {}
    ~Buffer() {
        if (p_ != nullptr) ThreadScratch().Return(p_);
    }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    T* get() const { return p_; }
    T& operator[](std::size_t i) const { return p_[i]; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_;
};

// Up to kMaxThreads arrays of the same length, one for each part of a call: as many as can be had.
template <class T>
class Buffers {
public:
    Buffers(std::size_t count, unsigned wanted) {
        while (got_ < wanted && got_ < kMaxThreads &&
               (p_[got_] = static_cast<T*>(ThreadScratch().Lend(count * sizeof(T)))) != nullptr)
            ++got_;
    }
    ~Buffers() {
        for (unsigned k = 0; k < got_; ++k) ThreadScratch().Return(p_[k]);
    }
    Buffers(const Buffers&) = delete;
    Buffers& operator=(const Buffers&) = delete;

    unsigned Count() const { return got_; }
    T* operator[](unsigned k) const { return p_[k]; }

private:
    T* p_[kMaxThreads];
    unsigned got_ = 0;
};

// Multiply-adds that make a part worth a thread: fewer cost more to hand over than they save.
constexpr std::size_t kWorkPerPart = std::size_t{1} << 20;

// How many parts work multiply-adds are worth, at most most.
unsigned PartsFor(std::size_t work, unsigned most) {
    const std::size_t worth = work / kWorkPerPart;
    return worth < 1 ? 1u : worth < most ? static_cast<unsigned>(worth) : most;
}

// Loops over the vectors of a tile are unrolled, so that its sums stay in registers; the steps
// of a tile a few at a time, to spend less on the loop.
#define QUIL_UNROLL _Pragma("GCC unroll 16")
#define QUIL_UNROLL_STEPS _Pragma("GCC unroll 4")
// A small function that must be inlined, so that its loops meet the constants of its caller; and
// a function whose every call inside is to be inlined (the lambdas of its loops above all).
#define QUIL_INLINE __attribute__((always_inline))
#ifdef __OPTIMIZE__
#define QUIL_FLATTEN __attribute__((flatten))
#else  // an unoptimised build keeps its functions apart, as its debugger expects
#define QUIL_FLATTEN
#endif

constexpr std::size_t RoundUp(std::size_t x, std::size_t step) { return (x + step - 1) / step * step; }

// Portable: two doubles per vector, which every x86-64 processor (SSE2) and most others hold
// (SSE2 on 32-bit x86, NEON on 64-bit ARM).
namespace portable {
constexpr int kWidth = 2;
constexpr std::size_t kTileRows = 4;
constexpr std::size_t kTileVectors = 2;
constexpr std::size_t kPanelDepth = 256;
constexpr std::size_t kBlockRows = 64;
constexpr std::size_t kSolveVectors = 4;
#include "routines/kernels/KernelBody.inc"
}  // namespace portable

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define QUIL_X86_PATHS 1

// Every function between QUIL_TARGET_BEGIN(isa) and QUIL_TARGET_END is compiled for isa.
#define QUIL_PRAGMA(text) _Pragma(#text)
#if defined(__clang__)
#define QUIL_TARGET_BEGIN(isa) \
    QUIL_PRAGMA(clang attribute push(__attribute__((target(isa))), apply_to = function))
#define QUIL_TARGET_END QUIL_PRAGMA(clang attribute pop)
#else
#define QUIL_TARGET_BEGIN(isa) QUIL_PRAGMA(GCC push_options) QUIL_PRAGMA(GCC target(isa))
#define QUIL_TARGET_END QUIL_PRAGMA(GCC pop_options)
#endif

// Sixteen 256-bit registers: a 6 x 8 tile keeps twelve sums, two rows of b and a multiplier. The
// packed panels are deep, 512 steps, and a block of a is 72 rows, so that the slivers of a tile
// stream from the second-level cache while the tile's sums pause in memory only once per panel.
QUIL_TARGET_BEGIN("avx2")
namespace avx2 {
constexpr int kWidth = 4;
constexpr std::size_t kTileRows = 6;
constexpr std::size_t kTileVectors = 2;
constexpr std::size_t kPanelDepth = 512;
constexpr std::size_t kBlockRows = 72;
constexpr std::size_t kSolveVectors = 4;
#include "routines/kernels/KernelBody.inc"
}  // namespace avx2
QUIL_TARGET_END

// Thirty-two 512-bit registers: a 12 x 16 tile keeps twenty-four sums.
QUIL_TARGET_BEGIN("avx512f")
namespace avx512 {
constexpr int kWidth = 8;
constexpr std::size_t kTileRows = 12;
constexpr std::size_t kTileVectors = 2;
constexpr std::size_t kPanelDepth = 256;
constexpr std::size_t kBlockRows = 192;
constexpr std::size_t kSolveVectors = 4;
#include "routines/kernels/KernelBody.inc"
}  // namespace avx512
QUIL_TARGET_END
#endif

// Below these orders the plain loops are at least as fast as the blocked kernels, whose set-up
// (packing, work buffers) does not pay for itself.
constexpr std::uint32_t kFactorFrom = 16;
constexpr std::uint32_t kSolveFrom = 8;
constexpr std::uint32_t kFullPivotFrom = 8;

// The plain product, as the method reads: the reference for every other path.
void PlainProduct(std::size_t n, const double* a, const double* b, double* c) {
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j) {
            double sum = 0.0;
            for (std::size_t k = 0; k < n; ++k) sum = sum + a[i * n + k] * b[k * n + j];
            c[i * n + j] = sum;
        }
}

#ifdef QUIL_X86_PATHS
// True on processors that carry out a 512-bit operation as two 256-bit halves (AMD's before
// family 1Ah): there a 512-bit instruction does no more work than a 256-bit one, and the
// 256-bit tile keeps its operands closer.
bool SplitsWideVectors() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(0, &eax, &ebx, &ecx, &edx)) return false;
    const bool amd = ebx == 0x68747541u && edx == 0x69746e65u && ecx == 0x444d4163u;  // AuthenticAMD
    if (!amd || !__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    unsigned family = (eax >> 8) & 0xfu;
    if (family == 0xfu) family += (eax >> 20) & 0xffu;
    return family < 0x1au;
}
#endif

}  // namespace

bool PathRuns(Path path) {
    switch (path) {
    case Path::Plain:
    case Path::Portable: return true;
#ifdef QUIL_X86_PATHS
    // The processor's features are read once; reading them again costs nothing.
    case Path::Avx2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
    case Path::Avx512: __builtin_cpu_init(); return __builtin_cpu_supports("avx512f");
#else
    case Path::Avx2:
    case Path::Avx512: return false;
#endif
    }
    return false;
}

Path FastestPath() {
#ifdef QUIL_X86_PATHS
    static const Path fastest = PathRuns(Path::Avx512) && !SplitsWideVectors() ? Path::Avx512
                                : PathRuns(Path::Avx2)                        ? Path::Avx2
                                                                              : Path::Portable;
#else
    static const Path fastest = Path::Portable;
#endif
    return fastest;
}

const char* PathName(Path path) {
    switch (path) {
    case Path::Plain: return "plain";
    case Path::Portable: return "portable";
    case Path::Avx2: return "avx2";
    case Path::Avx512: return "avx512";
    }
    return "?";
}

namespace {

// f(the entry points of path's kernels), or plain on the plain path and on paths this build
// does not have.
template <class R, class F>
R OnPath(Path path, R plain, F f) {
    switch (path) {
    case Path::Plain: break;
    case Path::Portable: return f(portable::Entry{});
#ifdef QUIL_X86_PATHS
    case Path::Avx2: return f(avx2::Entry{});
    case Path::Avx512: return f(avx512::Entry{});
#else
    case Path::Avx2:
    case Path::Avx512: break;
#endif
    }
    return plain;
}

}  // namespace

TileShape ShapeOf(Path path) {
    return OnPath(path, TileShape{1, 1, 64, 0}, [](auto k) { return k.shape(); });
}

void ProductRuns(Path path, std::uint32_t n, const double* a, const double* b, double* c) {
    if (!PathRuns(path)) path = Path::Plain;
    if (SmallProductRuns(path, n, 0, 1, a, b, c) == 1) return;
    const unsigned parts = PartsFor(std::size_t{n} * n * n, ThreadCount());
    if (!OnPath(path, false, [&](auto k) { return k.product(n, a, b, c, parts); }))
        PlainProduct(n, a, b, c);
}

void ElementRuns(Path path, ElementOp op, std::size_t count, const double* a, const double* b,
                 double s, double* c) {
    if (!PathRuns(path)) path = Path::Plain;
    const bool done = OnPath(path, false, [&](auto k) {
        k.elementwise(op, count, a, b, s, c);
        return true;
    });
    if (done) return;
    switch (op) {
    case ElementOp::Add: for (std::size_t k = 0; k < count; ++k) c[k] = a[k] + b[k]; break;
    case ElementOp::Subtract: for (std::size_t k = 0; k < count; ++k) c[k] = a[k] - b[k]; break;
    case ElementOp::Scale: for (std::size_t k = 0; k < count; ++k) c[k] = a[k] * s; break;
    }
}

bool FactorRuns(Path path, std::uint32_t n, std::int32_t lo, double* f, double* vv,
                std::int32_t* piv, int* parity, bool* zeroPivot) {
    if (n < kFactorFrom || !PathRuns(path)) return false;
    // The largest product of the decomposition is the first, of order about n / 2; the leaves
    // between the products run on one thread, so the threads pay only where that product is
    // four times the work of a part.
    const unsigned parts = PartsFor(std::size_t{n / 2} * (n / 2) * (n / 2) / 4, ThreadCount());
    return OnPath(path, false, [&](auto k) {
        return k.factor(n, lo, f, vv, piv, parity, zeroPivot, parts);
    });
}

bool RowScalesRuns(Path path, std::uint32_t n, const double* f, double* vv, bool* zeroRow) {
    if (n < kFactorFrom || !PathRuns(path)) return false;
    return OnPath(path, false, [&](auto k) {
        *zeroRow = !k.rowScales(n, f, vv);
        return true;
    });
}

bool SolveUnitColumnsRuns(Path path, std::uint32_t n, std::int32_t lo, const double* f,
                          const std::int32_t* piv, std::uint32_t first, double* out) {
    if (n < kSolveFrom || !PathRuns(path)) return false;
    const unsigned parts = PartsFor(std::size_t{n} * n * (n - first), ThreadCount());
    return OnPath(path, false, [&](auto k) {
        return k.solveUnitColumns(n, lo, f, piv, first, out, parts);
    });
}

FullPivotEnd FullPivotRuns(Path path, std::uint32_t n, const double* a, double* w,
                           const ProductSink& sink, std::uint32_t* step) {
    if (n < kFullPivotFrom || !PathRuns(path)) return FullPivotEnd::NotRun;
    return OnPath(path, FullPivotEnd::NotRun, [&](auto k) {
        FullPivotEnd end = FullPivotEnd::NotRun;
        return k.fullPivot(n, a, w, sink, &end, step) ? end : FullPivotEnd::NotRun;
    });
}

std::uint64_t SmallDetRuns(Path path, std::uint32_t n, std::uint64_t first, std::uint64_t end,
                           const double* a, double* det, int* sign, std::uint8_t* status) {
    if (n > kSmallOrder || !PathRuns(path)) return first;
    return OnPath(path, first,
                  [&](auto k) { return k.smallDet(n, first, end, a, det, sign, status); });
}

std::uint64_t SmallInverseRuns(Path path, std::uint32_t n, std::uint64_t first,
                               std::uint64_t end, const double* a, double* ai,
                               std::uint8_t* status) {
    if (n > kSmallOrder || !PathRuns(path)) return first;
    return OnPath(path, first,
                  [&](auto k) { return k.smallInverse(n, first, end, a, ai, status); });
}

std::uint64_t SmallSolveRuns(Path path, std::uint32_t n, std::uint32_t nrhs, std::uint64_t first,
                             std::uint64_t end, const double* a, const double* b, double* x,
                             std::uint8_t* status) {
    if (n > kSmallOrder || !PathRuns(path)) return first;
    return OnPath(path, first,
                  [&](auto k) { return k.smallSolve(n, nrhs, first, end, a, b, x, status); });
}

std::uint64_t SmallProductRuns(Path path, std::uint32_t n, std::uint64_t first,
                               std::uint64_t end, const double* a, const double* b, double* c) {
    if (n > kSmallOrder || !PathRuns(path)) return first;
    return OnPath(path, first, [&](auto k) {
        k.smallProduct(n, first, end, a, b, c);
        return end;
    });
}

std::uint64_t SmallRCondRuns(Path path, std::uint32_t n, std::uint64_t first, std::uint64_t end,
                             const double* a, double* rcond, std::uint8_t* status) {
    if (n > kSmallOrder || !PathRuns(path)) return first;
    return OnPath(path, first,
                  [&](auto k) { return k.smallRCond(n, first, end, a, rcond, status); });
}

}  // namespace quil::detail
