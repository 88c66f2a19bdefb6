// The fast paths against the plain loops, bit for bit: the matrix product (routine and object),
// the LU decomposition and what is built on it (determinants, balancing, the inverse), on every
// path this processor runs, for every order from 1 to 300 and some larger ones, both suffix
// bases, wide exponents, signed zeros, ties between pivot candidates, singular matrices, aliased
// operands, every thread count and several callers at once; and the stacks of matrices against
// the single routines, matrix by matrix.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <dirent.h>
#include <sched.h>
#include <sys/wait.h>
#endif

#include "AllocSweep.h"
#include "ReportCapture.h"
#include "RoutineTestUtil.h"
#include "objects/SMtrxNN.h"
#include "routines/Balance.h"
#include "routines/CopyMtrxNN.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"
#include "routines/Stacks.h"
#include "routines/Work.h"
#include "routines/kernels/Threads.h"

using namespace quil::detail;  // the library's internals under test

namespace {

using quil::detail::Path;
using rtest::Elems;
using rtest::FastPaths;
using rtest::Lo;
using rtest::NN;
using rtest::SameBits;
using rtest::Threads;

using Pivots = Array1D<std::int32_t>;

#if defined(__SANITIZE_ADDRESS__) || defined(QUIL_TESTS_EMULATED)
// The sanitized build runs unoptimised, where a plain product of order 300 takes seconds: it
// checks the kernels' memory use on every order up to 100 and on the block edges beyond, while
// the plain build checks every order. A target run under an emulator takes the same sweep.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer looks for races, and only work divided over threads can have one: its sweeps
// take the sanitized build's orders and the two large ones, where every kernel divides its
// work, and the thread tests below every order they divide (the plain build checks the bits of
// every order).
constexpr bool kRacesOnly = true;
#else
constexpr bool kRacesOnly = false;
#endif

// Every order from 1 to 300 (in the sanitized build: to 100, then the edges of the blocks and
// tiles), and, when large is set, two larger ones (not in the sanitized build).
std::vector<std::uint32_t> Orders(bool large) {
    std::vector<std::uint32_t> orders;
    for (std::uint32_t n = 1; n <= 300; ++n)
        if (!(kSanitized || kRacesOnly) || n <= 100 || n % 64 <= 1 || n % 64 == 63 || n == 300)
            orders.push_back(n);
    if (large && !kSanitized) {
        orders.push_back(383);
        orders.push_back(512);
    }
    return orders;
}

// What a matrix is filled with.
enum class Fill {
    Uniform,    // uniform in (-1, 1)
    Wide,       // magnitudes from 2^-540 to 2^500, an eighth +0.0 and an eighth -0.0
    Zeros,      // seven in ten +0.0 or -0.0, the rest small integers
    Integers,   // integers from -3 to 3, with repeated rows: ties, exact cancellation, zero pivots
    RowScaled,  // uniform, each row scaled by its own power of 2 from 2^-200 to 2^200
};

constexpr Fill kFills[] = {Fill::Uniform, Fill::Wide, Fill::Zeros, Fill::Integers,
                           Fill::RowScaled};

const char* FillName(Fill f) {
    switch (f) {
    case Fill::Uniform: return "uniform";
    case Fill::Wide: return "wide";
    case Fill::Zeros: return "zeros";
    case Fill::Integers: return "integers";
    case Fill::RowScaled: return "row-scaled";
    }
    return "?";
}

// n x n values, row after row.
std::vector<double> Values(std::uint32_t n, Fill fill, std::uint64_t seed) {
    std::mt19937_64 rng(seed * 1000003u + n);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> small(-3, 3);
    std::uniform_int_distribution<int> eighth(0, 7);
    std::uniform_int_distribution<int> tenth(0, 9);
    std::vector<double> x(std::size_t{n} * n);
    switch (fill) {
    case Fill::Uniform:
        for (double& v : x) v = unit(rng);
        break;
    case Fill::Wide: {
        std::uniform_int_distribution<int> exponent(-540, 500);
        for (double& v : x) {
            const int kind = eighth(rng);
            v = kind == 0 ? 0.0 : kind == 1 ? -0.0 : std::ldexp(unit(rng), exponent(rng));
        }
        break;
    }
    case Fill::Zeros:
        for (double& v : x) {
            const int kind = tenth(rng);
            v = kind < 4 ? 0.0 : kind < 7 ? -0.0 : small(rng);
        }
        break;
    case Fill::Integers: {
        for (double& v : x) v = small(rng);
        std::uniform_int_distribution<std::uint32_t> row(0, n - 1);
        for (std::uint32_t copies = n / 8; copies > 0; --copies) {
            const std::uint32_t from = row(rng), to = row(rng);
            for (std::uint32_t j = 0; j < n; ++j) x[std::size_t{to} * n + j] = x[std::size_t{from} * n + j];
        }
        break;
    }
    case Fill::RowScaled: {
        std::uniform_int_distribution<int> exponent(-200, 200);
        for (std::uint32_t i = 0; i < n; ++i) {
            const int e = exponent(rng);
            for (std::uint32_t j = 0; j < n; ++j) x[std::size_t{i} * n + j] = std::ldexp(unit(rng), e);
        }
        break;
    }
    }
    return x;
}

NN Matrix(const std::vector<double>& values, std::uint32_t n, bool base1) {
    NN m(GetMatrixNN(nullptr, n, base1));
    std::memcpy(&m->Elem[Lo(base1)][Lo(base1)], values.data(), values.size() * sizeof(double));
    return m;
}

NN Copy(const MtrxNN* a) {
    NN m(GetMatrixNN(nullptr, a->Size, a->Base1));
    CopyMtrxNN(m.get(), a);
    return m;
}

// Where two runs first differ, for the failure message; -1 when they hold the same bits.
long FirstDifference(const double* a, const double* b, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k)
        if (std::memcmp(a + k, b + k, sizeof(double)) != 0) return static_cast<long>(k);
    return -1;
}

long FirstDifference(const MtrxNN* a, const MtrxNN* b) {
    const std::uint32_t lo = Lo(a->Base1);
    return FirstDifference(&a->Elem[lo][lo], &b->Elem[lo][lo], std::size_t{a->Size} * a->Size);
}

std::string Where(Path path, std::uint32_t n, Fill fill, bool base1 = false) {
    return std::string(quil::detail::PathName(path)) + " n=" + std::to_string(n) + " " +
           FillName(fill) + (base1 ? " base 1" : " base 0");
}

// ---- The product ----------------------------------------------------------------------------

TEST(ProductKernel, EveryOrderOnEveryPathGivesThePlainBits) {
    for (std::uint32_t n : Orders(true)) {
        const Fill fill = kFills[n % std::size(kFills)];
        const std::vector<double> a = Values(n, fill, 1), b = Values(n, fill, 2);
        std::vector<double> plain(a.size()), fast(a.size());
        quil::detail::ProductRuns(Path::Plain, n, a.data(), b.data(), plain.data());
        for (Path path : FastPaths()) {
            std::fill(fast.begin(), fast.end(), 7.0);  // every element must be written
            quil::detail::ProductRuns(path, n, a.data(), b.data(), fast.data());
            ASSERT_EQ(FirstDifference(plain.data(), fast.data(), plain.size()), -1)
                << Where(path, n, fill);
        }
    }
}

TEST(ProductKernel, EveryKindOfDataGivesThePlainBits) {
    for (std::uint32_t n : {5u, 33u, 70u, 129u}) {
        for (Fill fill : kFills) {
            const std::vector<double> a = Values(n, fill, 3), b = Values(n, fill, 4);
            std::vector<double> plain(a.size()), fast(a.size());
            quil::detail::ProductRuns(Path::Plain, n, a.data(), b.data(), plain.data());
            for (Path path : FastPaths()) {
                quil::detail::ProductRuns(path, n, a.data(), b.data(), fast.data());
                EXPECT_EQ(FirstDifference(plain.data(), fast.data(), plain.size()), -1)
                    << Where(path, n, fill);
            }
        }
    }
}

// Infinities make NaN in some sums and infinities in others; overflowing products make more.
TEST(ProductKernel, InfinitiesAndOverflowGiveThePlainBits) {
    const double inf = std::numeric_limits<double>::infinity();
    for (std::uint32_t n : {3u, 20u, 45u}) {
        std::vector<double> a = Values(n, Fill::Wide, 5), b = Values(n, Fill::Uniform, 6);
        a[0] = inf;
        a[a.size() / 2] = -inf;
        b[n + 1] = inf;
        b[b.size() - 1] = 1e300;
        a[a.size() - 1] = 1e300;
        std::vector<double> plain(a.size()), fast(a.size());
        quil::detail::ProductRuns(Path::Plain, n, a.data(), b.data(), plain.data());
        for (Path path : FastPaths()) {
            quil::detail::ProductRuns(path, n, a.data(), b.data(), fast.data());
            EXPECT_EQ(FirstDifference(plain.data(), fast.data(), plain.size()), -1)
                << quil::detail::PathName(path) << " n=" << n;
        }
    }
}

