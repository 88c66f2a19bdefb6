// Helpers for the routine-layer tests: records filled from literal rows, owned so that a
// failing assertion does not leak, and bit-exact comparison of their elements.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "routines/MtrxNN.h"
#include "routines/Threads.h"
#include "routines/Vect.h"
#include "routines/kernels/Kernels.h"
#include "routines/kernels/Threads.h"

namespace rtest {

struct NNFree {
    void operator()(MtrxNN* m) const { FreeMatrixNN(m); }
};
struct VFree {
    void operator()(Vect* v) const { FreeVector(v); }
};
using NN = std::unique_ptr<MtrxNN, NNFree>;
using V = std::unique_ptr<Vect, VFree>;

inline std::uint32_t Lo(bool base1) { return base1 ? 1u : 0u; }

// A square matrix whose rows are given in order, with the chosen suffix base.
inline NN MakeNN(bool base1, std::initializer_list<std::initializer_list<double>> rows) {
    NN m(GetMatrixNN(nullptr, static_cast<std::uint32_t>(rows.size()), base1));
    if (!m) return m;
    std::uint32_t i = Lo(base1);
    for (const auto& row : rows) {
        std::uint32_t j = Lo(base1);
        for (double x : row) m->Elem[i][j++] = x;
        ++i;
    }
    return m;
}

inline NN Identity(std::uint32_t n, bool base1, double d = 1.0) {
    NN m(GetMatrixNN(nullptr, n, base1));
    for (std::uint32_t k = 0; k < n; ++k) m->Elem[Lo(base1) + k][Lo(base1) + k] = d;
    return m;
}

inline V MakeV(bool base1, std::initializer_list<double> xs) {
    V v(GetVector(nullptr, static_cast<std::uint32_t>(xs.size()), base1));
    if (!v) return v;
    std::uint32_t i = Lo(base1);
    for (double x : xs) v->Elem[i++] = x;
    return v;
}

// The elements of m in row order.
inline std::vector<double> Elems(const MtrxNN* m) {
    std::vector<double> out;
    const std::uint32_t lo = Lo(m->Base1);
    for (std::uint32_t i = lo; i < lo + m->Size; ++i)
        for (std::uint32_t j = lo; j < lo + m->Size; ++j) out.push_back(m->Elem[i][j]);
    return out;
}

inline std::vector<double> Elems(const Vect* v) {
    std::vector<double> out;
    const std::uint32_t lo = Lo(v->Base1);
    for (std::uint32_t k = 0; k < v->Size; ++k) out.push_back(v->Elem[lo + k]);
    return out;
}

// True when the two lists hold the same bits (so -0.0 differs from 0.0 and NaN equals itself).
inline bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Every vector path this processor runs.
inline std::vector<quil::detail::Path> FastPaths() {
    using quil::detail::Path;
    std::vector<Path> paths;
    for (Path p : {Path::Portable, Path::Avx2, Path::Avx512})
        if (quil::detail::PathRuns(p)) paths.push_back(p);
    return paths;
}

#ifdef QUIL_TESTS_NO_THREADS
// Under an emulator that hangs when a program starts a thread (Debian 12's qemu-i386) every call
// stays on the caller's thread (QUIL_NUM_THREADS=1), and no test starts one.
inline constexpr bool kThreadsStart = false;
#else
inline constexpr bool kThreadsStart = true;
#endif

// The thread counts a sweep divides its work over: counts, or 1 alone under such an emulator.
inline std::vector<unsigned> ThreadCounts(std::vector<unsigned> counts) {
    if (!kThreadsStart) return {1u};
    return counts;
}

// The work of one call divided over count threads while it lives, set as a program sets it.
class Threads {
public:
    explicit Threads(unsigned count) { quil::SetNumThreads(count); }
    ~Threads() { quil::detail::SetThreadCount(0); }
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;
};

// Whether this program can start a thread of its own: not under the emulator above, and not in
// WebAssembly built without threads, where there is none to start (the library's calls then do
// all their work on the caller's thread). A test that calls the library from threads of its own
// has nothing to run on there.
inline bool ThreadsCanStart() {
    if (!kThreadsStart) return false;
    static const bool can = [] {
        try {
            std::thread([] {}).join();
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }();
    return can;
}

#define QUIL_SKIP_WITHOUT_THREADS()                                                     \
    do {                                                                                \
        if (!rtest::ThreadsCanStart()) GTEST_SKIP() << "no thread can be started here"; \
    } while (false)

}  // namespace rtest
