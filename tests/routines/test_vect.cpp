// Vectors and general matrices: allocation, release, element-wise arithmetic, the inner
// product and the matrix-vector product.
#include <gtest/gtest.h>

#include <cmath>

#include "AllocSweep.h"
#include "ReportCapture.h"
#include "RoutineTestUtil.h"
#include "routines/Vect.h"

namespace {

using rtest::Elems;
using rtest::MakeV;
using rtest::SameBits;
using rtest::V;

TEST(GetVector, BothBasesAreZeroFilledAtBirth) {
    for (bool base1 : {true, false}) {
        Vect* v = GetVector(nullptr, 4, base1);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->Size, 4u);
        EXPECT_EQ(v->Base1, base1);
        const std::uint32_t lo = base1 ? 1 : 0;
        for (std::uint32_t i = lo; i < lo + 4; ++i) EXPECT_EQ(v->Elem[i], 0.0) << i;
        v->Elem[lo + 3] = 7.0;  // the last subscript lies inside the block (sanitized build)
        v = GetVector(v, 2, !base1);  // replaces the live record; the leak checker sees the old one
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->Base1, !base1);
        EXPECT_EQ(Elems(v), (std::vector<double>{0.0, 0.0}));
        EXPECT_EQ(FreeVector(v), nullptr);
    }
    EXPECT_EQ(FreeVector(nullptr), nullptr);
}

TEST(GetVector, RecordFailureIsSilentElementFailureIsReported) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    EXPECT_EQ(GetVector(nullptr, 4, true), nullptr);
    EXPECT_EQ(report.Text(), "");
    allocsweep::FailAt(2);
    EXPECT_EQ(GetVector(nullptr, 4, false), nullptr);
    EXPECT_EQ(report.Text(), "failed to allocate 40 byte(s) in heap area.\r\n");
    // The old record is gone even though the new one could not be had.
    Vect* old = GetVector(nullptr, 3, true);
    allocsweep::FailAt(1);
    EXPECT_EQ(GetVector(old, 3, true), nullptr);
}

TEST(GetMatrix, BothBasesAreZeroFilledAndReleased) {
    for (bool base1 : {true, false}) {
        Mtrx* m = GetMatrix(nullptr, 3, 2, base1);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Rows, 3u);
        EXPECT_EQ(m->Cols, 2u);
        const std::uint32_t lo = base1 ? 1 : 0;
        for (std::uint32_t i = lo; i < lo + 3; ++i)
            for (std::uint32_t j = lo; j < lo + 2; ++j) EXPECT_EQ(m->Elem[i][j], 0.0);
        m->Elem[lo + 2][lo + 1] = 1.0;
        m = GetMatrix(m, 1, 1, base1);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Elem[lo][lo], 0.0);
        EXPECT_EQ(FreeMatrix(m), nullptr);
    }
    EXPECT_EQ(FreeMatrix(nullptr), nullptr);

    ReportCapture report;
    allocsweep::Guard guard;
    for (long n = 1; n <= 3; ++n) {
        allocsweep::FailAt(n);
        EXPECT_EQ(GetMatrix(nullptr, 3, 2, true), nullptr) << n;
    }
    allocsweep::Disarm();
    // No rows or no columns: no subscripts in either base, refused as a request of no bytes.
    const std::string before = report.Text();
    for (bool base1 : {true, false}) {
        EXPECT_EQ(GetMatrix(nullptr, 0, 3, base1), nullptr);
        EXPECT_EQ(GetMatrix(GetMatrix(nullptr, 2, 2, base1), 3, 0, base1), nullptr);
    }
    EXPECT_EQ(report.Text(), before + ReportCapture::TextFor(0) + ReportCapture::TextFor(0) +
                                 ReportCapture::TextFor(0) + ReportCapture::TextFor(0));
}

TEST(VectArithmetic, AddSubScaleElementByElement) {
    for (bool base1 : {true, false}) {
        V a = MakeV(base1, {1.0, 2.0, 3.0, 4.0});
        V b = MakeV(base1, {0.5, -1.0, 10.0, 0.25});
        V c(GetVector(nullptr, 4, base1));
        ASSERT_TRUE(AddVect(c.get(), a.get(), b.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{1.5, 1.0, 13.0, 4.25}));
        ASSERT_TRUE(SubVect(c.get(), a.get(), b.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{0.5, 3.0, -7.0, 3.75}));
        ASSERT_TRUE(SclVect(c.get(), -2.0, a.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{-2.0, -4.0, -6.0, -8.0}));
        SetMtrxO(c.get());
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{0.0, 0.0, 0.0, 0.0}));
    }
}