// One operation per element on every path, also where it meets NaN, infinities and signed
// zeros, and with the result in an operand's place; counts on both sides of the vector widths.
TEST(ElementKernel, EveryPathGivesThePlainBits) {
    for (std::uint32_t count : {1u, 3u, 4u, 7u, 8u, 17u, 64u, 1001u}) {
        std::vector<double> a = Values(count, Fill::Wide, 70), b = Values(count, Fill::Zeros, 71);
        a.resize(count);
        b.resize(count);
        const double odd[] = {std::numeric_limits<double>::quiet_NaN(), -0.0,
                              std::numeric_limits<double>::infinity(), 1e308};
        for (std::uint32_t k = 0; k < count; k += 3) a[k] = odd[k % 4];
        for (ElementOp op : {ElementOp::Add, ElementOp::Subtract, ElementOp::Scale}) {
            for (double s : {-0.0, 3.0, 1e300}) {
                std::vector<double> plain(count), fast(count);
                ElementRuns(Path::Plain, op, count, a.data(), b.data(), s, plain.data());
                for (Path path : FastPaths()) {
                    ElementRuns(path, op, count, a.data(), b.data(), s, fast.data());
                    EXPECT_TRUE(SameBits(fast, plain)) << PathName(path) << " count " << count;
                    std::vector<double> inPlace = a;
                    ElementRuns(path, op, count, inPlace.data(), b.data(), s, inPlace.data());
                    EXPECT_TRUE(SameBits(inPlace, plain)) << PathName(path) << " count " << count;
                }
            }
        }
    }
}

TEST(MulMtrxNN, GivesThePlainBitsInBothBasesAndWithAliasedOperands) {
    for (std::uint32_t n : {1u, 2u, 15u, 16u, 17u, 50u, 100u}) {
        for (bool base1 : {false, true}) {
            const Fill fill = n % 2 == 0 ? Fill::Wide : Fill::Zeros;
            NN a = Matrix(Values(n, fill, 7), n, base1), b = Matrix(Values(n, fill, 8), n, base1);
            NN ab(GetMatrixNN(nullptr, n, base1)), aa(GetMatrixNN(nullptr, n, base1));
            ASSERT_TRUE(quil::detail::MulMtrxNN(Path::Plain, ab.get(), a.get(), b.get()));
            ASSERT_TRUE(quil::detail::MulMtrxNN(Path::Plain, aa.get(), a.get(), a.get()));

            NN c(GetMatrixNN(nullptr, n, base1));
            ASSERT_TRUE(MulMtrxNN(c.get(), a.get(), b.get()));
            EXPECT_EQ(FirstDifference(c.get(), ab.get()), -1) << n << " base1 " << base1;

            // c = a b with c the first or the second operand, and the square in place.
            NN a1 = Copy(a.get()), b1 = Copy(b.get()), a2 = Copy(a.get());
            ASSERT_TRUE(MulMtrxNN(a1.get(), a1.get(), b.get()));
            EXPECT_EQ(FirstDifference(a1.get(), ab.get()), -1) << n << " base1 " << base1;
            ASSERT_TRUE(MulMtrxNN(b1.get(), a.get(), b1.get()));
            EXPECT_EQ(FirstDifference(b1.get(), ab.get()), -1) << n << " base1 " << base1;
            ASSERT_TRUE(MulMtrxNN(a2.get(), a2.get(), a2.get()));
            EXPECT_EQ(FirstDifference(a2.get(), aa.get()), -1) << n << " base1 " << base1;

            for (Path path : FastPaths()) {
                NN sq = Copy(a.get());
                ASSERT_TRUE(quil::detail::MulMtrxNN(path, sq.get(), sq.get(), sq.get()));
                EXPECT_EQ(FirstDifference(sq.get(), aa.get()), -1) << Where(path, n, fill, base1);
            }
        }
    }
}

TEST(SMtrxNNProduct, GivesThePlainBitsInBothBases) {
    for (unsigned n : {2u, 3u, 16u, 31u, 64u, 130u}) {
        for (bool base1 : {false, true}) {
            const std::vector<double> av = Values(n, Fill::Wide, 9), bv = Values(n, Fill::Zeros, 10);
            SMtrxNN a(n, base1), b(n, base1);
            const unsigned lo = Lo(base1);
            for (unsigned i = 0; i < n; ++i)
                for (unsigned j = 0; j < n; ++j) {
                    a.SetValue(lo + i, lo + j, av[std::size_t{i} * n + j]);
                    b.SetValue(lo + i, lo + j, bv[std::size_t{i} * n + j]);
                }
            NN ra = Matrix(av, n, base1), rb = Matrix(bv, n, base1);
            NN plain(GetMatrixNN(nullptr, n, base1)), square(GetMatrixNN(nullptr, n, base1));
            ASSERT_TRUE(quil::detail::MulMtrxNN(Path::Plain, plain.get(), ra.get(), rb.get()));
            ASSERT_TRUE(quil::detail::MulMtrxNN(Path::Plain, square.get(), ra.get(), ra.get()));

            const SMtrxNN ab = a * b;
            const SMtrxNN aa = a * a;
            for (unsigned i = 0; i < n; ++i)
                for (unsigned j = 0; j < n; ++j) {
                    const double want = plain->Elem[lo + i][lo + j];
                    const double got = ab.GetValue(lo + i, lo + j);
                    ASSERT_EQ(std::memcmp(&want, &got, sizeof want), 0)
                        << n << " base1 " << base1 << " (" << i << ", " << j << ")";
                    const double want2 = square->Elem[lo + i][lo + j];
                    const double got2 = aa.GetValue(lo + i, lo + j);
                    ASSERT_EQ(std::memcmp(&want2, &got2, sizeof want2), 0)
                        << n << " base1 " << base1 << " a*a (" << i << ", " << j << ")";
                }
        }
    }
}

// ---- The LU decomposition -------------------------------------------------------------------

struct Decomposition {
    LUDcmpOutcome outcome;
    int parity = 0;
    std::vector<std::int32_t> pivots;
    std::vector<double> factors;
};

Decomposition Decompose(Path path, const MtrxNN* a) {
    NN f = Copy(a);
    const std::uint32_t lo = Lo(a->Base1);
    const std::uint32_t hi = lo + a->Size - 1u;
    Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, lo, hi);
    Decomposition d;
    d.outcome = quil::detail::LUDcmpMtrxNN(path, f.get(), p, &d.parity);
    for (std::uint32_t j = lo; j <= hi; ++j) d.pivots.push_back(p[j]);
    d.factors = Elems(f.get());
    FreeArray1D(ArrInt32, p, lo, hi);
    return d;
}

void ExpectSameDecomposition(const Decomposition& plain, const Decomposition& fast,
                             const std::string& where) {
    ASSERT_EQ(plain.outcome, fast.outcome) << where;
    if (!Decomposed(plain.outcome)) return;
    EXPECT_EQ(plain.parity, fast.parity) << where;
    EXPECT_EQ(plain.pivots, fast.pivots) << where;
    ASSERT_EQ(FirstDifference(plain.factors.data(), fast.factors.data(), plain.factors.size()), -1)
        << where;
}

TEST(LUKernel, EveryOrderOnEveryPathGivesThePlainFactorsAndPivots) {
    for (std::uint32_t n : Orders(true)) {
        const Fill fill = kFills[n % std::size(kFills)];
        const bool base1 = n % 3 == 0;
        NN a = Matrix(Values(n, fill, 11), n, base1);
        const Decomposition plain = Decompose(Path::Plain, a.get());
        for (Path path : FastPaths())
            ExpectSameDecomposition(plain, Decompose(path, a.get()), Where(path, n, fill, base1));
    }
}

TEST(LUKernel, EveryKindOfDataInBothBasesGivesThePlainFactors) {
    for (std::uint32_t n : {3u, 16u, 17u, 40u, 97u}) {
        for (Fill fill : kFills) {
            for (bool base1 : {false, true}) {
                NN a = Matrix(Values(n, fill, 12), n, base1);
                const Decomposition plain = Decompose(Path::Plain, a.get());
                for (Path path : FastPaths())
                    ExpectSameDecomposition(plain, Decompose(path, a.get()),
                                            Where(path, n, fill, base1));
            }
        }
    }
}

// Entries of +1 and -1 (the leading block of a Sylvester-Hadamard matrix): every row has the
// same scale and the candidates of a column tie again and again, so the last of the tied rows
// must win each time, as in the plain loop.
TEST(LUKernel, TiesGoToTheLastRowAsInThePlainLoop) {
    for (std::uint32_t n : {4u, 16u, 24u, 64u, 100u}) {
        for (bool base1 : {false, true}) {
            NN a(GetMatrixNN(nullptr, n, base1));
            const std::uint32_t lo = Lo(base1);
            for (std::uint32_t i = 0; i < n; ++i)
                for (std::uint32_t j = 0; j < n; ++j)
                    a->Elem[lo + i][lo + j] = std::popcount(i & j) % 2 == 0 ? 1.0 : -1.0;
            const Decomposition plain = Decompose(Path::Plain, a.get());
            ASSERT_EQ(plain.pivots[0], static_cast<std::int32_t>(lo + n - 1)) << "the first column ties";
            for (Path path : FastPaths())
                ExpectSameDecomposition(plain, Decompose(path, a.get()),
                                        Where(path, n, Fill::Integers, base1));
        }
    }
}

// Row 5's largest magnitude, 100, is followed by a NaN in the same vector lane, in the row's
// last whole vector: a row scale that let the NaN displace the maximum would be 1 instead of
// 1/100 and make row 5 the first pivot. A row of zeros and NaN is not a row of zeros: its scale
// is NaN and it is never the pivot.
TEST(LUKernel, ANaNAfterTheRowMaximumInItsLaneIsPassedOver) {
    const double nan = std::nan("");
    for (std::uint32_t n : {16u, 17u}) {
        for (Path path : FastPaths()) {
            const std::uint32_t width = ShapeOf(path).vectorBits / 64;
            std::vector<double> v = Values(n, Fill::Uniform, 17);
            const auto at = [&](std::uint32_t i, std::uint32_t j) -> double& {
                return v[std::size_t{i} * n + j];
            };
            for (std::uint32_t i = 0; i < n; ++i) {
                at(i, 0) = 0.25;
                at(i, 1) = 1.0;
            }
            at(5, 0) = 1.0;
            at(5, 1) = 100.0;
            at(5, (n / width - 1) * width + 1) = nan;
            for (std::uint32_t j = 0; j < n; ++j) at(9, j) = j == width ? nan : 0.0;
            NN a = Matrix(v, n, n % 2 == 1);
            const Decomposition plain = Decompose(Path::Plain, a.get());
            ASSERT_NE(plain.pivots[0], static_cast<std::int32_t>(Lo(n % 2 == 1) + 5));
            ExpectSameDecomposition(plain, Decompose(path, a.get()), Where(path, n, Fill::Uniform));
        }
    }
}

