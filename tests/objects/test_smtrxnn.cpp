// SMtrxNN: transpose, operators, determinant, singularity and inverse.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <utility>

#include "AllocSweep.h"
#include "FailingNew.h"
#include "ObjectTestUtil.h"
#include "ReportCapture.h"

namespace {

SMtrxNN Make(unsigned n, bool base1, const V& rowMajor) { return Set(SMtrxNN(n, base1), rowMajor); }

const V kRegular = {-1, 3, 2, 1, 2, 1, -3, 2, -3, 4, 1, 1, 3, 4, 2, -1};

TEST(SMtrxNN, OrderAndSuffixBase) {
    SMtrxNN a(4), b(4, true), one(1);
    EXPECT_TRUE(!a.GetBase1() && b.GetBase1() && b.GetCols() == 4);
    EXPECT_EQ(Thrown(&SMtrx::AllocErr::Count, [] { SMtrxNN m(1, true); }), 1);
}

TEST(SMtrxNN, TransposeAndArithmetic) {
    for (bool base1 : {false, true}) {
        SMtrxNN a = Make(2, base1, {1, 2, 3, 4}), b = Make(2, base1, {0.5, -1, 0, 2});
        EXPECT_EQ(Elems(a.Tran()), V({1, 3, 2, 4}));
        EXPECT_EQ(Elems(a + b), V({1.5, 1, 3, 6}));
        EXPECT_EQ(Elems(a - b), V({0.5, 3, 3, 2}));
        EXPECT_EQ(Elems(a - a), V(4, 0.0));
        EXPECT_EQ(Elems(2.0 * a), Elems(a * 2.0));
        EXPECT_EQ(Elems(+b), Elems(b));
        EXPECT_EQ(Elems(-b), V({-0.5, 1, 0, -2}));
        EXPECT_TRUE(std::signbit((-b).GetValue(base1 + 1, base1)));
        EXPECT_EQ(Elems(a * b), V({0.5, 3, 1.5, 5}));
        EXPECT_EQ((a * b).GetBase1(), base1);
        EXPECT_EQ(Elems(a), V({1, 2, 3, 4}));  // operands untouched
    }
}

TEST(SMtrxNN, MismatchedOperands) {
    SMtrxNN three(3), four(4), fourBase1(4, true), threeBase1(3, true);
    const auto kind = &SMtrx::OpeErr::Kind;
    EXPECT_EQ(Thrown(kind, [&] { (void)(three + four); }), 0);
    EXPECT_EQ(Thrown(kind, [&] { (void)(threeBase1 - four); }), 0);  // the size test comes first
    EXPECT_EQ(Thrown(kind, [&] { (void)(four - fourBase1); }), 1);
    EXPECT_STREQ(SMtrx::OpeErr(2).Msg[0],
                 "The size of SMtrx objects is different\r\nbetween the operator.");
    EXPECT_STREQ(SMtrx::OpeErr(3).Msg[SMtrx::OpeErr(3).Kind],
                 "The suffix base of SMtrx objects is different\r\nbetween the operator.");
    // An incompatible product throws nothing and gives zeros of the left operand's order.
    four.SetValues(1.0);
    SMtrxNN p = four * fourBase1;
    EXPECT_FALSE(p.GetBase1());
    EXPECT_EQ(Elems(p), V(16, 0.0));
}

TEST(SMtrxNN, ProductOfDifferentOrdersIsIncompatible) {
    SMtrxNN three = Make(3, false, V(9, 1.0)), four = Make(4, false, V(16, 1.0));
    EXPECT_EQ(Elems(three * four), V(9, 0.0));
    EXPECT_EQ(Elems(four * three), V(16, 0.0));
}

// SMtrx's assignment can reshape an SMtrxNN; nothing may then reach past its storage.
TEST(SMtrxNN, MadeNonSquareThroughTheBaseClass) {
    const auto kind = &SMtrx::OpeErr::Kind;
    for (bool base1 : {false, true}) {
        SMtrxNN wide(2, base1), tall(2, base1), two = Make(2, base1, {1, 2, 3, 4});
        static_cast<SMtrx&>(wide) = Set(SMtrx(2, 3, base1), {1, 2, 3, 4, 5, 6});
        static_cast<SMtrx&>(tall) = Set(SMtrx(3, 2, base1), {1, 2, 3, 4, 5, 6});
        for (const SMtrxNN* m : {&wide, &tall}) {
            EXPECT_EQ(Thrown(kind, [&] { (void)(m->Det()); }), 0);
            EXPECT_EQ(Thrown(kind, [&] { (void)(m->IsSingular()); }), 0);
            EXPECT_EQ(Thrown(kind, [&] { (void)(m->Inv()); }), 0);
            EXPECT_EQ(Thrown(kind, [&] { (void)(m->Solve(SVect(2, base1))); }), 0);
        }
        const SMtrxNN t = wide.Tran(), neg = -wide;
        EXPECT_EQ(t.GetRows() * 10 + t.GetCols(), 32u);
        EXPECT_EQ(Elems(t), V({1, 4, 2, 5, 3, 6}));
        EXPECT_EQ(Elems(neg), V({-1, -2, -3, -4, -5, -6}));
        EXPECT_EQ(Elems(wide * tall), V({22, 28, 49, 64}));
        EXPECT_EQ(Elems(tall * wide), V({9, 12, 15, 19, 26, 33, 29, 40, 51}));
        // Products that are not square, or do not exist, give zeros of the left's rows.
        EXPECT_EQ(Elems(tall * two), V(9, 0.0));
        EXPECT_EQ(Elems(two * wide), V(4, 0.0));
        EXPECT_EQ(Elems(wide * wide), V(4, 0.0));
    }
}

TEST(SMtrxNN, DeterminantSingularityAndInverse) {
    for (bool base1 : {false, true}) {
        SMtrxNN a = Make(4, base1, kRegular);
        EXPECT_NEAR(a.Det(), -126.0, 1e-12);
        EXPECT_FALSE(a.IsSingular());
        V id = Elems(a * a.Inv());
        for (unsigned k = 0; k < 16; ++k) EXPECT_NEAR(id[k], k % 5 == 0 ? 1.0 : 0.0, 1e-12) << k;
        EXPECT_EQ(Elems(a), kRegular);
        // An exactly zero pivot counts as 1e-20, so this singular matrix is not singular here.
        SMtrxNN nearly = Make(2, base1, {1, 2, 2, 4});
        EXPECT_EQ(nearly.Det(), -2e-20);
        EXPECT_FALSE(nearly.IsSingular());
        SMtrxNN zeroRow = Make(2, base1, {1, 2, 0, 0});
        EXPECT_EQ(zeroRow.Det(), 0.0);
        EXPECT_TRUE(zeroRow.IsSingular());
        EXPECT_EQ(Elems(zeroRow.Inv()), V(4, 0.0));
    }
    EXPECT_EQ(Elems(Make(1, false, {5}).Inv()), V({0.0}));
}

TEST(SMtrxNN, SolveIsTheInversesFirstColumnAndRefusesMismatches) {
    const auto kind = &SMtrx::OpeErr::Kind;
    for (bool base1 : {false, true}) {
        const SMtrxNN a = Make(4, base1, kRegular), inv = a.Inv();
        SVect e(4, base1);
        e[base1] = 1.0;
        const SVect x = a.Solve(e);
        V column;
        for (unsigned i = base1; i < base1 + 4u; ++i) column.push_back(inv.GetValue(i, base1));
        EXPECT_EQ(Elems(x), column);
        EXPECT_EQ(x.GetBase1(), base1);
        EXPECT_EQ(Thrown(kind, [&] { (void)(a.Solve(SVect(3, base1))); }), 0);
        EXPECT_EQ(Thrown(kind, [&] { (void)(a.Solve(SVect(4, !base1))); }), 1);
        // An exactly singular matrix: a row of zeros, or an exactly zero pivot.
        for (const V& singular : {V{1, 2, 0, 0}, V{1, 2, 2, 4}}) {
            const SMtrxNN s = Make(2, base1, singular);
            EXPECT_EQ(Thrown(kind, [&] { (void)s.Solve(SVect(2, base1)); }), 0);
            try {
                (void)s.Solve(SVect(2, base1));
            } catch (const SMtrx::OpeErr& e) {
                EXPECT_STREQ(e.what(), "SMtrx::OpeErr in SMtrxNN::Solve: the matrix is singular");
            }
        }
    }
    // No SVect has one element, so order 1 meets a size mismatch.
    EXPECT_EQ(Thrown(kind, [] { (void)(Make(1, false, {5}).Solve(SVect(2))); }), 0);
}

// NaN in, NaN out: a row of zeros and NaN is no row of zeros.
TEST(SMtrxNN, NaNIsNeverTakenForARowOfZeros) {
    const double nan = std::nan("");
    for (bool base1 : {false, true}) {
        const SMtrxNN a = Make(3, base1, {0, nan, 0, 1, 2, 3, 4, 5, 7});
        EXPECT_TRUE(std::isnan(a.Det()));
        EXPECT_FALSE(a.IsSingular());
        for (double x : Elems(a.Inv())) EXPECT_TRUE(std::isnan(x));
        SVect b(3, base1);
        b.SetValue(base1, 1.0);
        for (double x : Elems(a.Solve(b))) EXPECT_TRUE(std::isnan(x));
        EXPECT_TRUE(std::isnan(a.RCond()));
    }
}

// The edges of the range, as the routines meet them (routines/test_det.cpp, test_inverse.cpp).
TEST(SMtrxNN, RightAtTheEdgesOfTheRange) {
    for (bool base1 : {false, true}) {
        const SMtrxNN wide = Make(4, base1, {4e165, 1e165, 2e165, 1e165, 1e165, 5e165, 1e165, 2e165,
                                             2e-165, 1e-165, 6e-165, 1e-165, 1e-165, 2e-165, 1e-165,
                                             7e-165});
        EXPECT_NEAR(wide.Det(), 572.0, 572e-12);
        const SMtrxNN a = Make(2, base1, {9e-167, 0, -1e167, 3e167});
        EXPECT_NEAR(a.Det(), 27.0, 27e-12);
        const V inverse = Elems(a.Inv()), want = {1e167 / 9, 0, 1e167 / 27, 1e-167 / 3};
        for (unsigned k = 0; k < 4; ++k) EXPECT_NEAR(inverse[k], want[k], 1e-12 * want[k]) << k;
        const SMtrxNN tiny = Make(2, base1, {1e-310, 1e-310, 1, 2});
        EXPECT_NEAR(tiny.Det(), 1e-310, 1e-322);
        SVect b(2, base1);
        b.SetValue(base1, 2e-310);
        b.SetValue(base1 + 1u, 3.0);
        for (double x : Elems(tiny.Solve(b))) EXPECT_NEAR(x, 1.0, 1e-12);
    }
}

TEST(SMtrxNN, RCondFromTheSolvesDecomposition) {
    for (bool base1 : {false, true}) {
        EXPECT_EQ(Make(3, base1, {1, 0, 0, 0, 1, 0, 0, 0, 1}).RCond(), 1.0);
        EXPECT_EQ(Make(2, base1, {1, 2, 2, 4}).RCond(), 0.0);
        // (4 1 / 1 3): |A|_1 = 5, |A^-1|_1 = 5 / 11, so RCond = 11 / 25.
        EXPECT_NEAR(Make(2, base1, {4, 1, 1, 3}).RCond(), 0.44, 1e-15);
    }
    SMtrxNN a = Make(2, false, {4, 1, 1, 3}), b(std::move(a));
    EXPECT_EQ(Thrown(&SMtrx::OpeErr::Kind, [&] { (void)a.RCond(); }), 0);
}

// A matrix moved onto itself keeps its elements and stays usable.
TEST(SMtrxNN, SelfMoveAssignmentKeepsTheMatrix) {
    SMtrxNN a = Make(4, true, kRegular);
    SMtrxNN& same = a;
    a = std::move(same);
    EXPECT_EQ(Elems(a), kRegular);
    EXPECT_NEAR(a.Det(), -126.0, 1e-12);
    EXPECT_EQ(Elems(a.Tran().Tran()), kRegular);
}

// A member that cannot get its work storage throws AllocErr with Count 0, whether its own work
// copy or the routine's storage was refused, and never passes a failure off as a result.
TEST(SMtrxNN, FailuresOfTheWorkRecordsThrow) {
    SMtrxNN a = Make(2, true, {2, 1, 1, 3});
    const SVect b(2, true);
    ReportCapture report;
    allocsweep::Guard guard;
    const auto count = &SMtrx::AllocErr::Count;
    const auto members = {std::function<void()>([&] { (void)a.Det(); }),
                          std::function<void()>([&] { (void)a.IsSingular(); }),
                          std::function<void()>([&] { (void)a.Inv(); }),
                          std::function<void()>([&] { (void)a.RCond(); }),
                          std::function<void()>([&] { (void)a.Solve(b); })};
    for (const auto& member : members) {
        int workFailures = 0;
        for (long n = 1;; ++n) {
            allocsweep::FailAt(n);
            const long long thrown = Thrown(count, member);
            const bool failed = allocsweep::Failed();
            allocsweep::Disarm();
            // Count 0 for work storage; the order or its square for a result (Solve, Inv).
            EXPECT_TRUE(failed ? thrown == 0 || thrown == 2 || thrown == 4 : thrown == -1) << n;
            workFailures += thrown == 0;
            if (!failed) break;
            ASSERT_LT(n, 50);
        }
        EXPECT_GE(workFailures, 2);  // the object's work copy and the routine's storage
    }
    EXPECT_EQ(a.IsSingular(), false);
    EXPECT_EQ(Elems(a.Inv()), V({0.6, -0.2, -0.2, 0.4}));
}

TEST(SMtrxNN, RuntimeAllocationFailureBecomesAllocErrWithoutLeaks) {
    SMtrxNN a = Make(2, false, {1, 2, 3, 4});
    const SVect b(2);
    const auto count = &SMtrx::AllocErr::Count;
    long caught = 0;
    long fails = failnew::ForEachFailure([&] {
        caught += Thrown(count, [&] { (void)(a.Solve(b)); }) == 2;
        caught += Thrown(count, [&] { (void)(a + a); }) == 4;
        caught += Thrown(count, [&] { (void)(a * a); }) == 4;
        caught += Thrown(count, [&] { (void)(a.Tran()); }) == 4;
        caught += Thrown(count, [&] { (void)(a.Inv()); }) == 4;
    });
    EXPECT_GE(fails, 5);  // a request for each result at least
    EXPECT_EQ(caught, fails);
}

// A temporary operand lends the result its storage and gives the values of the operators on
// named objects; one that does not match is left as it was.
TEST(SMtrxNN, TemporariesLendTheirStorage) {
    const auto kind = &SMtrx::OpeErr::Kind;
    for (bool base1 : {false, true}) {
        const SMtrxNN a = Make(2, base1, {1, -2, 3.5, 4}), b = Make(2, base1, {0.25, 8, -3, 1e300});
        const unsigned lo = base1 ? 1u : 0u;
        SMtrxNN t = a;
        const double* storage = &t[lo][lo];
        failnew::FailAt(1);  // a heap request would throw
        SMtrxNN r = (std::move(t) + b) * 3.0 - a;
        r = -(a - std::move(r));
        failnew::Disarm();
        EXPECT_EQ(&r[lo][lo], storage);
        EXPECT_EQ(Elems(r), Elems(-(a - ((a + b) * 3.0 - a))));
        EXPECT_EQ(Elems(SMtrxNN(a) + SMtrxNN(a)), Elems(a + a));
        EXPECT_EQ(Elems(2.0 * SMtrxNN(b) - SMtrxNN(b)), Elems(2.0 * b - b));
        SMtrxNN three = Make(3, base1, V(9, 1.0)), other = Make(2, !base1, V(4, 1.0));
        EXPECT_EQ(Thrown(kind, [&] { (void)(a + std::move(three)); }), 0);
        EXPECT_EQ(Thrown(kind, [&] { (void)(std::move(other) - a); }), 1);
        EXPECT_EQ(Elems(three), V(9, 1.0));
        EXPECT_EQ(Elems(other), V(4, 1.0));
        // Without storage of its own a temporary is an ordinary operand.
        SMtrxNN gone = std::move(three);
        EXPECT_EQ(Thrown(&SMtrx::AllocErr::Count, [&] { (void)(std::move(three) * 2.0); }), 0);
    }
}

}  // namespace