TEST(VectArithmetic, ResultMayBeAnOperand) {
    V a = MakeV(false, {1.0, 2.0, 3.0});
    V b = MakeV(false, {4.0, 5.0, 6.0});
    ASSERT_TRUE(AddVect(a.get(), a.get(), b.get()));
    EXPECT_EQ(Elems(a.get()), (std::vector<double>{5.0, 7.0, 9.0}));
    ASSERT_TRUE(SubVect(b.get(), a.get(), b.get()));
    EXPECT_EQ(Elems(b.get()), (std::vector<double>{1.0, 2.0, 3.0}));
    ASSERT_TRUE(SclVect(a.get(), 0.5, a.get()));
    EXPECT_EQ(Elems(a.get()), (std::vector<double>{2.5, 3.5, 4.5}));
    ASSERT_TRUE(AddVect(b.get(), b.get(), b.get()));
    EXPECT_EQ(Elems(b.get()), (std::vector<double>{2.0, 4.0, 6.0}));
}

TEST(VectArithmetic, MismatchLeavesTheResultExactlyAsItWas) {
    V a1 = MakeV(true, {1.0, 2.0, 3.0, 4.0});
    V a0 = MakeV(false, {1.0, 2.0, 3.0, 4.0});
    V a3 = MakeV(true, {1.0, 2.0, 3.0});
    V c = MakeV(true, {-0.0, NAN, 9.0, 1e300});
    const std::vector<double> before = Elems(c.get());
    EXPECT_FALSE(AddVect(c.get(), a1.get(), a0.get()));   // operands differ in base
    EXPECT_FALSE(AddVect(c.get(), a0.get(), a0.get()));   // result differs in base
    EXPECT_FALSE(SubVect(c.get(), a1.get(), a3.get()));   // operands differ in size
    EXPECT_FALSE(SubVect(c.get(), a3.get(), a3.get()));   // result differs in size
    EXPECT_FALSE(SclVect(c.get(), 2.0, a0.get()));
    EXPECT_FALSE(SclVect(c.get(), 2.0, a3.get()));
    EXPECT_TRUE(SameBits(Elems(c.get()), before));
    EXPECT_EQ(MulVect(a1.get(), a0.get()), 0.0);
    EXPECT_EQ(MulVect(a1.get(), a3.get()), 0.0);
}

TEST(MulVect, SumsFromTheLowestSubscriptUp) {
    for (bool base1 : {true, false}) {
        V a = MakeV(base1, {1.0, 2.0, 3.0, 4.0});
        V b = MakeV(base1, {5.0, 6.0, 7.0, 8.0});
        EXPECT_EQ(MulVect(a.get(), b.get()), 70.0);
        // 1 + 2^53 rounds back to 2^53, so the ascending sum is 1; any other order gives 2.
        const double big = std::ldexp(1.0, 53);
        V x = MakeV(base1, {1.0, big, -big, 1.0});
        V ones = MakeV(base1, {1.0, 1.0, 1.0, 1.0});
        EXPECT_EQ(MulVect(x.get(), ones.get()), 1.0);
    }
}

TEST(ZeroElementVector, EveryLoopDoesNothingInEitherBase) {
    for (bool base1 : {true, false}) {
        V a(GetVector(nullptr, 0, base1));
        V b(GetVector(nullptr, 0, base1));
        V c(GetVector(nullptr, 0, base1));
        ASSERT_TRUE(a && b && c) << base1;
        EXPECT_EQ(a->Size, 0u);
        EXPECT_TRUE(AddVect(c.get(), a.get(), b.get()));
        EXPECT_TRUE(SubVect(c.get(), a.get(), b.get()));
        EXPECT_TRUE(SclVect(c.get(), 3.0, a.get()));
        SetMtrxO(c.get());
        EXPECT_EQ(MulVect(a.get(), b.get()), 0.0);
        V one(GetVector(nullptr, 1, base1));
        EXPECT_FALSE(AddVect(c.get(), a.get(), one.get()));
        // Replacing an empty vector, and an empty vector replacing a full one.
        Vect* v = GetVector(a.release(), 3, base1);
        ASSERT_NE(v, nullptr);
        v = GetVector(v, 0, !base1);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(FreeVector(v), nullptr);
    }
}