TEST(LUKernel, SingularMatricesGetTheSameTinyPivots) {
    for (std::uint32_t n : {2u, 18u, 41u, 100u}) {
        std::vector<double> v = Values(n, Fill::Uniform, 13);
        // The last row repeats the first, so the last pivot cancels to exactly 0.0 or nearly.
        for (std::uint32_t j = 0; j < n; ++j) v[std::size_t{n - 1} * n + j] = v[j];
        NN a = Matrix(v, n, false);
        const Decomposition plain = Decompose(Path::Plain, a.get());
        for (Path path : FastPaths())
            ExpectSameDecomposition(plain, Decompose(path, a.get()), Where(path, n, Fill::Uniform));
    }
}

TEST(DetNN2AndDetLog10, GiveThePlainBitsOnEveryPath) {
    for (std::uint32_t n : {1u, 2u, 5u, 16u, 29u, 64u, 150u}) {
        for (Fill fill : kFills) {
            for (bool base1 : {false, true}) {
                NN a = Matrix(Values(n, fill, 14), n, base1);
                const double det = quil::detail::DetNN2(Path::Plain, a.get());
                int sign = 0;
                const double lg = quil::detail::DetLog10(Path::Plain, a.get(), &sign);
                for (Path path : FastPaths()) {
                    const double fastDet = quil::detail::DetNN2(path, a.get());
                    int fastSign = 0;
                    const double fastLg = quil::detail::DetLog10(path, a.get(), &fastSign);
                    EXPECT_EQ(std::memcmp(&det, &fastDet, sizeof det), 0) << Where(path, n, fill, base1);
                    EXPECT_EQ(std::memcmp(&lg, &fastLg, sizeof lg), 0) << Where(path, n, fill, base1);
                    EXPECT_EQ(sign, fastSign) << Where(path, n, fill, base1);
                }
            }
        }
    }
}

// ---- Elimination with full pivoting ---------------------------------------------------------

void ExpectSameDetNN(const MtrxNN* a, const std::string& where) {
    const double plain = quil::detail::DetNN(Path::Plain, a);
    for (Path path : FastPaths()) {
        const double fast = quil::detail::DetNN(path, a);
        EXPECT_EQ(std::memcmp(&plain, &fast, sizeof plain), 0)
            << where << " " << quil::detail::PathName(path) << ": " << plain << " against " << fast;
    }
}

TEST(DetNNKernel, EveryOrderOnEveryPathGivesThePlainBits) {
    // DetNN divides no work over threads: ThreadSanitizer has nothing to see in its large orders.
    for (std::uint32_t n : Orders(!kRacesOnly)) {
        const Fill fill = kFills[n % std::size(kFills)];
        NN a = Matrix(Values(n, fill, 22), n, n % 2 == 0);
        ExpectSameDetNN(a.get(), "n=" + std::to_string(n) + " " + FillName(fill));
    }
}

// A NaN anywhere, zero columns, blocks that run out of pivots (repeated rows of small integers
// cancel exactly), infinities, and ties between candidates all over the block.
TEST(DetNNKernel, SingularNaNAndTiedMatricesGiveThePlainResults) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (std::uint32_t n : {9u, 33u, 64u}) {
        for (bool base1 : {false, true}) {
            const std::string where = "n=" + std::to_string(n) + (base1 ? " base 1" : " base 0");
            const std::vector<double> uniform = Values(n, Fill::Uniform, 23);
            for (std::size_t at : {std::size_t{0}, std::size_t{n} * n / 2 + 3, std::size_t{n} * n - 1}) {
                std::vector<double> v = uniform;
                v[at] = nan;
                ExpectSameDetNN(Matrix(v, n, base1).get(), where + " NaN at " + std::to_string(at));
                v[at] = inf;
                ExpectSameDetNN(Matrix(v, n, base1).get(), where + " infinity at " + std::to_string(at));
            }
            std::vector<double> zeroColumn = uniform;
            for (std::uint32_t i = 0; i < n; ++i) zeroColumn[std::size_t{i} * n + n / 3] = i % 2 ? 0.0 : -0.0;
            ExpectSameDetNN(Matrix(zeroColumn, n, base1).get(), where + " zero column");
            zeroColumn[n / 3] = nan;
            ExpectSameDetNN(Matrix(zeroColumn, n, base1).get(), where + " zero column with a NaN");

            // Rank n / 2: the second half of the rows repeats the first.
            std::vector<double> repeated = Values(n, Fill::Integers, 24);
            for (std::uint32_t i = n / 2; i < n; ++i)
                for (std::uint32_t j = 0; j < n; ++j)
                    repeated[std::size_t{i} * n + j] = repeated[std::size_t{i - n / 2} * n + j];
            ExpectSameDetNN(Matrix(repeated, n, base1).get(), where + " repeated rows");
            repeated[std::size_t{n - 1} * n + n - 1] = nan;
            ExpectSameDetNN(Matrix(repeated, n, base1).get(), where + " repeated rows and a NaN");

            std::vector<double> ties(std::size_t{n} * n);
            for (std::uint32_t i = 0; i < n; ++i)
                for (std::uint32_t j = 0; j < n; ++j)
                    ties[std::size_t{i} * n + j] = std::popcount(i & j) % 2 == 0 ? 1.0 : -1.0;
            ExpectSameDetNN(Matrix(ties, n, base1).get(), where + " entries of +1 and -1");
            ExpectSameDetNN(Matrix(std::vector<double>(std::size_t{n} * n, 0.0), n, base1).get(),
                            where + " all zeros");
        }
    }
}

// ---- Balancing and the inverse --------------------------------------------------------------

TEST(BalanceMtrxNN, DiagonalProductsGiveThePlainScalesAndMatrix) {
    for (std::uint32_t n : {2u, 7u, 20u, 65u}) {
        for (Fill fill : {Fill::RowScaled, Fill::Wide, Fill::Zeros}) {
            for (bool base1 : {false, true}) {
                NN plainS = Matrix(Values(n, fill, 15), n, base1);
                MtrxNN* plainDr = nullptr;
                MtrxNN* plainDc = nullptr;
                quil::detail::BalanceMtrxNN(Path::Plain, &plainDr, &plainDc, plainS.get());
                NN pdr(plainDr), pdc(plainDc);
                ASSERT_TRUE(pdr && pdc);
                for (Path path : FastPaths()) {
                    NN s = Matrix(Values(n, fill, 15), n, base1);
                    MtrxNN* dr = nullptr;
                    MtrxNN* dc = nullptr;
                    quil::detail::BalanceMtrxNN(path, &dr, &dc, s.get());
                    NN fdr(dr), fdc(dc);
                    ASSERT_TRUE(fdr && fdc);
                    const std::string where = Where(path, n, fill, base1);
                    EXPECT_EQ(FirstDifference(s.get(), plainS.get()), -1) << where;
                    EXPECT_EQ(FirstDifference(fdr.get(), pdr.get()), -1) << where;
                    EXPECT_EQ(FirstDifference(fdc.get(), pdc.get()), -1) << where;
                }
            }
        }
    }
}

// The balanced row sums must differ widely for balancing to change anything. At order 100 the
// fast path has its sums along the rows anew after step after step that scales, until that
// costs too much and the plain loop takes over for the rest of the pass.
TEST(BalanceMtrxNN, BadlyScaledMatricesAreBalancedAlike) {
    for (std::uint32_t n : {3u, 30u, 100u}) {
        std::vector<double> v = Values(n, Fill::Uniform, 16);
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j) v[std::size_t{i} * n + j] *= std::ldexp(1.0, 3 * int(i) - 2 * int(j));
        NN plainS = Matrix(v, n, true), s = Matrix(v, n, true);
        MtrxNN *pdr = nullptr, *pdc = nullptr, *dr = nullptr, *dc = nullptr;
        quil::detail::BalanceMtrxNN(Path::Plain, &pdr, &pdc, plainS.get());
        quil::detail::BalanceMtrxNN(quil::detail::FastestPath(), &dr, &dc, s.get());
        NN a(pdr), b(pdc), c(dr), d(dc);
        EXPECT_FALSE(SameBits(Elems(plainS.get()), v)) << "balancing should have changed it";
        EXPECT_EQ(FirstDifference(s.get(), plainS.get()), -1);
        EXPECT_EQ(FirstDifference(c.get(), a.get()), -1);
        EXPECT_EQ(FirstDifference(d.get(), b.get()), -1);
    }
}

struct Inverse {
    bool ok;
    std::vector<double> elems;
};

Inverse Invert(Path path, const MtrxNN* a) {
    MtrxNN* ai = nullptr;
    Inverse r;
    r.ok = quil::detail::InvMtrxNN(path, &ai, a);
    NN owner(ai);
    if (ai != nullptr) r.elems = Elems(ai);
    return r;
}

