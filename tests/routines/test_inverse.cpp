// The inverse and the kernels under it: LU solve and re-solve, balancing, the balanced solve,
// their slot conventions and exhausted memory.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <utility>

#include "AllocSweep.h"
#include "ReportCapture.h"
#include "RoutineTestUtil.h"
#include "routines/Balance.h"
#include "routines/DetNN.h"
#include "routines/LU.h"
#include "routines/Paths.h"

using namespace quil::detail;  // the library's internals under test

namespace {

using rtest::Elems;
using rtest::Lo;
using rtest::MakeNN;
using rtest::MakeV;
using rtest::NN;
using rtest::SameBits;
using rtest::V;

using Pivots = Array1D<std::int32_t>;

// A regular matrix of order n whose rows differ in scale by powers of 10, so balancing has
// work to do.
NN Sample(std::uint32_t n, bool base1) {
    NN m(GetMatrixNN(nullptr, n, base1));
    for (std::uint32_t i = 0; i < n; ++i)
        for (std::uint32_t j = 0; j < n; ++j) {
            const double v = i == j ? 4.0 + i : std::sin(1.0 + 3.0 * i + 7.0 * j);
            m->Elem[Lo(base1) + i][Lo(base1) + j] = v * std::pow(10.0, double(i % 3) - double(j % 2) * 2);
        }
    return m;
}

double MaxDistanceFromIdentity(const MtrxNN* p) {
    double worst = 0.0;
    const std::uint32_t lo = Lo(p->Base1);
    for (std::uint32_t i = lo; i < lo + p->Size; ++i)
        for (std::uint32_t j = lo; j < lo + p->Size; ++j)
            worst = std::fmax(worst, std::fabs(p->Elem[i][j] - (i == j ? 1.0 : 0.0)));
    return worst;
}

TEST(InvMtrxNN, TimesTheMatrixIsTheIdentityInBothBases) {
    for (std::uint32_t n = 2; n <= 7; ++n) {
        for (bool base1 : {false, true}) {
            NN a = Sample(n, base1);
            const std::vector<double> before = Elems(a.get());
            MtrxNN* ai = nullptr;
            ASSERT_TRUE(InvMtrxNN(&ai, a.get())) << n;
            NN inv(ai);
            EXPECT_TRUE(SameBits(Elems(a.get()), before)) << "the input changed";
            NN prod(GetMatrixNN(nullptr, n, base1));
            ASSERT_TRUE(MulMtrxNN(prod.get(), a.get(), inv.get()));
            EXPECT_LT(MaxDistanceFromIdentity(prod.get()), 1e-12) << n << " base1 " << base1;
        }
    }
}

TEST(InvMtrxNN, WorkedExampleIsTheKnownInverse) {
    for (bool base1 : {false, true}) {
        NN d = MakeNN(base1, {{-1, 3, 2, 1}, {2, 1, -3, 2}, {-3, 4, 1, 1}, {3, 4, 2, -1}});
        const double times126[4][4] = {
            {19, 11, -29, 12}, {-24, 6, 30, 18}, {64, -16, -38, -6}, {89, 25, -43, -30}};
        MtrxNN* ai = GetMatrixNN(nullptr, 2, !base1);  // a held record is replaced
        ASSERT_TRUE(InvMtrxNN(&ai, d.get()));
        NN inv(ai);
        EXPECT_EQ(inv->Size, 4u);
        EXPECT_EQ(inv->Base1, base1);
        for (std::uint32_t i = 0; i < 4; ++i)
            for (std::uint32_t j = 0; j < 4; ++j)
                EXPECT_NEAR(inv->Elem[Lo(base1) + i][Lo(base1) + j], times126[i][j] / 126.0, 1e-15);
    }
}

TEST(InvMtrxNN, ZeroPivotGivesHugeElements) {
    NN a = MakeNN(false, {{1, 2}, {2, 4}});
    MtrxNN* ai = nullptr;
    ASSERT_TRUE(InvMtrxNN(&ai, a.get()));
    NN inv(ai);
    EXPECT_EQ(Elems(inv.get()), (std::vector<double>{-2e20, 1e20, 1e20, -5e19}));
}

TEST(InvMtrxNN, RefusalLeavesNoResult) {
    NN zeroRow = MakeNN(true, {{1, 2}, {0, 0}});
    NN one = MakeNN(true, {{4}});
    for (const MtrxNN* a : {zeroRow.get(), one.get()}) {
        MtrxNN* ai = GetMatrixNN(nullptr, 3, true);
        EXPECT_FALSE(InvMtrxNN(&ai, a));
        EXPECT_EQ(ai, nullptr);
    }
}

// InvMtrxNN(&a, a): a receives its inverse in its own record, with the bits of an inverse into
// another record, on both sides of the kernels' orders and of the small orders' code; a failure
// (order 1, a row of zeros) leaves a as it was. The internal solvers refuse a slot that holds an
// operand they would release before reading it.
TEST(InvMtrxNN, InPlaceGivesTheInverseOrLeavesTheMatrix) {
    for (bool base1 : {false, true}) {
        for (const auto& [n, zeroRow] : {std::pair{1u, false}, {2u, false}, {3u, true}, {20u, false}, {20u, true}}) {
            NN a = Sample(n, base1);
            for (std::uint32_t j = 0; zeroRow && j < n; ++j) a->Elem[Lo(base1) + 1][Lo(base1) + j] = 0.0;
            MtrxNN* expect = nullptr;
            const bool ok = InvMtrxNN(&expect, a.get());
            NN owner(expect);
            const std::vector<double> want = ok ? Elems(expect) : Elems(a.get());
            MtrxNN* same = a.get();
            EXPECT_EQ(InvMtrxNN(&same, a.get()), ok);
            EXPECT_EQ(same, a.get());
            EXPECT_TRUE(SameBits(Elems(a.get()), want)) << n;
        }
        NN a = MakeNN(base1, {{2, 1}, {1, 3}});
        V b = MakeV(base1, {3, 5});
        MtrxNN *f = a.get(), *dr = a.get(), *none = nullptr;
        Vect* x = b.get();
        Pivots p;
        EXPECT_FALSE(LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p));
        EXPECT_FALSE(LUReSolveMtrxNN(a.get(), b.get(), p, &x));
        EXPECT_FALSE(BalSolveMtrxNN(a.get(), b.get(), &x, &none, &p, &dr, &none));
        BalanceMtrxNN(&dr, &none, a.get());
        EXPECT_TRUE(x == b.get() && f == a.get() && dr == a.get() && p == nullptr && none == nullptr);
        EXPECT_EQ(Elems(a.get()), (std::vector<double>{2, 1, 1, 3}));
        EXPECT_EQ(Elems(b.get()), (std::vector<double>{3, 5}));
    }
}

