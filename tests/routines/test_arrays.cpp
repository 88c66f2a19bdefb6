// Generic arrays: zero fill, rebased addressing, the spare slots, layout and failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "AllocSweep.h"
#include "ReportCapture.h"
#include "routines/Arrays.h"

namespace {

struct Bytes10 {
    unsigned char b[10];
};

TEST(ElemSize, WidthsOfTheTenCodes) {
    const std::uint32_t widths[10] = {1, 1, 2, 4, 4, 4, 4, 4, 8, 10};
    for (std::int8_t code = 0; code <= 9; ++code) {
        EXPECT_EQ(ElemSize(code), widths[code]) << int(code);
        EXPECT_EQ(RowPtrSize(code), sizeof(void*)) << int(code);
    }
    EXPECT_EQ(ElemSize(10), 0u);
    EXPECT_EQ(ElemSize(-1), 0u);
    EXPECT_EQ(RowPtrSize(10), 0u);
}

TEST(GetArray1D, WholeBlockIsZeroWithTheSpareBelowTheLowestSubscript) {
    for (std::uint32_t lo : {0u, 1u, 5u}) {
        const std::uint32_t hi = lo + 3;
        Array1D<double> p = GetArray1D<double>(ArrDouble, nullptr, lo, hi);
        ASSERT_TRUE(p) << lo;
        // One block of hi - lo + 2 elements: the spare, then lo..hi.
        for (std::uint32_t k = 0; k < 5; ++k) EXPECT_EQ(p.Block[k], 0.0);
        EXPECT_EQ(&p[lo - 1], &p.Block[0]) << "spare of lo = " << lo;
        EXPECT_EQ(&p[lo], &p.Block[1]);
        EXPECT_EQ(&p[hi], &p.Block[4]);
        for (std::uint32_t i = lo; i <= hi; ++i) p[i] = 10.0 * i;
        EXPECT_EQ(p.Block[1], 10.0 * lo);
        EXPECT_EQ(p.Block[4], 10.0 * hi);
        EXPECT_EQ(p[lo - 1], 0.0);
        p = FreeArray1D(ArrDouble, p, lo, hi);
        EXPECT_EQ(p, nullptr);
    }
}

TEST(GetArray1D, SpareOfSuffixBaseZeroIsSubscriptMinusOne) {
    Array1D<double> p = GetArray1D<double>(ArrDouble, nullptr, 0, 3);
    ASSERT_TRUE(p);
    EXPECT_EQ(&p[-1], &p.Block[0]);
    EXPECT_EQ(p[-1], 0.0);
    FreeArray1D(ArrDouble, p, 0, 3);
}

TEST(GetArray1D, ReversedBoundsMakeTheSameArray) {
    Array1D<std::int32_t> p = GetArray1D<std::int32_t>(ArrInt32, nullptr, 4, 1);
    ASSERT_TRUE(p);
    EXPECT_EQ(p.Lo, 1u);
    p[4] = 7;
    EXPECT_EQ(p.Block[4], 7);
    p = FreeArray1D(ArrInt32, p, 4, 1);
    EXPECT_EQ(p, nullptr);
}

TEST(GetArray1D, OtherElementWidths) {
    Array1D<Bytes10> p = GetArray1D<Bytes10>(9, nullptr, 2, 6);
    ASSERT_TRUE(p);
    const unsigned char zero[50] = {};
    EXPECT_EQ(std::memcmp(p.Block, zero, sizeof zero), 0);
    p[6].b[9] = 1;
    EXPECT_EQ(reinterpret_cast<unsigned char*>(p.Block)[59], 1);
    FreeArray1D(9, p, 2, 6);

    // A type that does not match the code's width, and codes outside 0..9, give nothing.
    allocsweep::Guard guard;
    allocsweep::Count();
    EXPECT_EQ(GetArray1D<double>(ArrInt32, nullptr, 0, 3), nullptr);
    EXPECT_EQ(GetArray1D<double>(10, nullptr, 0, 3), nullptr);
    EXPECT_EQ(allocsweep::Requests(), 0);
}

TEST(GetArray1D, OldArrayIsReleasedFirst) {
    // Leaks of the old array would fail the sanitized build.
    Array1D<double> p = GetArray1D<double>(ArrDouble, nullptr, 1, 4);
    p = GetArray1D<double>(ArrDouble, p, 1, 8);
    ASSERT_TRUE(p);
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    p = GetArray1D<double>(ArrDouble, p, 1, 8);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(report.Text(), "failed to allocate 72 byte(s) in heap area.\r\n");
}

TEST(GetArray1D, FailureReportsTheBlockSizeWhateverTheLowerBound) {
    for (std::uint32_t lo : {0u, 1u, 5u}) {
        ReportCapture report;
        allocsweep::Guard guard;
        allocsweep::FailAt(1);
        EXPECT_EQ(GetArray1D<double>(ArrDouble, nullptr, lo, lo + 3), nullptr);
        EXPECT_EQ(report.Text(), "failed to allocate 40 byte(s) in heap area.\r\n");
    }
}

TEST(GetArray1D, CountThatWrapsIsRefusedBeforeAllocating) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::Count();
    // 0..4294967295 needs 2^32 + 1 elements; the 32-bit count is 1.
    EXPECT_EQ(GetArray1D<double>(ArrDouble, nullptr, 0, 0xFFFFFFFFu), nullptr);
    // 1..4294967295 needs 2^32 elements; the 32-bit count is 0.
    EXPECT_EQ(GetArray1D<double>(ArrDouble, nullptr, 1, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(allocsweep::Requests(), 0);
    EXPECT_EQ(report.Text(), "failed to allocate 8 byte(s) in heap area.\r\n"
                             "failed to allocate 0 byte(s) in heap area.\r\n");
}

TEST(FreeArray1D, NullAndUnknownCodesReleaseNothing) {
    EXPECT_EQ(FreeArray1D<double>(ArrDouble, nullptr, 0, 3), nullptr);
    Array1D<double> p = GetArray1D<double>(ArrDouble, nullptr, 0, 3);
    EXPECT_EQ(FreeArray1D(12, p, 0, 3), nullptr);  // ignored: p is still live
    p[3] = 1.0;
    FreeArray1D(ArrDouble, p, 0, 3);
}

TEST(GetArray2D, LayoutIsOneRowTableAndOneRunOfRows) {
    for (std::uint32_t lo : {0u, 1u, 5u}) {
        // 3 rows x 2 columns.
        Array2D<double> a = GetArray2D<double>(ArrDouble, nullptr, lo, lo + 2, lo, lo + 1);
        ASSERT_TRUE(a) << lo;
        EXPECT_EQ(a.Table[0], nullptr) << "spare slot";
        double* first = &a[lo][lo];
        for (std::uint32_t i = lo; i <= lo + 2; ++i) {
            for (std::uint32_t j = lo; j <= lo + 1; ++j) {
                EXPECT_EQ(a[i][j], 0.0);
                EXPECT_EQ(&a[i][j], first + (i - lo) * 2 + (j - lo)) << i << "," << j;
            }
        }
        // Block element 0 is the spare just before the first element.
        EXPECT_EQ(&a[lo][lo - 1], first - 1);
        EXPECT_EQ(first[-1], 0.0);
        a = FreeArray2D(ArrDouble, a, lo, lo + 2, lo, lo + 1);
        EXPECT_EQ(a, nullptr);
    }
}

TEST(GetArray2D, ReversedBoundsAndOldArray) {
    Array2D<double> a = GetArray2D<double>(ArrDouble, nullptr, 3, 1, 2, 1);
    ASSERT_TRUE(a);
    EXPECT_EQ(a.RowLo, 1u);
    EXPECT_EQ(a.ColLo, 1u);
    a[3][2] = 4.0;
    EXPECT_EQ(&a[3][2], &a[1][1] + 5);
    a = GetArray2D<double>(ArrDouble, a, 0, 9, 0, 9);  // releases the 3 x 2 first
    ASSERT_TRUE(a);
    EXPECT_EQ(a[9][9], 0.0);
    FreeArray2D(ArrDouble, a, 9, 0, 9, 0);
}

TEST(GetArray2D, RowTableFailure) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    EXPECT_EQ(GetArray2D<double>(ArrDouble, nullptr, 1, 3, 1, 2), nullptr);
    EXPECT_EQ(report.Text(), ReportCapture::TextFor(4 * sizeof(void*)));  // 4 entries
}

TEST(GetArray2D, ElementBlockFailureReturnsTheRowTable) {
    // The leak checker catches a row table left behind.
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(2);
    EXPECT_EQ(GetArray2D<double>(ArrDouble, nullptr, 1, 3, 1, 2), nullptr);
    EXPECT_TRUE(allocsweep::Failed());
    EXPECT_EQ(report.Text(), "failed to allocate 56 byte(s) in heap area.\r\n");
}

TEST(GetArray2D, ElementCountThatWrapsIsRefused) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::Count();
    // 65536 x 65536 elements + 1 wraps to 1: the rows would overrun a one-element block.
    EXPECT_EQ(GetArray2D<double>(ArrDouble, nullptr, 1, 65536, 1, 65536), nullptr);
    EXPECT_EQ(allocsweep::Requests(), 1) << "only the row table may have been asked for";
    EXPECT_EQ(report.Text(), "failed to allocate 8 byte(s) in heap area.\r\n");
}

TEST(GetArray2D, RowRangeOfAllSubscriptsIsRefused) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::Count();
    // What a zero row count with suffix base 0 asks for: rows 0..4294967295.
    EXPECT_EQ(GetArray2D<double>(ArrDouble, nullptr, 0, 0xFFFFFFFFu, 0, 3), nullptr);
    EXPECT_EQ(GetArray2D<double>(ArrDouble, nullptr, 0, 3, 0, 0xFFFFFFFFu), nullptr);
    EXPECT_EQ(allocsweep::Requests(), 1);
    // A row table of 1 entry; then 4 rows x 0 columns + 1 = 1 element.
    EXPECT_EQ(report.Text(), ReportCapture::TextFor(sizeof(void*)) + ReportCapture::TextFor(8));
}

TEST(GetArray2D, OldArrayIsReleasedEvenWhenTheNewOneFails) {
    Array2D<double> a = GetArray2D<double>(ArrDouble, nullptr, 0, 3, 0, 3);
    ASSERT_TRUE(a);
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    a = GetArray2D<double>(ArrDouble, a, 0, 3, 0, 3);
    EXPECT_EQ(a, nullptr);
}

}  // namespace