void ExpectSameInverse(const Inverse& plain, const Inverse& fast, const std::string& where) {
    ASSERT_EQ(plain.ok, fast.ok) << where;
    ASSERT_EQ(plain.elems.size(), fast.elems.size()) << where;
    EXPECT_EQ(FirstDifference(plain.elems.data(), fast.elems.data(), plain.elems.size()), -1)
        << where;
}

TEST(InvMtrxNN, EveryPathGivesThePlainBits) {
    std::vector<std::uint32_t> orders;
    for (std::uint32_t n = 1; n <= 70; ++n) orders.push_back(n);
    for (std::uint32_t n : {100u, 129u, 200u, 257u, 300u})
        if (!kSanitized || n <= 129) orders.push_back(n);
    for (std::uint32_t n : orders) {
        const Fill fill = kFills[n % std::size(kFills)];
        const bool base1 = n % 2 == 1;
        NN a = Matrix(Values(n, fill, 17), n, base1);
        const Inverse plain = Invert(Path::Plain, a.get());
        for (Path path : FastPaths())
            ExpectSameInverse(plain, Invert(path, a.get()), Where(path, n, fill, base1));
    }
}

TEST(InvMtrxNN, EveryKindOfDataInBothBasesGivesThePlainBits) {
    for (std::uint32_t n : {2u, 9u, 33u}) {
        for (Fill fill : kFills) {
            for (bool base1 : {false, true}) {
                NN a = Matrix(Values(n, fill, 18), n, base1);
                const Inverse plain = Invert(Path::Plain, a.get());
                for (Path path : FastPaths())
                    ExpectSameInverse(plain, Invert(path, a.get()), Where(path, n, fill, base1));
            }
        }
    }
}

// The public routines take the fastest path, whose kernels leave small orders to the plain
// loops; either way the bits are the plain path's.
TEST(PublicRoutines, AgreeWithThePlainPathAroundTheSwitchOvers) {
    for (std::uint32_t n : {2u, 4u, 11u, 12u, 15u, 16u, 17u, 48u}) {
        for (bool base1 : {false, true}) {
            NN a = Matrix(Values(n, Fill::Wide, 19), n, base1);
            const double det = DetNN2(a.get());
            const double plainDet = quil::detail::DetNN2(Path::Plain, a.get());
            EXPECT_EQ(std::memcmp(&det, &plainDet, sizeof det), 0) << n;
            ExpectSameInverse(Invert(Path::Plain, a.get()), [&] {
                MtrxNN* ai = nullptr;
                Inverse r{InvMtrxNN(&ai, a.get()), {}};
                NN owner(ai);
                if (ai != nullptr) r.elems = Elems(ai);
                return r;
            }(), "public n=" + std::to_string(n));
        }
    }
}

// ---- Stacks of matrices ----------------------------------------------------------------------

std::uint8_t StatusOf(LUDcmpOutcome outcome) {
    return outcome == LUDcmpOutcome::ZeroRow     ? quil::StackRefused
           : outcome == LUDcmpOutcome::ZeroPivot ? quil::StackSingular
                                                 : quil::StackDone;
}

std::vector<double> NaNs(std::size_t count) {
    return std::vector<double>(count, std::numeric_limits<double>::quiet_NaN());
}

// What the single routines give for one matrix a of a stack on the plain path (and for b, its
// operand of the product, and rhs, its n x nrhs right-hand sides), and the statuses the stack
// routines must give it; the public routines, on the fastest path, must give the same.
struct Singles {
    double det, log;
    int sign;
    std::vector<double> inverse, solution, product;
    double rcond;
    std::uint8_t detStatus, inverseStatus, solveStatus, rcondStatus;
};

Singles SingleRoutines(const double* av, const double* bv, const double* rhs, std::uint32_t n,
                       std::uint32_t nrhs, bool base1, const std::string& where) {
    const std::size_t nn = std::size_t{n} * n;
    NN a = Matrix(std::vector<double>(av, av + nn), n, base1);
    NN b = Matrix(std::vector<double>(bv, bv + nn), n, base1);
    Singles s;
    LUDcmpOutcome outcome;
    s.det = quil::detail::DetNN2(Path::Plain, a.get(), &outcome);
    s.detStatus = StatusOf(outcome);
    s.log = quil::detail::DetLog10(Path::Plain, a.get(), &s.sign);
    int sign = 0;
    const double log = DetLog10(a.get(), &sign);
    EXPECT_TRUE(SameBits({DetNN2(a.get()), log, double(sign)}, {s.det, s.log, double(s.sign)})) << where;

    const Inverse inverse = Invert(Path::Plain, a.get());
    NN room(GetMatrixNN(nullptr, n, base1));
    s.inverseStatus = n == 1 ? quil::StackRefused : StatusOf(InverseInto(Path::Plain, room.get(), a.get()));
    EXPECT_EQ(inverse.ok, s.inverseStatus != quil::StackRefused) << where;
    s.inverse = inverse.ok ? inverse.elems : NaNs(nn);
    ExpectSameInverse(inverse, Invert(quil::detail::FastestPath(), a.get()), where + " public");

    const BalancedLU lu(Path::Plain, a.get());
    s.solveStatus = lu.outcome == LUDcmpOutcome::Done ? quil::StackDone : quil::StackRefused;
    s.solution = NaNs(std::size_t{n} * nrhs);
    rtest::V x(GetVector(nullptr, n, base1)), y(GetVector(nullptr, n, base1));
    for (std::uint32_t r = 0; r < nrhs; ++r) {
        for (std::uint32_t i = 0; i < n; ++i) x->Elem[Lo(base1) + i] = rhs[i * nrhs + r];
        const bool solved = SolveMtrxNN(y.get(), a.get(), x.get());
        EXPECT_EQ(solved, s.solveStatus == quil::StackDone) << where;
        if (s.solveStatus != quil::StackDone) continue;
        lu.Solve(&x->Elem[Lo(base1)], &x->Elem[Lo(base1)]);
        EXPECT_TRUE(SameBits(Elems(x.get()), Elems(y.get()))) << where << " public solve";
        for (std::uint32_t i = 0; i < n; ++i) s.solution[i * nrhs + r] = x->Elem[Lo(base1) + i];
    }

    NN c(GetMatrixNN(nullptr, n, base1));
    EXPECT_TRUE(quil::detail::MulMtrxNN(Path::Plain, c.get(), a.get(), b.get()));
    s.product = Elems(c.get());
    s.rcond = quil::detail::RCondMtrxNN(Path::Plain, a.get(), &outcome);
    s.rcondStatus = StatusOf(outcome);
    EXPECT_TRUE(SameBits({RCondMtrxNN(a.get())}, {s.rcond})) << where;
    return s;
}

// The matrices of a stack of order n: every kind of data, and the special ones, each of which
// the stack must do as its single routine does: a row of zeros, an exactly singular matrix (its
// last row repeats the first, in small integers), a NaN, an infinity, a row far above the range
// of 1 and one of subnormal numbers (both shifted into range first), ties between pivot
// candidates (entries of +1 and -1), rows and columns scaled far apart (several passes of
// balancing), all zeros, the identity; from order 3, a pivot below 2^-1024 (a multiplier of
// 0.0 / pivot, and solves that leave the range on the way: a^-1 e_1 = (1, -0.5 / t, 0)), and a
// row that balancing would scale down but for a subnormal element it would round; from order 2,
// the range tests' matrices.
std::vector<std::vector<double>> StackMatrices(std::uint32_t n) {
    const std::size_t nn = std::size_t{n} * n;
    std::vector<std::vector<double>> ms;
    for (Fill fill : kFills) ms.push_back(Values(n, fill, 60));
    const std::vector<double> uniform = Values(n, Fill::Uniform, 61);
    const auto with = [&](const auto& change) {
        std::vector<double> v = uniform;
        change(v);
        ms.push_back(v);
    };
    with([&](std::vector<double>& v) { for (std::uint32_t j = 0; j < n; ++j) v[n / 2 * n + j] = j % 2 ? -0.0 : 0.0; });
    ms.push_back(Values(n, Fill::Integers, 62));
    for (std::uint32_t j = 0; j < n; ++j) ms.back()[(n - 1) * n + j] = ms.back()[j];
    with([&](std::vector<double>& v) { v[nn / 2] = std::numeric_limits<double>::quiet_NaN(); });
    with([&](std::vector<double>& v) { v[nn - 1] = -std::numeric_limits<double>::infinity(); });
    with([&](std::vector<double>& v) { for (std::uint32_t j = 0; j < n; ++j) v[j] = std::ldexp(v[j], 600); });
    with([&](std::vector<double>& v) { for (std::uint32_t j = 0; j < n; ++j) v[nn - n + j] = std::ldexp(v[nn - n + j], -1040); });
    with([&](std::vector<double>& v) {
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j) v[i * n + j] = std::popcount(i & j) % 2 == 0 ? 1.0 : -1.0;
    });
    with([&](std::vector<double>& v) {
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = 0; j < n; ++j) v[i * n + j] = std::ldexp(v[i * n + j], 5 * int(i) - 3 * int(j));
    });
    ms.push_back(std::vector<double>(nn, 0.0));
    ms.push_back(std::vector<double>(nn, 0.0));
    for (std::uint32_t i = 0; i < n; ++i) ms.back()[i * n + i] = 1.0;
    const std::vector<double> identity = ms.back();
    if (n >= 3) {
        ms.push_back(identity);  // row 1: (0.5, t, 1)
        ms.back()[n] = 0.5;
        ms.back()[n + 1] = 0x1.8p-1070;
        ms.back()[n + 2] = 1.0;
        ms.push_back(identity);  // row 0: (1, 1, s), column 0 below it 2^-20
        ms.back()[1] = 1.0;
        ms.back()[2] = 0x1.8p-1073;
        ms.back()[n] = ms.back()[2 * n] = 0x1p-20;
    }
    // The range tests' 2 x 2 blocks beside the identity: huge beside subnormal in a row, a
    // subnormal pivot, balancing scales that would take the solution out of the range on the way,
    // inverses beyond the range; and two balanced by 2^1022 and 2^1020, whose solves of (s, 0, ...)
    // have products below the normal range on the way, which SolveMtrxNN's solve does not round.
    const double sub = 0x1p-1074;
    for (const auto& c : {std::array{0x1p300, 3 * sub, 0x1p1000, sub}, {0x1p1000, 3 * sub, 0x1p1000, sub},
                          {0.0, -0x1p107, 0x1p-1060, -7.5}, {1.0, 0x1p1023, sub, 1.0},
                          {9e-167, 0.0, -1e167, 3e167}, {1e-310, 1e-310, 1.0, 2.0},
                          {2e-300, 1e-300, 1e300, 1e300}, {1e-310, 0.0, 0.0, 1e-310},
                          {2.0, 0x1.9f20a0849428ep+1020, 0x0.c149d226cc472p-1022, 1.75},
                          {2.0, 0x1.9f20a0849428ep+1018, 0x1.8293a44d988e4p-1021, 1.75}}) {
        if (n < 2) break;
        ms.push_back(identity);
        ms.back()[0] = c[0];
        ms.back()[1] = c[1];
        ms.back()[n] = c[2];
        ms.back()[n + 1] = c[3];
    }
    if (n >= 4) {  // and beside it a block balanced the other way: Dc(0, 0) Dr(2, 2) overflows
        ms.push_back(ms.back());
        ms.back()[2 * n + 3] = 0x1.9f20a0849428ep-7;
        ms.back()[3 * n + 2] = 0x1.8293a44d988e4p+3;
    }
    if (n == 6) {  // ones above a diagonal of 2^-171: the inverse's norm, past 2^1028, overflows a
                   // double, and the condition estimate carries it with exponents (a subnormal)
        ms.push_back(std::vector<double>(nn, 0.0));
        for (std::uint32_t i = 0; i < n; ++i)
            for (std::uint32_t j = i; j < n; ++j) ms.back()[i * n + j] = i == j ? 0x1p-171 : 1.0;
    }
    return ms;
}