TEST(InvMtrxNN, EachAllocationFailureGivesFalseAndLeaksNothing) {
    for (bool base1 : {false, true}) {
        NN a = Sample(3, base1);
        const std::vector<double> before = Elems(a.get());
        ReportCapture report;
        allocsweep::Guard guard;
        for (long n = 1;; ++n) {
            MtrxNN* ai = GetMatrixNN(nullptr, 3, base1);
            allocsweep::FailAt(n);
            const bool ok = InvMtrxNN(&ai, a.get());
            const bool failed = allocsweep::Failed();
            allocsweep::Disarm();
            NN inv(ai);
            if (!failed) {
                ASSERT_TRUE(ok);
                NN prod(GetMatrixNN(nullptr, 3, base1));
                EXPECT_TRUE(MulMtrxNN(prod.get(), a.get(), inv.get()));
                EXPECT_LT(MaxDistanceFromIdentity(prod.get()), 1e-12);
                break;
            }
            EXPECT_FALSE(ok) << n;
            EXPECT_EQ(ai, nullptr) << n;
            ASSERT_LT(n, 200);
        }
        EXPECT_TRUE(SameBits(Elems(a.get()), before));
    }
}

TEST(LUSolveMtrxNN, HandsFactorsOverOnlyWhenTheSlotHeldARecord) {
    NN a = MakeNN(true, {{2, 1}, {1, 3}});
    V b = MakeV(true, {3, 5});  // solution (0.8, 1.4)
    for (bool keep : {false, true}) {
        Vect* x = nullptr;
        MtrxNN* f = keep ? GetMatrixNN(nullptr, 1, false) : nullptr;
        Pivots p;
        ASSERT_TRUE(LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p));
        EXPECT_NEAR(x->Elem[1], 0.8, 1e-15);
        EXPECT_NEAR(x->Elem[2], 1.4, 1e-15);
        EXPECT_TRUE(p != nullptr);
        EXPECT_EQ(f != nullptr, keep);
        if (keep) {
            // The kept factors solve another right-hand side.
            V b2 = MakeV(true, {1, -2});  // solution (1, -1)
            ASSERT_TRUE(LUReSolveMtrxNN(f, b2.get(), p, &x));
            EXPECT_NEAR(x->Elem[1], 1.0, 1e-15);
            EXPECT_NEAR(x->Elem[2], -1.0, 1e-15);
            // A pivot slot that is not empty is refused, and the slots it filled are cleared;
            // the caller's pivot vector stays as it was.
            const Pivots held = p;
            p[1] = 7;
            p[2] = -3;
            EXPECT_FALSE(LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p));
            EXPECT_EQ(x, nullptr);
            EXPECT_EQ(f, nullptr);
            ASSERT_EQ(p.Block, held.Block);
            EXPECT_EQ(p[1] * 10 + p[2], 67);
        }
        FreeVector(x);
        FreeMatrixNN(f);
        FreeArray1D(ArrInt32, p, 1, 2);
    }
}

