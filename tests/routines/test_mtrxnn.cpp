// Square matrices: allocation, release, element-wise arithmetic, product and transpose.
#include <gtest/gtest.h>

#include <cmath>

#include "AllocSweep.h"
#include "ReportCapture.h"
#include "RoutineTestUtil.h"
#include "routines/CopyMtrxNN.h"
#include "routines/MtrxNN.h"

using namespace quil::detail;  // the library's internals under test

namespace {

using rtest::Elems;
using rtest::MakeNN;
using rtest::NN;
using rtest::SameBits;

TEST(GetMatrixNN, BothBasesAreZeroFilledAtBirth) {
    for (bool base1 : {true, false}) {
        MtrxNN* m = GetMatrixNN(nullptr, 3, base1);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->Size, 3u);
        EXPECT_EQ(m->Base1, base1);
        EXPECT_EQ(Elems(m), std::vector<double>(9, 0.0));
        const std::uint32_t hi = base1 ? 3 : 2;
        m->Elem[hi][hi] = 5.0;
        m = GetMatrixNN(m, 2, !base1);  // the old record goes first
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(Elems(m), std::vector<double>(4, 0.0));
        m = FreeMatrixNN(m);
        EXPECT_EQ(m, nullptr);
    }
    EXPECT_EQ(FreeMatrixNN(nullptr), nullptr);
}

TEST(GetMatrixNN, EveryFailureGivesNullAndLeaksNothing) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);  // the record: no report
    EXPECT_EQ(GetMatrixNN(nullptr, 2, true), nullptr);
    EXPECT_EQ(report.Text(), "");
    allocsweep::FailAt(2);  // the row table of 3 entries
    EXPECT_EQ(GetMatrixNN(nullptr, 2, true), nullptr);
    allocsweep::FailAt(3);  // the element block of 5 doubles
    EXPECT_EQ(GetMatrixNN(nullptr, 2, false), nullptr);
    EXPECT_EQ(report.Text(), ReportCapture::TextFor(3 * sizeof(void*)) + ReportCapture::TextFor(40));
    // A live old record is released whatever happens next.
    MtrxNN* m = GetMatrixNN(nullptr, 2, true);
    allocsweep::FailAt(3);
    m = GetMatrixNN(m, 2, true);
    EXPECT_EQ(m, nullptr);
    allocsweep::Disarm();
    // Order 0 has no subscripts in either base: refused as a request of no bytes is.
    const std::string before = report.Text();
    EXPECT_EQ(GetMatrixNN(nullptr, 0, false), nullptr);
    EXPECT_EQ(GetMatrixNN(GetMatrixNN(nullptr, 2, true), 0, true), nullptr);
    EXPECT_EQ(report.Text(), before + ReportCapture::TextFor(0) + ReportCapture::TextFor(0));
}

TEST(MtrxNNArithmetic, ElementWiseInBothBases) {
    for (bool base1 : {true, false}) {
        NN a = MakeNN(base1, {{1, 2}, {3, 4}});
        NN b = MakeNN(base1, {{0.5, -1}, {10, 0.25}});
        NN c(GetMatrixNN(nullptr, 2, base1));
        ASSERT_TRUE(AddMtrxNN(c.get(), a.get(), b.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{1.5, 1, 13, 4.25}));
        ASSERT_TRUE(SubMtrxNN(c.get(), a.get(), b.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{0.5, 3, -7, 3.75}));
        ASSERT_TRUE(SclMtrxNN(c.get(), -3.0, a.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{-3, -6, -9, -12}));
        SetMtrxNNO(c.get());
        EXPECT_EQ(Elems(c.get()), std::vector<double>(4, 0.0));
    }
}

TEST(MtrxNNArithmetic, ResultMayBeAnOperand) {
    NN a = MakeNN(true, {{1, 2}, {3, 4}});
    NN b = MakeNN(true, {{1, 1}, {1, 1}});
    ASSERT_TRUE(AddMtrxNN(a.get(), a.get(), a.get()));
    EXPECT_EQ(Elems(a.get()), (std::vector<double>{2, 4, 6, 8}));
    ASSERT_TRUE(SubMtrxNN(b.get(), a.get(), b.get()));
    EXPECT_EQ(Elems(b.get()), (std::vector<double>{1, 3, 5, 7}));
    ASSERT_TRUE(SclMtrxNN(a.get(), 0.25, a.get()));
    EXPECT_EQ(Elems(a.get()), (std::vector<double>{0.5, 1, 1.5, 2}));
}

TEST(MtrxNNArithmetic, MismatchLeavesTheResultExactlyAsItWas) {
    NN a0 = MakeNN(false, {{1, 2}, {3, 4}});
    NN a1 = MakeNN(true, {{1, 2}, {3, 4}});
    NN a3(GetMatrixNN(nullptr, 3, true));
    NN c = MakeNN(true, {{-0.0, NAN}, {1e300, 7}});
    const std::vector<double> before = Elems(c.get());
    EXPECT_FALSE(AddMtrxNN(c.get(), a0.get(), a1.get()));
    EXPECT_FALSE(AddMtrxNN(c.get(), a0.get(), a0.get()));
    EXPECT_FALSE(SubMtrxNN(c.get(), a1.get(), a3.get()));
    EXPECT_FALSE(SubMtrxNN(c.get(), a3.get(), a3.get()));
    EXPECT_FALSE(SclMtrxNN(c.get(), 2.0, a0.get()));
    EXPECT_FALSE(MulMtrxNN(c.get(), a1.get(), a0.get()));
    EXPECT_FALSE(MulMtrxNN(c.get(), a0.get(), a0.get()));
    EXPECT_FALSE(MulMtrxNN(c.get(), a1.get(), a3.get()));
    EXPECT_FALSE(MulMtrxNN(c.get(), a3.get(), a3.get()));
    EXPECT_FALSE(TrnMtrxNN(c.get(), a0.get()));
    EXPECT_FALSE(TrnMtrxNN(c.get(), a3.get()));
    EXPECT_FALSE(CopyMtrxNN(c.get(), a0.get()));
    EXPECT_TRUE(SameBits(Elems(c.get()), before));
}