// A stack's operands: matrices, the product's second operands (the matrices in reverse order)
// and nrhs right-hand sides each, one of them 0.0 but in its last row, the third (when there is
// one) 0.0 but in its first row, one holding a NaN.
struct StackOperands {
    std::uint64_t count;
    std::vector<double> a, b, rhs;
};

StackOperands Operands(const std::vector<std::vector<double>>& ms, std::uint32_t n, std::uint32_t nrhs) {
    StackOperands s{ms.size(), {}, {}, Values(n * nrhs, Fill::Uniform, 63)};
    s.rhs.resize(ms.size() * n * nrhs);
    for (std::size_t k = 0; k < ms.size(); ++k) {
        s.a.insert(s.a.end(), ms[k].begin(), ms[k].end());
        s.b.insert(s.b.end(), ms[ms.size() - 1 - k].begin(), ms[ms.size() - 1 - k].end());
        for (std::size_t t = 0; t < std::size_t{n} * nrhs; ++t)
            s.rhs[k * n * nrhs + t] = (t % nrhs == 1 && t / nrhs + 1 < n) || (t % nrhs == 2 && t >= nrhs)
                                          ? 0.0
                                          : std::sin(double(k * 131 + t));
    }
    s.rhs[n * nrhs] = std::numeric_limits<double>::quiet_NaN();
    return s;
}

// Every stack routine on path over the stack: results and statuses.
struct StackResults {
    std::vector<double> det, log, sign, inverse, solution, product, rcond;
    std::vector<std::uint8_t> detStatus, logStatus, inverseStatus, solveStatus, rcondStatus;
    bool operator==(const StackResults&) const = default;
};

StackResults RunStacks(Path path, const StackOperands& s, std::uint32_t n, std::uint32_t nrhs) {
    const std::uint64_t count = s.count;
    const std::size_t nn = std::size_t{n} * n;
    StackResults r{std::vector<double>(count, 7.0), std::vector<double>(count, 7.0), {},
                   std::vector<double>(count * nn, 7.0), std::vector<double>(count * n * nrhs, 7.0),
                   std::vector<double>(count * nn, 7.0), std::vector<double>(count, 7.0), {}, {}, {}, {}, {}};
    for (auto* st : {&r.detStatus, &r.logStatus, &r.inverseStatus, &r.solveStatus, &r.rcondStatus})
        st->assign(count, 9);
    std::vector<int> sign(count, 7);
    EXPECT_TRUE(DetNN2Stack(path, r.det.data(), r.detStatus.data(), count, n, s.a.data()));
    EXPECT_TRUE(DetLog10Stack(path, r.log.data(), sign.data(), r.logStatus.data(), count, n, s.a.data()));
    r.sign.assign(sign.begin(), sign.end());
    EXPECT_TRUE(InvMtrxNNStack(path, r.inverse.data(), r.inverseStatus.data(), count, n, s.a.data()));
    EXPECT_TRUE(SolveMtrxNNStack(path, r.solution.data(), r.solveStatus.data(), count, n, nrhs,
                                 s.a.data(), s.rhs.data()));
    EXPECT_TRUE(MulMtrxNNStack(path, r.product.data(), count, n, s.a.data(), s.b.data()));
    EXPECT_TRUE(RCondMtrxNNStack(path, r.rcond.data(), r.rcondStatus.data(), count, n, s.a.data()));
    return r;
}

TEST(Stacks, EveryMatrixGetsItsSingleRoutinesBitsOnEveryPath) {
    std::vector<std::uint32_t> orders;
    for (std::uint32_t n = 1; n <= 20; ++n) orders.push_back(n);
    orders.push_back(24);
    if (!kSanitized) orders.push_back(41);
    constexpr std::uint32_t nrhs = 3;
    std::vector<Path> paths = FastPaths();
    paths.push_back(Path::Plain);
    for (std::uint32_t n : orders) {
        const std::size_t nn = std::size_t{n} * n;
        const StackOperands s = Operands(StackMatrices(n), n, nrhs);
        std::vector<Singles> want;
        for (std::uint64_t k = 0; k < s.count; ++k)
            want.push_back(SingleRoutines(&s.a[k * nn], &s.b[k * nn], &s.rhs[k * n * nrhs], n, nrhs,
                                          k % 2 == 1, "n=" + std::to_string(n) + " matrix " + std::to_string(k)));
        for (Path path : paths) {
            const StackResults r = RunStacks(path, s, n, nrhs);
            for (std::uint64_t k = 0; k < s.count; ++k) {
                const Singles& w = want[k];
                const std::string where = Where(path, n, Fill::Uniform) + " matrix " + std::to_string(k);
                EXPECT_TRUE(SameBits({r.det[k], r.log[k], r.sign[k], r.rcond[k]},
                                     {w.det, w.log, double(w.sign), w.rcond}))
                    << where << ": " << r.det[k] << " " << r.log[k] << " " << r.rcond[k];
                EXPECT_EQ(FirstDifference(&r.inverse[k * nn], w.inverse.data(), nn), -1) << where;
                EXPECT_EQ(FirstDifference(&r.solution[k * n * nrhs], w.solution.data(), n * nrhs), -1) << where;
                EXPECT_EQ(FirstDifference(&r.product[k * nn], w.product.data(), nn), -1) << where;
                EXPECT_EQ(r.detStatus[k], w.detStatus) << where;
                EXPECT_EQ(r.logStatus[k], w.detStatus) << where;
                EXPECT_EQ(r.inverseStatus[k], w.inverseStatus) << where;
                EXPECT_EQ(r.solveStatus[k], w.solveStatus) << where;
                EXPECT_EQ(r.rcondStatus[k], w.rcondStatus) << where;
            }
        }
    }
}

// Whole matrices go to the threads: on any number of them every result and status has the bits
// of one thread. Stacks long enough for seven parts, of an order the small orders' code takes
// (with matrices it leaves to the general way among them) and of one it does not.
TEST(Stacks, EveryThreadCountGivesOneThreadsBits) {
    if (!rtest::kThreadsStart) GTEST_SKIP() << "the emulator cannot start a thread";
    for (std::uint32_t n : {4u, 20u}) {
        const std::vector<std::vector<double>> specials = StackMatrices(n);
        std::vector<std::vector<double>> ms;
        for (std::uint32_t k = 0; ms.size() < (n == 4 ? 4000u : 150u); ++k)
            ms.push_back(k % 9 == 8 ? specials[k / 9 % specials.size()] : Values(n, kFills[k % 5], k));
        const StackOperands s = Operands(ms, n, 2);
        const StackResults one = [&] {
            const Threads threads(1);
            return RunStacks(quil::detail::FastestPath(), s, n, 2);
        }();
        for (unsigned count : {2u, 3u, 7u}) {
            const Threads threads(count);
            const StackResults many = RunStacks(quil::detail::FastestPath(), s, n, 2);
            for (const auto& [x, y] : {std::pair{&one.det, &many.det}, {&one.log, &many.log},
                                       {&one.sign, &many.sign}, {&one.inverse, &many.inverse},
                                       {&one.solution, &many.solution}, {&one.product, &many.product},
                                       {&one.rcond, &many.rcond}})
                EXPECT_TRUE(SameBits(*x, *y)) << "n=" << n << ", " << count << " threads";
            EXPECT_TRUE(one.detStatus == many.detStatus && one.inverseStatus == many.inverseStatus &&
                        one.solveStatus == many.solveStatus && one.rcondStatus == many.rcondStatus)
                << "n=" << n << ", " << count << " threads";
        }
    }
}