TEST(LUSolveMtrxNN, ReciprocalBelowThePivotDivisionInTheBackSubstitution) {
    // Solved exactly only when the column below each pivot is multiplied by the pivot's
    // reciprocal and the back substitution divides; either other form misses by an ulp.
    for (bool base1 : {false, true}) {
        NN a = MakeNN(base1, {{2, -5, 1}, {-3, 1, 1}, {-5, 5, -3}});
        V b = MakeV(base1, {-21, 7, 31});
        Vect* x = nullptr;
        MtrxNN* f = nullptr;
        Pivots p;
        ASSERT_TRUE(LUSolveMtrxNN(a.get(), b.get(), &x, &f, &p));
        EXPECT_EQ(Elems(x), (std::vector<double>{-2, 3, -2}));
        EXPECT_EQ(DetNN2(a.get()), 44.0);
        FreeVector(x);
        FreeArray1D(ArrInt32, p, Lo(base1), Lo(base1) + 2);
    }
}

TEST(LUBksbMtrxNN, RefusesAVectorOfAnotherShape) {
    NN f = MakeNN(false, {{2, 0}, {0, 2}});
    Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, 0, 1);
    p[0] = 0;
    p[1] = 1;
    V x1 = MakeV(true, {1, 2});
    V x3 = MakeV(false, {1, 2, 3});
    EXPECT_FALSE(LUBksbMtrxNN(f.get(), x1.get(), p));
    EXPECT_FALSE(LUBksbMtrxNN(f.get(), x3.get(), p));
    EXPECT_EQ(Elems(x1.get()), (std::vector<double>{1, 2}));
    V x = MakeV(false, {1, 2});
    EXPECT_TRUE(LUBksbMtrxNN(f.get(), x.get(), p));
    EXPECT_EQ(Elems(x.get()), (std::vector<double>{0.5, 1}));
    FreeArray1D(ArrInt32, p, 0, 1);
}

TEST(BalanceMtrxNN, ScalesByPowersOfTwoSoThatDrADcIsS) {
    for (bool base1 : {false, true}) {
        NN a = MakeNN(base1, {{1, 1e6, 0}, {1e-6, 1, 1e3}, {3, 1e-3, 2}});
        NN s = MakeNN(base1, {{1, 1e6, 0}, {1e-6, 1, 1e3}, {3, 1e-3, 2}});
        MtrxNN* dr = GetMatrixNN(nullptr, 5, true);  // held records are released
        MtrxNN* dc = nullptr;
        BalanceMtrxNN(&dr, &dc, s.get());
        ASSERT_TRUE(dr && dc);
        NN drn(dr), dcn(dc);
        const std::uint32_t lo = Lo(base1);
        bool changed = false;
        for (std::uint32_t i = lo; i < lo + 3; ++i) {
            int e = 0;
            EXPECT_EQ(std::frexp(dr->Elem[i][i], &e), 0.5) << "not a power of 2";
            EXPECT_EQ(dr->Elem[i][i] * dc->Elem[i][i], 1.0);
            changed = changed || dr->Elem[i][i] != 1.0;
            for (std::uint32_t j = lo; j < lo + 3; ++j) {
                if (i != j) {
                    EXPECT_EQ(dr->Elem[i][j], 0.0);
                }
                // Powers of 2 change no significant bit, so the check is exact.
                EXPECT_EQ(s->Elem[i][j], dr->Elem[i][i] * a->Elem[i][j] * dc->Elem[j][j]);
            }
        }
        EXPECT_TRUE(changed);
    }
}