TEST(MulMtrxNN, PlainProductInBothBases) {
    for (bool base1 : {true, false}) {
        NN a = MakeNN(base1, {{1, 2}, {3, 4}});
        NN b = MakeNN(base1, {{5, 6}, {7, 8}});
        NN c(GetMatrixNN(nullptr, 2, base1));
        ASSERT_TRUE(MulMtrxNN(c.get(), a.get(), b.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{19, 22, 43, 50}));
        ASSERT_TRUE(MulMtrxNN(c.get(), b.get(), a.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{23, 34, 31, 46}));
    }
}

TEST(MulMtrxNN, EachSumRunsOverAscendingK) {
    // Row (1, 2^53, -2^53) times a column of ones: 1 + 2^53 rounds back to 2^53, so the
    // ascending sum is 0; summing in any other order gives 1.
    const double big = std::ldexp(1.0, 53);
    NN a = MakeNN(false, {{1, big, -big}, {0, 0, 0}, {0, 0, 0}});
    NN b = MakeNN(false, {{1, 0, 0}, {1, 0, 0}, {1, 0, 0}});
    NN c(GetMatrixNN(nullptr, 3, false));
    ASSERT_TRUE(MulMtrxNN(c.get(), a.get(), b.get()));
    EXPECT_EQ(c->Elem[0][0], 0.0);
}

TEST(MulMtrxNN, SquareInPlaceIsTheTrueSquare) {
    for (bool base1 : {true, false}) {
        NN a = MakeNN(base1, {{1, 2, 0}, {-1, 3, 4}, {2, 0, 5}});
        NN expect(GetMatrixNN(nullptr, 3, base1));
        ASSERT_TRUE(MulMtrxNN(expect.get(), a.get(), a.get()));
        EXPECT_EQ(Elems(expect.get()), (std::vector<double>{-1, 8, 8, 4, 7, 32, 12, 4, 25}));
        ASSERT_TRUE(MulMtrxNN(a.get(), a.get(), a.get()));
        EXPECT_EQ(Elems(a.get()), Elems(expect.get()));
    }
}

TEST(TrnMtrxNN, TransposeIntoAnotherRecordAndInPlace) {
    for (bool base1 : {true, false}) {
        NN a = MakeNN(base1, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
        NN c(GetMatrixNN(nullptr, 3, base1));
        ASSERT_TRUE(TrnMtrxNN(c.get(), a.get()));
        EXPECT_EQ(Elems(c.get()), (std::vector<double>{1, 4, 7, 2, 5, 8, 3, 6, 9}));
        EXPECT_EQ(Elems(a.get()), (std::vector<double>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
        ASSERT_TRUE(TrnMtrxNN(a.get(), a.get()));
        EXPECT_EQ(Elems(a.get()), Elems(c.get()));
    }
}

// A c that is an operand takes the product from work storage, whose failure leaves c as it was;
// any other c receives the product where it is formed and asks the heap for nothing.
TEST(MulMtrxNN, WorkRecordFailureLeavesCUnchangedAndLeaksNothing) {
    NN a = MakeNN(true, {{1, 2}, {3, 4}});
    ReportCapture report;
    allocsweep::Guard guard;
    for (bool square : {false, true}) {
        for (long n = 1;; ++n) {
            NN c = MakeNN(true, {{9, 8}, {7, 6}});
            allocsweep::FailAt(n);
            const bool ok = square ? MulMtrxNN(a.get(), a.get(), a.get())
                                   : MulMtrxNN(c.get(), a.get(), a.get());
            const bool failed = allocsweep::Failed();
            allocsweep::Disarm();
            if (!failed) {
                ASSERT_TRUE(ok);
                if (square)
                    ASSERT_GT(n, 1) << "the work storage was never asked for";
                else
                    ASSERT_EQ(n, 1) << "a product into another record asked the heap";
                EXPECT_EQ(Elems(square ? a.get() : c.get()), (std::vector<double>{7, 10, 15, 22}));
                break;
            }
            EXPECT_FALSE(ok) << n;
            EXPECT_EQ(Elems(c.get()), (std::vector<double>{9, 8, 7, 6})) << n;
            EXPECT_EQ(Elems(a.get()), (std::vector<double>{1, 2, 3, 4})) << n;
        }
    }
    EXPECT_EQ(allocsweep::Live(), 0);
}

TEST(TrnMtrxNN, WorkRecordFailureLeavesCUnchangedAndLeaksNothing) {
    ReportCapture report;
    allocsweep::Guard guard;
    NN a = MakeNN(false, {{1, 2}, {3, 4}});
    for (long n = 1;; ++n) {
        allocsweep::FailAt(n);
        const bool ok = TrnMtrxNN(a.get(), a.get());
        const bool failed = allocsweep::Failed();
        allocsweep::Disarm();
        if (!failed) {
            ASSERT_TRUE(ok);
            ASSERT_GT(n, 1);
            break;
        }
        EXPECT_FALSE(ok) << n;
        EXPECT_EQ(Elems(a.get()), (std::vector<double>{1, 2, 3, 4})) << n;
    }
    EXPECT_EQ(Elems(a.get()), (std::vector<double>{1, 3, 2, 4}));
}

}  // namespace