TEST(MtrxbyVect, HalfTheIdentityHalvesEveryElement) {
    for (bool base1 : {false, true}) {
        Mtrx* m = GetMatrix(nullptr, 4, 4, base1);
        ASSERT_NE(m, nullptr);
        const std::uint32_t lo = base1 ? 1 : 0;
        for (std::uint32_t i = lo; i < lo + 4; ++i) m->Elem[i][i] = 0.5;
        V x = MakeV(base1, {3.0, -5.0, 0.25, 1e10});
        V y(GetVector(nullptr, 4, base1));
        EXPECT_TRUE(MtrxbyVect(y.get(), m, x.get()));
        EXPECT_EQ(Elems(y.get()), (std::vector<double>{1.5, -2.5, 0.125, 5e9}));
        FreeMatrix(m);
    }
}

TEST(MtrxbyVect, RectangularProductRowByRow) {
    Mtrx* m = GetMatrix(nullptr, 2, 3, true);
    ASSERT_NE(m, nullptr);
    const double rows[2][3] = {{1.0, 2.0, 3.0}, {4.0, 5.0, 6.0}};
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) m->Elem[i + 1][j + 1] = rows[i][j];
    V x = MakeV(true, {1.0, -1.0, 2.0});
    V y(GetVector(nullptr, 2, true));
    EXPECT_TRUE(MtrxbyVect(y.get(), m, x.get()));
    EXPECT_EQ(Elems(y.get()), (std::vector<double>{5.0, 11.0}));
    FreeMatrix(m);
}

// y may be x: the product comes from work storage, whose failure leaves x as it was.
TEST(MtrxbyVect, IntoItsOwnOperand) {
    ReportCapture report;
    allocsweep::Guard guard;
    for (bool base1 : {false, true}) {
        Mtrx* m = GetMatrix(nullptr, 2, 2, base1);
        const std::uint32_t lo = base1 ? 1 : 0;
        m->Elem[lo][lo] = m->Elem[lo + 1][lo] = 1;
        m->Elem[lo][lo + 1] = 2;
        m->Elem[lo + 1][lo + 1] = -2;
        for (long n = 1, failed = 1; failed; ++n) {
            V x = MakeV(base1, {1.0, 1.0});
            allocsweep::FailAt(n);
            const bool ok = MtrxbyVect(x.get(), m, x.get());
            failed = allocsweep::Failed();
            allocsweep::Disarm();
            EXPECT_EQ(ok, !failed) << n;
            EXPECT_EQ(Elems(x.get()), ok ? (std::vector<double>{3, -1}) : (std::vector<double>{1, 1}));
        }
        FreeMatrix(m);
    }
}

TEST(MtrxbyVect, ShapeOrBaseMismatchIsRefusedWithYUntouched) {
    Mtrx* m43 = GetMatrix(nullptr, 4, 3, false);
    Mtrx* m44 = GetMatrix(nullptr, 4, 4, false);
    ASSERT_TRUE(m43 && m44);
    V x4 = MakeV(false, {1.0, 2.0, 3.0, 4.0});
    V x4b1 = MakeV(true, {1.0, 2.0, 3.0, 4.0});
    V y = MakeV(false, {9.0, 8.0, 7.0, 6.0});
    V y3 = MakeV(false, {9.0, 8.0, 7.0});
    EXPECT_FALSE(MtrxbyVect(y.get(), m43, x4.get()));   // 4 x 3 times 4 elements
    EXPECT_FALSE(MtrxbyVect(y3.get(), m44, x4.get()));  // y has the wrong size
    EXPECT_FALSE(MtrxbyVect(y.get(), m44, x4b1.get())); // x has the other base
    EXPECT_EQ(Elems(y.get()), (std::vector<double>{9.0, 8.0, 7.0, 6.0}));
    EXPECT_EQ(Elems(y3.get()), (std::vector<double>{9.0, 8.0, 7.0}));
    FreeMatrix(m43);
    FreeMatrix(m44);
}

}  // namespace