TEST(BalanceMtrxNN, ExactFactorsAroundTheThresholdAndAtPowersOfFour) {
    // Worked by hand. (1 1 / 0.4 1): row 0 has c = 0.4 < r / 2, so f = 2 and c = 1.6; then
    // (1.6 + 1) / 2 = 1.3 < 0.95 x 1.4 scales it. (1 1 / 0.45 1): 1.4 against 0.95 x 1.45, no
    // change. (1 8 / 1 1) and (1 1 / 8 1): c reaches r / 2 or 2 r exactly and stops there.
    // Each case: the matrix row by row, then Dr's first element.
    const double cases[][5] = {{1, 1, 0.4, 1, 0.5}, {1, 1, 0.45, 1, 1}, {1, 8, 1, 1, 0.5}, {1, 1, 8, 1, 2}};
    for (quil::detail::Path path : {quil::detail::Path::Plain, quil::detail::FastestPath()}) {
        for (bool base1 : {false, true}) {
            for (const auto& c : cases) {
                NN s = MakeNN(base1, {{c[0], c[1]}, {c[2], c[3]}});
                MtrxNN* dr = nullptr;
                MtrxNN* dc = nullptr;
                quil::detail::BalanceMtrxNN(path, &dr, &dc, s.get());
                NN drn(dr), dcn(dc);
                ASSERT_TRUE(dr && dc);
                EXPECT_EQ(Elems(dr), (std::vector<double>{c[4], 0, 0, 1})) << c[2];
                EXPECT_EQ(Elems(dc), (std::vector<double>{1 / c[4], 0, 0, 1})) << c[2];
            }
        }
    }
}

TEST(BalanceMtrxNN, ExhaustedMemoryLeavesBothSlotsNull) {
    ReportCapture report;
    allocsweep::Guard guard;
    for (long n = 1;; ++n) {
        NN s = MakeNN(true, {{1, 1e6}, {1e-6, 1}});
        MtrxNN* dr = nullptr;
        MtrxNN* dc = nullptr;
        allocsweep::FailAt(n);
        BalanceMtrxNN(&dr, &dc, s.get());
        const bool failed = allocsweep::Failed();
        allocsweep::Disarm();
        NN drn(dr), dcn(dc);
        if (!failed) {
            EXPECT_TRUE(dr && dc);
            break;
        }
        EXPECT_EQ(dr, nullptr) << n;
        EXPECT_EQ(dc, nullptr) << n;
        ASSERT_LT(n, 100);
    }
}

TEST(BalSolveMtrxNN, RefusesOrderOneAndMismatchedRightHandSide) {
    NN one = MakeNN(false, {{2}});
    NN two = MakeNN(false, {{2, 1}, {1, 3}});
    V b1 = MakeV(false, {1});
    V b2base1 = MakeV(true, {1, 2});
    Vect* x = GetVector(nullptr, 2, false);
    MtrxNN* f = nullptr;
    Pivots p;
    MtrxNN* dr = GetMatrixNN(nullptr, 2, false);
    MtrxNN* dc = nullptr;
    EXPECT_FALSE(BalSolveMtrxNN(one.get(), b1.get(), &x, &f, &p, &dr, &dc));
    EXPECT_FALSE(BalSolveMtrxNN(two.get(), b2base1.get(), &x, &f, &p, &dr, &dc));
    EXPECT_NE(x, nullptr);  // refusals touch no slot
    EXPECT_NE(dr, nullptr);
    FreeVector(x);
    FreeMatrixNN(dr);
}

TEST(BalSolveMtrxNN, EachAllocationFailureClearsEverySlot) {
    NN a = MakeNN(true, {{1, 1e6, 0}, {1e-6, 1, 1e3}, {3, 1e-3, 2}});
    V b = MakeV(true, {1, 2, 3});
    ReportCapture report;
    allocsweep::Guard guard;
    for (long n = 1;; ++n) {
        Vect* x = GetVector(nullptr, 3, true);
        MtrxNN* f = GetMatrixNN(nullptr, 3, true);
        Pivots p = GetArray1D<std::int32_t>(ArrInt32, nullptr, 1, 3);  // released before use
        MtrxNN* dr = nullptr;
        MtrxNN* dc = nullptr;
        allocsweep::FailAt(n);
        const bool ok = BalSolveMtrxNN(a.get(), b.get(), &x, &f, &p, &dr, &dc);
        const bool failed = allocsweep::Failed();
        allocsweep::Disarm();
        if (!failed) {
            ASSERT_TRUE(ok);
            // a x = b
            for (std::uint32_t i = 1; i <= 3; ++i) {
                double sum = 0.0;
                for (std::uint32_t j = 1; j <= 3; ++j) sum += a->Elem[i][j] * x->Elem[j];
                EXPECT_NEAR(sum, b->Elem[i], 1e-9);
            }
        } else {
            EXPECT_FALSE(ok) << n;
            EXPECT_TRUE(x == nullptr && f == nullptr && p == nullptr && dr == nullptr &&
                        dc == nullptr)
                << n;
        }
        FreeVector(x);
        FreeMatrixNN(f);
        FreeArray1D(ArrInt32, p, 1, 3);
        FreeMatrixNN(dr);
        FreeMatrixNN(dc);
        if (!failed) break;
        ASSERT_LT(n, 100);
    }
}