// A result may be its operand's own array; each matrix's operands are read before its results
// are written.
TEST(Stacks, AResultMayBeItsOperand) {
    for (std::uint32_t n : {3u, 4u, 20u}) {
        const std::size_t nn = std::size_t{n} * n;
        const StackOperands s = Operands(StackMatrices(n), n, 1);
        const StackResults apart = RunStacks(quil::detail::FastestPath(), s, n, 1);
        std::vector<double> a = s.a, rhs = s.rhs, b = s.b, square(s.a.size());
        ASSERT_TRUE(InvMtrxNNStack(a.data(), nullptr, s.count, n, a.data()));
        EXPECT_TRUE(SameBits(a, apart.inverse)) << n;
        ASSERT_TRUE(SolveMtrxNNStack(rhs.data(), nullptr, s.count, n, 1, s.a.data(), rhs.data()));
        EXPECT_TRUE(SameBits(rhs, apart.solution)) << n;
        ASSERT_TRUE(MulMtrxNNStack(b.data(), s.count, n, s.a.data(), b.data()));
        EXPECT_TRUE(SameBits(b, apart.product)) << n;
        ASSERT_TRUE(MulMtrxNNStack(square.data(), s.count, n, s.a.data(), s.a.data()));
        a = s.a;
        ASSERT_TRUE(MulMtrxNNStack(a.data(), s.count, n, a.data(), a.data()));
        EXPECT_TRUE(SameBits(a, square)) << n;
        EXPECT_EQ(nn * s.count, a.size());
    }
}

// The worked examples: (1 2 / 2 4) is exactly singular (its second pivot 0.0 counts as 1.0e-20),
// (1 2 / 0 0) has a row of zeros, (2 1 / 1 3) is regular; the inverse refuses order 1, the solve
// does not. Order 0 and missing arrays are refused without a report; an empty stack is done.
TEST(Stacks, StatusesAndRefusalsAreTheDocumentedOnes) {
    const double a[] = {1, 2, 2, 4, 1, 2, 0, 0, 2, 1, 1, 3};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double det[3], log[3], rcond[3], inverse[12], x[6];
    int sign[3];
    std::uint8_t st[5][3];
    const double b[] = {1, 1, 1, 1, 1, 1};
    ASSERT_TRUE(DetNN2Stack(det, st[0], 3, 2, a));
    ASSERT_TRUE(DetLog10Stack(log, sign, st[1], 3, 2, a));
    ASSERT_TRUE(InvMtrxNNStack(inverse, st[2], 3, 2, a));
    ASSERT_TRUE(SolveMtrxNNStack(x, st[3], 3, 2, 1, a, b));
    ASSERT_TRUE(RCondMtrxNNStack(rcond, st[4], 3, 2, a));
    using quil::StackDone, quil::StackRefused, quil::StackSingular;
    EXPECT_TRUE(SameBits({det[0], det[1], det[2]}, {-2e-20, 0.0, 5.0}));
    EXPECT_TRUE(SameBits({log[1], double(sign[0]), double(sign[1]), double(sign[2])}, {-DBL_MAX, -1, 0, 1}));
    EXPECT_NEAR(log[0], std::log10(2e-20), 1e-15);
    EXPECT_TRUE(SameBits(std::vector<double>(inverse, inverse + 12),
                         {-2e20, 1e20, 1e20, -5e19, nan, nan, nan, nan, 0.6, -0.2, -0.2, 0.4}));
    EXPECT_TRUE(SameBits(std::vector<double>(x, x + 4), {nan, nan, nan, nan}));
    EXPECT_NEAR(x[4], 0.4, 1e-15);
    EXPECT_NEAR(x[5], 0.2, 1e-15);
    EXPECT_TRUE(SameBits({rcond[0], rcond[1]}, {0.0, 0.0}));
    EXPECT_GT(rcond[2], 0.2);
    const std::vector<std::vector<std::uint8_t>> want = {
        {StackSingular, StackRefused, StackDone}, {StackSingular, StackRefused, StackDone},
        {StackSingular, StackRefused, StackDone}, {StackRefused, StackRefused, StackDone},
        {StackSingular, StackRefused, StackDone}};
    for (std::size_t r = 0; r < want.size(); ++r)
        EXPECT_EQ(std::vector<std::uint8_t>(st[r], st[r] + 3), want[r]) << "routine " << r;

    const double one[] = {4.0, 0.0};
    ASSERT_TRUE(InvMtrxNNStack(inverse, st[0], 2, 1, one));
    ASSERT_TRUE(SolveMtrxNNStack(x, st[1], 2, 1, 1, one, b));
    EXPECT_TRUE(SameBits({inverse[0], inverse[1], x[0], x[1]}, {nan, nan, 0.25, nan}));
    EXPECT_EQ(std::vector<std::uint8_t>(st[1], st[1] + 2), (std::vector<std::uint8_t>{StackDone, StackRefused}));

    ReportCapture report;
    EXPECT_FALSE(DetNN2Stack(det, nullptr, 3, 0, a));
    EXPECT_FALSE(MulMtrxNNStack(x, 1, 2, a, nullptr));
    EXPECT_FALSE(DetLog10Stack(log, nullptr, nullptr, 1, 2, a));
    EXPECT_FALSE(InvMtrxNNStack(nullptr, nullptr, 1, 2, a));
    EXPECT_TRUE(InvMtrxNNStack(nullptr, nullptr, 0, 2, nullptr));
    EXPECT_TRUE(SolveMtrxNNStack(nullptr, st[0], 3, 2, 0, a, nullptr));
    EXPECT_EQ(std::vector<std::uint8_t>(st[0], st[0] + 3), want[3]);
    EXPECT_EQ(report.Text(), "");
}

// ---- Threads --------------------------------------------------------------------------------

// Every part runs exactly once, whatever the number of parts and threads, when a part divides
// work of its own (that stays on its thread) and when several callers divide work at once.
TEST(Threads, EveryPartRunsOnceFromNestedAndConcurrentCallers) {
    if (!rtest::kThreadsStart) GTEST_SKIP() << "the emulator cannot start a thread";
    const Threads threads(3);
    constexpr unsigned kMost = 40;
    const auto check = [](unsigned parts) {
        std::atomic<unsigned> runs[kMost] = {};
        quil::detail::ForParts(parts, [&](unsigned p) {
            runs[p].fetch_add(1);
            std::atomic<unsigned> inner{0};
            quil::detail::ForParts(3, [&](unsigned) { inner.fetch_add(1); });
            if (inner.load() != 3) runs[p].fetch_add(100);
        });
        int wrong = 0;
        for (unsigned p = 0; p < kMost; ++p) wrong += runs[p].load() != (p < parts ? 1u : 0u);
        return wrong;
    };
    for (unsigned parts = 0; parts <= kMost; ++parts) EXPECT_EQ(check(parts), 0) << parts << " parts";
    QUIL_SKIP_WITHOUT_THREADS();
    std::vector<int> wrong(4, 0);
    std::vector<std::thread> callers;
    for (unsigned t = 0; t < wrong.size(); ++t)
        callers.emplace_back([&, t] {
            for (unsigned round = 0; round < 200; ++round) wrong[t] += check(1 + (round + t) % kMost);
        });
    for (std::thread& c : callers) c.join();
    for (int w : wrong) EXPECT_EQ(w, 0);
}