// Bit for bit the inverse's first column, at orders on both sides of the kernels' blocking;
// solved in place, the same bits again.
TEST(SolveMtrxNN, FirstUnitVectorGivesTheInversesFirstColumnBits) {
    for (std::uint32_t n : {2u, 5u, 80u}) {
        for (bool base1 : {false, true}) {
            const std::uint32_t lo = Lo(base1);
            NN a = Sample(n, base1);
            MtrxNN* ai = nullptr;
            ASSERT_TRUE(InvMtrxNN(&ai, a.get()));
            NN inv(ai);
            V x(GetVector(nullptr, n, base1)), e(GetVector(nullptr, n, base1));
            e->Elem[lo] = 1.0;
            ASSERT_TRUE(SolveMtrxNN(x.get(), a.get(), e.get()));
            std::vector<double> column;
            for (std::uint32_t i = lo; i < lo + n; ++i) column.push_back(inv->Elem[i][lo]);
            EXPECT_TRUE(SameBits(Elems(x.get()), column)) << n << " base1 " << base1;
            ASSERT_TRUE(SolveMtrxNN(e.get(), a.get(), e.get()));
            EXPECT_TRUE(SameBits(Elems(e.get()), column));
        }
    }
}

// Any x or b of another size or suffix base is refused, and so is a row of zeros, with x as it
// was. Order 1, which the inverse refuses, gives the quotient.
TEST(SolveMtrxNN, RefusesMismatchesAndSolvesOrderOne) {
    for (bool base1 : {false, true}) {
        NN a = MakeNN(base1, {{2, 1}, {1, 3}}), zeroRow = MakeNN(base1, {{2, 1}, {0, 0}});
        V x = MakeV(base1, {7, 7}), b = MakeV(base1, {3, 5});
        V three = MakeV(base1, {3, 5, 1}), other = MakeV(!base1, {3, 5});
        EXPECT_FALSE(SolveMtrxNN(x.get(), a.get(), three.get()));
        EXPECT_FALSE(SolveMtrxNN(x.get(), a.get(), other.get()));
        EXPECT_FALSE(SolveMtrxNN(three.get(), a.get(), b.get()));
        EXPECT_FALSE(SolveMtrxNN(other.get(), a.get(), b.get()));
        EXPECT_FALSE(SolveMtrxNN(x.get(), zeroRow.get(), b.get()));
        EXPECT_EQ(Elems(x.get()), (std::vector<double>{7, 7}));
        EXPECT_EQ(Elems(three.get()), (std::vector<double>{3, 5, 1}));
        ASSERT_TRUE(SolveMtrxNN(x.get(), a.get(), b.get()));
        EXPECT_NEAR(x->Elem[Lo(base1)], 0.8, 1e-15);
        EXPECT_NEAR(x->Elem[Lo(base1) + 1], 1.4, 1e-15);
        NN one = MakeNN(base1, {{3}});
        V q = MakeV(base1, {1});
        EXPECT_FALSE(SolveMtrxNN(q.get(), one.get(), b.get()));  // order 1, b of order 2
        EXPECT_FALSE(SolveMtrxNN(b.get(), one.get(), q.get()));
        EXPECT_EQ(Elems(b.get()), (std::vector<double>{3, 5}));
        ASSERT_TRUE(SolveMtrxNN(q.get(), one.get(), q.get()));
        EXPECT_EQ(q->Elem[Lo(base1)], 1.0 / 3.0);
    }
}