// More parts than threads: the threads take them as they come free, each part once, and the
// threads that run parts at the same time have slots of their own, below the count.
TEST(Threads, PartsBeyondTheThreadsTakeSlotsOfTheirOwn) {
    constexpr unsigned kParts = 64;
    for (unsigned count : rtest::ThreadCounts({1u, 2u, 3u, 7u})) {
        std::atomic<unsigned> runs[kParts] = {};
        std::atomic<bool> busy[8] = {};
        std::atomic<int> wrong{0};
        quil::detail::ForPartsInSlots(count, kParts, [&](unsigned p, unsigned slot) {
            runs[p].fetch_add(1);
            if (slot >= count || busy[slot].exchange(true)) {
                wrong.fetch_add(1);
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            busy[slot].store(false);
        });
        EXPECT_EQ(wrong.load(), 0) << count << " threads";
        for (unsigned p = 0; p < kParts; ++p) EXPECT_EQ(runs[p].load(), 1u) << "part " << p;
    }
}

// The parts of a division cover the items once, in whole steps, in order.
TEST(Threads, PartsCoverTheItemsInWholeSteps) {
    for (std::size_t count : {0u, 1u, 5u, 6u, 7u, 100u, 521u})
        for (std::size_t step : {1u, 6u, 8u})
            for (unsigned parts : {1u, 2u, 3u, 7u, 64u}) {
                EXPECT_EQ(quil::detail::PartBegin(count, step, parts, 0), 0u);
                EXPECT_EQ(quil::detail::PartBegin(count, step, parts, parts), count);
                for (unsigned p = 0; p < parts; ++p) {
                    const std::size_t b = quil::detail::PartBegin(count, step, parts, p);
                    const std::size_t e = quil::detail::PartBegin(count, step, parts, p + 1);
                    EXPECT_LE(b, e);
                    EXPECT_TRUE(b % step == 0 || b == count) << count << " " << step << " " << parts;
                }
            }
}

// The count set from code: from 1 up to 64, 0 for the cores the process may run on.
TEST(Threads, TheCountIsSetFromCode) {
    for (unsigned count : {1u, 2u, 3u, 7u, 64u}) {
        const Threads threads(count);
        EXPECT_EQ(quil::NumThreads(), count);
    }
    const Threads tooMany(100000);
    EXPECT_EQ(quil::NumThreads(), 64u);
    quil::SetNumThreads(0);
    EXPECT_EQ(quil::NumThreads(), quil::detail::CoreCount());
}

// RunParts returns only when every part has run, also a part that another thread takes and
// that ends late.
TEST(Threads, RunPartsReturnsWhenEveryPartIsDone) {
    if (!rtest::kThreadsStart) GTEST_SKIP() << "the emulator cannot start a thread";
    const Threads threads(4);
    for (int round = 0; round < 3; ++round) {
        std::atomic<unsigned> done{0};
        quil::detail::ForParts(4u, [&](unsigned p) {
            if (p != 0) std::this_thread::sleep_for(std::chrono::milliseconds(50 * p));
            done.fetch_add(1);
        });
        EXPECT_EQ(done.load(), 4u) << "round " << round;
    }
}

#if defined(__linux__)
// QUIL_NUM_THREADS, read once in a fresh process: a whole number from 1 up (at most 64) is the
// count; anything else gives the cores the process may use, and a value that is set but cannot
// be used as it stands is named on standard error. SetNumThreads overrides it.
TEST(ThreadsDeathTest, TheCountComesFromQuilNumThreads) {
#ifdef QUIL_TESTS_EMULATED
    GTEST_SKIP() << "a user-mode emulator cannot run the test program again in a fresh process";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto countWith = [](const char* value) {
        setenv("QUIL_NUM_THREADS", value, 1);
        std::exit(static_cast<int>(quil::NumThreads()));
    };
    EXPECT_EXIT(countWith("3"), testing::ExitedWithCode(3), "^$");
    EXPECT_EXIT(countWith("1"), testing::ExitedWithCode(1), "^$");
    EXPECT_EXIT(countWith("64"), testing::ExitedWithCode(64), "^$");
    EXPECT_EXIT(countWith("1000"), testing::ExitedWithCode(64),
                "^quil: QUIL_NUM_THREADS=1000 is more than 64; using 64 threads\n$");
    EXPECT_EXIT(countWith("99999999999999999999999"), testing::ExitedWithCode(64),
                "is more than 64; using 64 threads");
    cpu_set_t set;
    ASSERT_EQ(sched_getaffinity(0, sizeof set, &set), 0);
    const int cores = std::min(CPU_COUNT(&set), static_cast<int>(quil::detail::kMaxThreads));
    const std::string fallback = " is not a whole number from 1 to 64; using " +
                                 std::to_string(cores) + " threads, one per core\n$";
    for (std::string unusable : {"0", "-2", "+3", "two", "3x", " 3"}) {
        const std::string quoted = unusable == "+3" ? "\\+3" : unusable;
        EXPECT_EXIT(countWith(unusable.c_str()), testing::ExitedWithCode(cores),
                    "^quil: QUIL_NUM_THREADS=\"" + quoted + "\"" + fallback)
            << "QUIL_NUM_THREADS=" << unusable;
    }
    EXPECT_EXIT(countWith(""), testing::ExitedWithCode(cores), "^$");
    // SetNumThreads(0) asks for every core, whatever the variable says.
    const auto coresWith = [](const std::string& value) {
        setenv("QUIL_NUM_THREADS", value.c_str(), 1);
        quil::SetNumThreads(0);
        std::exit(static_cast<int>(quil::NumThreads()));
    };
    EXPECT_EXIT(coresWith(std::to_string(cores % 64 + 1)), testing::ExitedWithCode(cores), "^$");
    unsetenv("QUIL_NUM_THREADS");
}

// The cores a process may run on are those of its affinity mask (taskset, containers, batch
// schedulers), not the machine's.
TEST(ThreadsDeathTest, TheCoresAreThoseOfTheAffinityMask) {
#ifdef QUIL_TESTS_EMULATED
    GTEST_SKIP() << "a user-mode emulator cannot run the test program again in a fresh process";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto coresOnOne = [] {
        cpu_set_t set;
        if (sched_getaffinity(0, sizeof set, &set) != 0) std::exit(100);
        int first = 0;
        while (!CPU_ISSET(first, &set)) ++first;
        CPU_ZERO(&set);
        CPU_SET(first, &set);
        if (sched_setaffinity(0, sizeof set, &set) != 0) std::exit(101);
        unsetenv("QUIL_NUM_THREADS");
        quil::SetNumThreads(0);
        std::exit(static_cast<int>(quil::NumThreads()));
    };
    EXPECT_EXIT(coresOnOne(), testing::ExitedWithCode(1), "");
}

// However large the work, a process never has more threads than the count allows: the
// caller's and count - 1 others.
TEST(ThreadsDeathTest, ALargeProductStartsNoMoreThreadsThanTheCount) {
#ifdef QUIL_TESTS_EMULATED
    GTEST_SKIP() << "a user-mode emulator cannot run the test program again in a fresh process";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto tasksAfterProducts = [](unsigned count) {
        quil::SetNumThreads(count);
        const std::uint32_t n = kSanitized ? 300 : 700;
        const std::vector<double> a = Values(n, Fill::Uniform, 40);
        std::vector<double> c(a.size());
        for (Path path : FastPaths()) quil::detail::ProductRuns(path, n, a.data(), a.data(), c.data());
        int tasks = 0;
        if (DIR* dir = opendir("/proc/self/task")) {
            while (const dirent* entry = readdir(dir)) tasks += entry->d_name[0] != '.';
            closedir(dir);
        }
        std::exit(tasks);
    };
    // ThreadSanitizer runs a background thread of its own in every process.
#if defined(__SANITIZE_THREAD__)
    constexpr unsigned kOwnTasks = 1;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    constexpr unsigned kOwnTasks = 1;
#else
    constexpr unsigned kOwnTasks = 0;
#endif
#else
    constexpr unsigned kOwnTasks = 0;
#endif
    for (unsigned count : {2u, 3u}) {
        const auto atMostCount = [count](int status) {
            return WIFEXITED(status) && WEXITSTATUS(status) >= 1 &&
                   static_cast<unsigned>(WEXITSTATUS(status)) <= count + kOwnTasks;
        };
        EXPECT_EXIT(tasksAfterProducts(count), atMostCount, "") << count << " threads";
    }
}
#endif

// Orders whose work is divided: the product's and the solves' from 201; the decomposition, one
// panel of 64 columns factored ahead of the others' steps, from 300 (the last panel cut short
// at 300, 521 and 700); a second panel of the product from 521.
std::vector<std::uint32_t> DividedOrders() {
    if (kSanitized) return {201, 300};
    if (kRacesOnly) return {201, 300, 521};
    return {201, 300, 385, 521, 700};
}

TEST(Threads, EveryThreadCountGivesThePlainBitsOnEveryPath) {
    for (std::uint32_t n : DividedOrders()) {
        const Fill fill = n == 385 || n % 2 == 0 ? Fill::Integers : Fill::Uniform;
        const bool base1 = n % 4 == 1;
        const std::vector<double> av = Values(n, fill, 20), bv = Values(n, fill, 21);
        std::vector<double> plainProduct(av.size()), product(av.size());
        quil::detail::ProductRuns(Path::Plain, n, av.data(), bv.data(), plainProduct.data());
        NN a = Matrix(av, n, base1);
        const Decomposition plainLU = Decompose(Path::Plain, a.get());
        const Inverse plainInverse = Invert(Path::Plain, a.get());
        for (unsigned count : rtest::ThreadCounts({1u, 2u, 3u, 7u})) {
            const Threads threads(count);
            for (Path path : FastPaths()) {
                const std::string where = Where(path, n, fill, base1) + " threads " + std::to_string(count);
                quil::detail::ProductRuns(path, n, av.data(), bv.data(), product.data());
                EXPECT_EQ(FirstDifference(plainProduct.data(), product.data(), product.size()), -1) << where;
                ExpectSameDecomposition(plainLU, Decompose(path, a.get()), where);
                ExpectSameInverse(plainInverse, Invert(path, a.get()), where);
            }
        }
    }
}

// Rows far outside the range of 1, shifted on several threads, and a row of zeros found by the
// row scales of another thread's part: the same bits, outcomes and determinants as one thread.
// (Passes over the rows are divided from order 512.)
TEST(Threads, ShiftedRowsAndRowsOfZerosAreFoundOnEveryThreadCount) {
    const std::uint32_t n = kSanitized ? 300 : 520;
    std::vector<double> v = Values(n, Fill::Uniform, 22);
    for (std::uint32_t i = 0; i < n; i += 7)
        for (std::uint32_t j = 0; j < n; ++j) v[std::size_t{i} * n + j] *= std::ldexp(1.0, i % 2 ? 400 : -420);
    std::vector<double> zero = v;
    for (std::uint32_t j = 0; j < n; ++j) zero[std::size_t{n - 3} * n + j] = j % 2 ? 0.0 : -0.0;
    for (const auto& values : {v, zero}) {
        NN a = Matrix(values, n, true);
        int plainSign = 0;
        const double plain[] = {quil::detail::DetNN2(Path::Plain, a.get()),
                                quil::detail::DetLog10(Path::Plain, a.get(), &plainSign)};
        const Inverse plainInverse = Invert(Path::Plain, a.get());
        for (unsigned count : rtest::ThreadCounts({1u, 2u, 3u, 7u})) {
            const Threads threads(count);
            for (Path path : FastPaths()) {
                const std::string where = Where(path, n, Fill::RowScaled, true) + " threads " +
                                          std::to_string(count);
                int sign = 0;
                const double fast[] = {quil::detail::DetNN2(path, a.get()),
                                       quil::detail::DetLog10(path, a.get(), &sign)};
                EXPECT_EQ(FirstDifference(plain, fast, 2), -1) << where;
                EXPECT_EQ(sign, plainSign) << where;
                ExpectSameInverse(plainInverse, Invert(path, a.get()), where);
            }
        }
    }
}

// Work storage comes back holding what the last call left there: calls of many orders, one
// after another on one thread, give what each gives on storage fresh from the heap.
TEST(WorkStorage, LeftoversOfEarlierCallsChangeNothing) {
    const std::uint32_t orders[] = {40, 3, 17, 1, 64, 2, 9};
    struct Results {
        std::vector<double> inverse, solution, square;
        double det, log;
        int sign;
        bool solved;
    };
    const auto run = [](std::uint32_t n, bool fresh) {
        if (fresh) ReleaseThreadStorage();
        NN a = Matrix(Values(n, Fill::Integers, 80 + n), n, n % 2 == 0);
        Results r;
        r.inverse = Invert(quil::detail::FastestPath(), a.get()).elems;
        rtest::V b(GetVector(nullptr, n, a->Base1)), x(GetVector(nullptr, n, a->Base1));
        for (std::uint32_t i = 0; i < n; ++i) b->Elem[Lo(a->Base1) + i] = 1.0 + i;
        r.solved = SolveMtrxNN(x.get(), a.get(), b.get());  // false where a pivot is 0.0
        for (std::uint32_t i = 0; i < n; ++i) r.solution.push_back(x->Elem[Lo(a->Base1) + i]);
        EXPECT_TRUE(MulMtrxNN(a.get(), a.get(), a.get()));
        r.square = Elems(a.get());
        r.det = DetNN2(a.get());
        r.log = DetLog10(a.get(), &r.sign);
        return r;
    };
    std::vector<Results> fresh;
    for (std::uint32_t n : orders) fresh.push_back(run(n, true));
    for (int round = 0; round < 2; ++round) {
        for (std::size_t k = 0; k < std::size(orders); ++k) {
            const Results again = run(orders[k], false);
            EXPECT_TRUE(SameBits(again.inverse, fresh[k].inverse)) << "order " << orders[k];
            EXPECT_EQ(again.solved, fresh[k].solved) << "order " << orders[k];
            EXPECT_TRUE(SameBits(again.solution, fresh[k].solution)) << "order " << orders[k];
            EXPECT_TRUE(SameBits(again.square, fresh[k].square)) << "order " << orders[k];
            EXPECT_TRUE(SameBits({again.det, again.log, double(again.sign)},
                                 {fresh[k].det, fresh[k].log, double(fresh[k].sign)}))
                << "order " << orders[k];
        }
    }
}

// A Keeper lends a block it holds when it is large enough, holds at most its limit, gives back
// at Release only what is not lent, and after a failed request still holds, in the slots it
// searches, every block it held but the one it gave up.
namespace keeperheap {
std::vector<void*> live;
bool failing = false;
void* Take(std::size_t bytes) {
    if (failing) return nullptr;
    live.push_back(std::malloc(bytes));
    return live.back();
}
void Give(void* p) {
    live.erase(std::find(live.begin(), live.end(), p));
    std::free(p);
}
}  // namespace keeperheap

TEST(WorkStorage, KeeperLendsWhatItHoldsWithinItsLimit) {
    using keeperheap::live;
    {
        quil::detail::Keeper k(keeperheap::Take, keeperheap::Give, 1000);
        void* a = k.Lend(100);
        void* b = k.Lend(200);
        k.Return(a);
        EXPECT_EQ(k.Lend(50), a);
        EXPECT_EQ(live.size(), 2u);
        k.Return(a);
        k.Return(b);
        void* big = k.Lend(900);  // 300 held + 900 is beyond the limit: had for this call
        EXPECT_EQ(live.size(), 3u);
        k.Return(big);
        EXPECT_EQ(live.size(), 2u);
        void* c = k.Lend(150);
        EXPECT_EQ(c, b);
        k.Release();
        EXPECT_EQ(live, std::vector<void*>{b});
        k.Return(c);

        std::vector<void*> held;
        for (int i = 0; i < 16; ++i) held.push_back(k.Lend(10));  // every slot, b's among them
        for (void* p : held) k.Return(p);
        EXPECT_EQ(live.size(), 16u);
        keeperheap::failing = true;
        EXPECT_EQ(k.Lend(300), nullptr);  // a held block given up for a request that fails
        keeperheap::failing = false;
        EXPECT_EQ(live.size(), 15u);
        std::vector<void*> again;
        for (int i = 0; i < 15; ++i) again.push_back(k.Lend(10));
        EXPECT_EQ(live.size(), 15u) << "a held block was not found again";
        for (void* p : again) k.Return(p);
    }
    EXPECT_TRUE(live.empty());
    {
        // The smallest free block that fits is lent, whatever the order the blocks came in; with
        // a stretch of 2 not one more than twice the size asked, and with every slot taken the
        // largest free block that does not fit makes room.
        quil::detail::Keeper k(keeperheap::Take, keeperheap::Give, 1000, 3, SIZE_MAX, 2);
        void* big = k.Lend(400);
        void* small = k.Lend(100);
        void* middle = k.Lend(200);
        k.Return(big);
        k.Return(small);
        k.Return(middle);
        EXPECT_EQ(k.Lend(150), middle);
        EXPECT_EQ(k.Lend(90), small);
        void* fresh = k.Lend(60);  // 400 is too large for it: it goes, and 60 takes its slot
        EXPECT_EQ(std::find(live.begin(), live.end(), big), live.end());
        EXPECT_EQ(k.Kept(), 360u);
        k.Return(fresh);
        k.Return(small);
        k.Return(middle);
    }
    EXPECT_TRUE(live.empty());
}

// The large blocks of a call go back to a pool the threads share, and a thread's own small ones
// to the heap when it ends: a new thread's first call asks the heap for nothing larger than its
// result, and leaves nothing behind when it ends. ReleaseThreadStorage gives the pool back.
TEST(WorkStorage, ANewThreadTakesTheBlocksOfThoseBefore) {
    QUIL_SKIP_WITHOUT_THREADS();
    const std::uint32_t n = 200;
    NN a = Matrix(Values(n, Fill::Uniform, 90), n, true);
    const auto invert = [&] {
        MtrxNN* ai = nullptr;
        EXPECT_TRUE(InvMtrxNN(&ai, a.get()));
        FreeMatrixNN(ai);
    };
    ReleaseThreadStorage();
    EXPECT_EQ(SharedBytesKept(), 0u);
    std::thread(invert).join();
    EXPECT_GE(SharedBytesKept(), MatrixBytes(n)) << "the work storage did not go to the pool";
    std::size_t largest = 0;
    long left = -1;
    std::thread([&] {
        allocsweep::Watch();
        invert();
        largest = allocsweep::Largest();
    }).join();
    left = allocsweep::Live();
    allocsweep::Disarm();
    EXPECT_LE(largest, (std::size_t{n} * n + 1u) * sizeof(double));
    EXPECT_EQ(left, 0) << "a thread's blocks outlived it";
    ReleaseThreadStorage();
    EXPECT_EQ(SharedBytesKept(), 0u);
}

// Callers on several threads at once, each with its own matrices: a caller that finds the
// threads busy does its work alone, and every result is still its own.
TEST(Threads, SeveralCallersAtOnceEachGetTheirOwnBits) {
    QUIL_SKIP_WITHOUT_THREADS();
    constexpr unsigned kCallers = 4;
    const std::uint32_t n = kSanitized ? 130 : 260;
    struct Work {
        NN a;
        std::vector<double> product, inverse;
        double det;
    };
    std::vector<Work> work;
    for (unsigned t = 0; t < kCallers; ++t) {
        NN a = Matrix(Values(n, Fill::Uniform, 30 + t), n, t % 2 == 1);
        NN p(GetMatrixNN(nullptr, n, a->Base1));
        quil::detail::MulMtrxNN(Path::Plain, p.get(), a.get(), a.get());
        Work w{std::move(a), Elems(p.get()), {}, 0.0};
        w.inverse = Invert(Path::Plain, w.a.get()).elems;
        w.det = quil::detail::DetNN2(Path::Plain, w.a.get());
        work.push_back(std::move(w));
    }
    std::vector<int> wrong(kCallers, 0);
    std::vector<std::thread> callers;
    for (unsigned t = 0; t < kCallers; ++t)
        callers.emplace_back([&, t] {
            const Work& w = work[t];
            for (int round = 0; round < 3; ++round) {
                NN p(GetMatrixNN(nullptr, n, w.a->Base1));
                EXPECT_TRUE(MulMtrxNN(p.get(), w.a.get(), w.a.get()));
                wrong[t] += !SameBits(Elems(p.get()), w.product);
                const double det = DetNN2(w.a.get());
                wrong[t] += std::memcmp(&det, &w.det, sizeof det) != 0;
                MtrxNN* ai = nullptr;
                EXPECT_TRUE(InvMtrxNN(&ai, w.a.get()));
                NN owner(ai);
                wrong[t] += ai == nullptr || !SameBits(Elems(ai), w.inverse);
            }
        });
    for (std::thread& c : callers) c.join();
    for (unsigned t = 0; t < kCallers; ++t) EXPECT_EQ(wrong[t], 0) << "caller " << t;
}

}  // namespace