// An exactly singular matrix is refused, x as it was, where the inverse still gives its huge
// elements; a NaN, in a row of zeros or alone at order 1, comes out as NaN.
TEST(SolveMtrxNN, RefusesAnExactlySingularMatrixAndKeepsNaN) {
    const double nan = std::nan("");
    for (bool base1 : {false, true}) {
        const std::uint32_t lo = Lo(base1);
        NN singular = MakeNN(base1, {{1, 2}, {2, 4}}), zero = MakeNN(base1, {{0}});
        V x = MakeV(base1, {7, 7}), b = MakeV(base1, {1, 1}), one = MakeV(base1, {1});
        EXPECT_FALSE(SolveMtrxNN(x.get(), singular.get(), b.get()));
        EXPECT_EQ(Elems(x.get()), (std::vector<double>{7, 7}));
        EXPECT_FALSE(SolveMtrxNN(one.get(), zero.get(), one.get()));
        MtrxNN* ai = nullptr;
        EXPECT_TRUE(InvMtrxNN(&ai, singular.get()));
        FreeMatrixNN(ai);

        NN nanRow = MakeNN(base1, {{0, nan, 0}, {1, 2, 3}, {4, 5, 7}});
        V y = MakeV(base1, {1, 2, 3}), c = MakeV(base1, {1, 2, 3});
        ASSERT_TRUE(SolveMtrxNN(y.get(), nanRow.get(), c.get()));
        for (double v : Elems(y.get())) EXPECT_TRUE(std::isnan(v));
        ai = nullptr;
        ASSERT_TRUE(InvMtrxNN(&ai, nanRow.get()));
        NN inv(ai);
        for (double v : Elems(inv.get())) EXPECT_TRUE(std::isnan(v));
        NN nanOne = MakeNN(base1, {{nan}});
        ASSERT_TRUE(SolveMtrxNN(one.get(), nanOne.get(), one.get()));
        EXPECT_TRUE(std::isnan(one->Elem[lo]));
    }
}

// At the edges of the range: a multiplier that would overflow, a factor that would, rows whose
// largest entry is subnormal, balancing scales that would take the right-hand side or the
// solution out of the range on the way, and solutions or inverses beyond it. Each also beside
// the identity at an order whose further columns the kernels solve.
TEST(SolveMtrxNN, RightAtTheEdgesOfTheRange) {
    const double inf = std::numeric_limits<double>::infinity();
    const double third = 1.0 / 3.0;
    struct Case {
        std::vector<std::vector<double>> a;
        std::vector<double> x;        // the solution sought
        std::vector<double> b;        // the right-hand side, a x when not given
        std::vector<double> inverse;  // row by row; empty where it is not checked
    };
    const Case cases[] = {
        {{{9e-167, 0}, {-1e167, 3e167}}, {1, 1}, {}, {1e167 / 9, 0, 1e167 / 27, 1e-167 / 3}},
        {{{1, 1.5e308, 0}, {1, -1.5e308, 0}, {0, 0, 1e-10}}, {1e308, 0.5, 1}, {},
         {0.5, 0.5, 0, third * 1e-308, -third * 1e-308, 0, 0, 0, 1e10}},
        {{{DBL_MIN / 4, 0}, {0, 8}}, {1, 1}, {}, {}},
        {{{1e-310, 1e-310}, {1, 2}}, {1, 1}, {}, {}},
        {{{1e200, 1e200}, {1e-200, 2e-200}}, {1, 1}, {}, {2e-200, -1e200, -1e-200, 1e200}},
        {{{2e-300, 1e-300}, {1e300, 1e300}}, {1e300, -1e300}, {1, 0}, {1e300, -1e-300, -1e300, 2e-300}},
        {{{1, 0x1p1023}, {0x1p-1074, 1}}, {-0x1p1023, 1}, {1, 1}, {1, -0x1p1023, -0x1p-1074, 1}},
        {{{1e-310, 0}, {0, 1e-310}}, {inf, inf}, {1, 1}, {inf, 0, 0, inf}},
    };
    const auto expectNear = [](double got, double want, const std::string& where) {
        if (std::isinf(want) || want == 0.0)
            EXPECT_EQ(got, want) << where;
        else
            EXPECT_NEAR(got, want, 1e-12 * std::fabs(want)) << where;
    };
    for (const Case& c : cases) {
        const std::size_t m = c.a.size();
        for (std::size_t n : {m, m + 8}) {
            for (bool base1 : {false, true}) {
                const std::uint32_t lo = Lo(base1);
                // c.a in the top left corner, the identity beside it.
                NN a(GetMatrixNN(nullptr, static_cast<std::uint32_t>(n), base1));
                V b(GetVector(nullptr, static_cast<std::uint32_t>(n), base1)),
                    x(GetVector(nullptr, static_cast<std::uint32_t>(n), base1));
                for (std::size_t i = 0; i < n; ++i) {
                    b->Elem[lo + i] = 1.0;
                    for (std::size_t j = 0; j < n; ++j)
                        a->Elem[lo + i][lo + j] = i < m && j < m ? c.a[i][j] : i == j ? 1.0 : 0.0;
                }
                for (std::size_t i = 0; i < m; ++i) {
                    double sum = 0.0;
                    for (std::size_t j = 0; j < m; ++j) sum = sum + c.a[i][j] * c.x[j];
                    b->Elem[lo + i] = c.b.empty() ? sum : c.b[i];
                }
                const std::string where = std::to_string(c.a[0][0]) + " order " + std::to_string(n) +
                                          (base1 ? " base 1" : " base 0");
                ASSERT_TRUE(SolveMtrxNN(x.get(), a.get(), b.get())) << where;
                for (std::size_t k = 0; k < n; ++k)
                    expectNear(x->Elem[lo + k], k < m ? c.x[k] : 1.0, where + " x" + std::to_string(k));
                if (c.inverse.empty()) continue;
                MtrxNN* ai = nullptr;
                ASSERT_TRUE(InvMtrxNN(&ai, a.get())) << where;
                NN inv(ai);
                for (std::size_t i = 0; i < n; ++i)
                    for (std::size_t j = 0; j < n; ++j)
                        expectNear(inv->Elem[lo + i][lo + j],
                                   i < m && j < m ? c.inverse[i * m + j] : i == j ? 1.0 : 0.0,
                                   where + " inverse " + std::to_string(i) + "," + std::to_string(j));
            }
        }
    }
}

// k a, element by element.
NN Scaled(const MtrxNN* a, double k) {
    NN m(GetMatrixNN(nullptr, a->Size, a->Base1));
    for (std::uint32_t i = Lo(a->Base1); i < Lo(a->Base1) + a->Size; ++i)
        for (std::uint32_t j = Lo(a->Base1); j < Lo(a->Base1) + a->Size; ++j)
            m->Elem[i][j] = a->Elem[i][j] * k;
    return m;
}

// The estimate against the true reciprocal condition, 1 / (|A|_1 |A^-1|_1), from rational
// arithmetic on the matrices as stored: never below it, never 3 times above.
TEST(RCondMtrxNN, BetweenTheTrueValueAndThreeTimesIt) {
    for (bool base1 : {false, true}) {
        const std::uint32_t lo = Lo(base1);
        NN hilbert8(GetMatrixNN(nullptr, 8, base1)), pascal12(GetMatrixNN(nullptr, 12, base1));
        for (std::uint32_t i = 0; i < 8; ++i)
            for (std::uint32_t j = 0; j < 8; ++j)
                hilbert8->Elem[lo + i][lo + j] = 1.0 / (i + j + 1);
        for (std::uint32_t i = 0; i < 12; ++i)
            for (std::uint32_t j = 0; j < 12; ++j)
                pascal12->Elem[lo + i][lo + j] =
                    i == 0 || j == 0
                        ? 1.0
                        : pascal12->Elem[lo + i - 1][lo + j] + pascal12->Elem[lo + i][lo + j - 1];
        const std::pair<const MtrxNN*, double> cases[] = {
            {hilbert8.get(), 2.9522220355739169e-11}, {pascal12.get(), 5.7503973099379796e-13}};
        for (const auto& [a, truth] : cases) {
            const double r = RCondMtrxNN(a);
            EXPECT_GE(r, truth) << a->Size;
            EXPECT_LE(r, 3 * truth) << a->Size;
        }
        NN identity = rtest::Identity(5, base1), scaled = rtest::Identity(3, base1, -0.25);
        EXPECT_EQ(RCondMtrxNN(identity.get()), 1.0);
        EXPECT_EQ(RCondMtrxNN(scaled.get()), 1.0);
        // The condition of a matrix is that of every multiple of it: one far from 1, whose
        // inverse's norm or reciprocal norm leaves the range, is estimated as one near 1, with
        // the same bits for a power of 2. (2 1 / 1 3): 1 / (4 x 4/5) = 0.3125.
        for (double k : {1e-310, 1e-300, 1e300, 0x1p-1070, 0x1p-600, 0x1p600, 0x1p1000}) {
            NN tiny = rtest::Identity(4, base1, k), two = MakeNN(base1, {{2 * k, k}, {k, 3 * k}});
            EXPECT_NEAR(RCondMtrxNN(tiny.get()), 1.0, 2 * DBL_EPSILON) << k;
            const double r = RCondMtrxNN(two.get());
            EXPECT_GE(r, 0.3125 * (1 - 1e-15)) << k;
            EXPECT_LE(r, 3 * 0.3125) << k;
            int e = 0;
            if (std::frexp(k, &e) == 0.5) {
                EXPECT_EQ(RCondMtrxNN(tiny.get()), 1.0) << k;
                EXPECT_EQ(r, RCondMtrxNN(MakeNN(base1, {{2, 1}, {1, 3}}).get())) << k;
            }
            if (std::frexp(k, &e) == 0.5 && k >= 0x1p-600) {
                EXPECT_EQ(RCondMtrxNN(Scaled(hilbert8.get(), k).get()), RCondMtrxNN(hilbert8.get()))
                    << k;
            }
        }
        NN one = MakeNN(base1, {{-7}});
        EXPECT_EQ(RCondMtrxNN(one.get()), 1.0);
    }
}

TEST(RCondMtrxNN, ZeroForExactlySingularNaNForNaN) {
    const double nan = std::nan("");
    for (bool base1 : {false, true}) {
        const NN singular[] = {MakeNN(base1, {{1, 2}, {2, 4}}), MakeNN(base1, {{1, 2}, {0, 0}}),
                               MakeNN(base1, {{0}}), MakeNN(base1, {{0, 0}, {0, 0}})};
        for (const NN& a : singular) EXPECT_EQ(RCondMtrxNN(a.get()), 0.0);
        const NN nans[] = {MakeNN(base1, {{0, nan, 0}, {1, 2, 3}, {4, 5, 7}}), MakeNN(base1, {{nan}})};
        for (const NN& a : nans) EXPECT_TRUE(std::isnan(RCondMtrxNN(a.get())));
    }
}

// The same bits on every path and thread count, at orders on both sides of the kernels'.
TEST(RCondMtrxNN, SameBitsOnEveryPathAndThreadCount) {
    for (std::uint32_t n : {6u, 40u, 130u}) {
        NN a = Sample(n, n % 2 == 0);
        const double plain = RCondMtrxNN(Path::Plain, a.get());
        EXPECT_GT(plain, 0.0);
        for (Path path : rtest::FastPaths()) {
            for (unsigned threads : rtest::ThreadCounts({1u, 2u, 3u})) {
                rtest::Threads count(threads);
                const double fast = RCondMtrxNN(path, a.get());
                EXPECT_TRUE(SameBits({plain}, {fast})) << n << " " << threads;
            }
        }
    }
}

TEST(RCondMtrxNN, ExhaustedMemoryGivesMinusOneAndLeaksNothing) {
    NN a = Sample(5, true);
    const double whole = RCondMtrxNN(a.get());
    ReportCapture report;
    allocsweep::Guard guard;
    for (long n = 1;; ++n) {
        allocsweep::FailAt(n);
        const double r = RCondMtrxNN(a.get());
        const bool failed = allocsweep::Failed();
        allocsweep::Disarm();
        EXPECT_EQ(allocsweep::Live(), 0) << n;
        if (!failed) {
            EXPECT_EQ(r, whole);
            break;
        }
        EXPECT_EQ(r, -1.0) << n;
        ASSERT_LT(n, 200);
    }
}

// Threads working on records of their own share nothing: each gets the bits that one thread
// alone gets, in both bases and on the fast kernels' orders.
TEST(Threads, RoutinesOnRecordsOfTheirOwnGiveTheSingleThreadBits) {
    QUIL_SKIP_WITHOUT_THREADS();
    constexpr int threads = 4;
    auto run = [](int t, std::vector<double>* out) {
        NN a = Sample(96 + 8 * t, t % 2 == 1), ai;
        MtrxNN* inverse = nullptr;
        if (!InvMtrxNN(&inverse, a.get())) return;
        ai.reset(inverse);
        *out = Elems(ai.get());
        out->push_back(DetNN2(a.get()));
    };
    std::vector<double> alone[threads], together[threads];
    for (int t = 0; t < threads; ++t) run(t, &alone[t]);
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) pool.emplace_back(run, t, &together[t]);
    for (auto& thread : pool) thread.join();
    for (int t = 0; t < threads; ++t) {
        ASSERT_FALSE(alone[t].empty());
        EXPECT_TRUE(SameBits(alone[t], together[t])) << "thread " << t;
    }
}

}  // namespace
