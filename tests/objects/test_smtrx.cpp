// SMtrx: storage, subscript checks, copies and the compound operators.
#include <gtest/gtest.h>

#include <cstring>
#include <new>

#include "FailingNew.h"
#include "objects/SMtrx.h"

namespace {

// Element (i, j) of an r x c matrix with suffix base b: 10·row + column, counted from 1.
double Pattern(unsigned i, unsigned j, unsigned b) { return 10.0 * (i - b + 1) + (j - b + 1); }

void Fill(SMtrx& m) {
    const unsigned b = m.GetBase1() ? 1 : 0;
    for (unsigned i = b; i < b + m.GetRows(); ++i)
        for (unsigned j = b; j < b + m.GetCols(); ++j) m.SetValue(i, j, Pattern(i, j, b));
}

bool HasPattern(const SMtrx& m, double scale = 1.0) {
    const unsigned b = m.GetBase1() ? 1 : 0;
    for (unsigned i = b; i < b + m.GetRows(); ++i)
        for (unsigned j = b; j < b + m.GetCols(); ++j)
            if (m.GetValue(i, j) != scale * Pattern(i, j, b)) return false;
    return true;
}

// The Index of the RangeErr that f throws, or -1 when it throws nothing.
template <class F>
long long RangeIndex(F f) {
    try {
        f();
    } catch (const SMtrx::RangeErr& e) {
        return e.Index;
    }
    return -1;
}

TEST(SMtrx, MinimumSizesAndWrappedCountsAreRefused) {
    struct Case { unsigned rows, cols; bool base1; unsigned count; };
    for (Case c : {Case{1, 1, true, 1}, Case{0, 5, false, 0}, Case{5, 0, true, 0},
                   Case{0x10001u, 0x10000u, false, 0x10000u}, Case{0x80000000u, 2, true, 0}}) {
        alignas(SMtrx) unsigned char at[sizeof(SMtrx)];
        try {
            new (at) SMtrx(c.rows, c.cols, c.base1);
            ADD_FAILURE() << c.rows << " x " << c.cols << " was made";
        } catch (const SMtrx::AllocErr& e) {
            EXPECT_EQ(e.Count, c.count);
            EXPECT_EQ(static_cast<const void*>(e.Obj), static_cast<void*>(at));
        }
    }
    for (Case c : {Case{1, 1, false, 1}, Case{1, 2, true, 2}, Case{2, 1, true, 2}}) {
        SMtrx m(c.rows, c.cols, c.base1);
        EXPECT_EQ(m.GetRows() * m.GetCols(), c.count);
    }
}

TEST(SMtrx, FreshStorageIsZeroAndRowsAreContiguous) {
    for (bool base1 : {false, true}) {
        SMtrx m(3, 4, base1);
        const unsigned b = base1;
        for (unsigned i = b; i < b + 3; ++i) {
            for (unsigned j = b; j < b + 4; ++j) EXPECT_EQ(m.GetValue(i, j), 0.0);
            if (i > b) {
                EXPECT_EQ(m[i], m[i - 1] + 4);
            }
        }
        // The column of m[i][j] is not checked: one past the last column is the next row.
        m[b][b + 4] = 7.0;
        EXPECT_EQ(m.GetValue(b + 1, b), 7.0);
    }
}

TEST(SMtrx, SubscriptsAreCheckedAtBothEndsRowFirst) {
    for (bool base1 : {false, true}) {
        SMtrx m(3, 4, base1);
        const unsigned lo = base1, hiRow = lo + 2, hiCol = lo + 3;
        for (unsigned i : {lo, hiRow}) {
            for (unsigned j : {lo, hiCol}) {
                EXPECT_EQ(RangeIndex([&] { m.SetValue(i, j, 1.0); }), -1);
                EXPECT_EQ(RangeIndex([&] { m.Val[i][j] = m.Val[i][j] + 1.0; }), -1);
            }
        }
        EXPECT_EQ(m.GetValue(lo, lo), 2.0);
        // lo - 1 wraps to 0xFFFFFFFF for base 0, which is out of range as well.
        for (unsigned i : {lo - 1, hiRow + 1}) {
            EXPECT_EQ(RangeIndex([&] { m[i]; }), i);
            EXPECT_EQ(RangeIndex([&] { m.GetValue(i, hiCol + 5); }), i);  // row first
            EXPECT_EQ(RangeIndex([&] { m.Val[i][lo] = 5.0; }), i);
        }
        for (unsigned j : {lo - 1, hiCol + 1}) {
            EXPECT_EQ(RangeIndex([&] { m.SetValue(lo, j, 5.0); }), j);
            EXPECT_EQ(RangeIndex([&] { return double(m.Val[hiRow][j]); }), j);
        }
        EXPECT_EQ(m.GetValue(lo, lo), 2.0);  // refused writes changed nothing
        try {
            m.GetValue(lo, hiCol + 1);
        } catch (const SMtrx::RangeErr& e) {
            EXPECT_EQ(e.Obj, &m);
        }
    }
}

TEST(SMtrx, ValReadsAndWritesElements) {
    SMtrx m(2, 3, true);
    m.Val[2][3] = 4.5;
    m.Val[1][1] = m.Val[2][3];
    const SMtrx& cm = m;
    double x = cm.Val[1][1];
    EXPECT_EQ(x, 4.5);
    EXPECT_EQ(m.GetValue(1, 1), 4.5);
    EXPECT_EQ(m.GetValue(2, 3), 4.5);
}

TEST(SMtrx, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
    SMtrx src(2, 3, true);
    Fill(src);
    SMtrx copy(src);
    SMtrx target(4, 4, false);
    target = src;
    EXPECT_EQ(target.GetRows(), 2u);
    EXPECT_EQ(target.GetCols(), 3u);
    EXPECT_TRUE(target.GetBase1());
    src.SetValues(0.0);
    EXPECT_TRUE(HasPattern(copy));
    EXPECT_TRUE(HasPattern(target));
    // Self-assignment keeps storage and values; the Val of a copy still reaches the copy.
    double* row = target[1];
    target = *&target;
    EXPECT_EQ(target[1], row);
    EXPECT_TRUE(HasPattern(target));
    copy.Val[1][1] = -1.0;
    EXPECT_EQ(copy.GetValue(1, 1), -1.0);
    EXPECT_EQ(target.GetValue(1, 1), 11.0);
}

TEST(SMtrx, CompoundOperatorsIgnoreMismatchedOperands) {
    SMtrx a(2, 3, false), b(2, 3, false), other(2, 3, true), wide(3, 2, false);
    Fill(a);
    Fill(b);
    other.SetValues(1.0);
    wide.SetValues(1.0);
    a += other;
    a -= wide;
    EXPECT_TRUE(HasPattern(a));
    a += b;
    EXPECT_TRUE(HasPattern(a, 2.0));
    a -= b;
    a *= 3.0;
    EXPECT_TRUE(HasPattern(a, 3.0));
    a -= a;
    EXPECT_TRUE(HasPattern(a, 0.0));
}

TEST(SMtrx, OpeErrKeepsBothTextsAndTheCodeModTwo) {
    for (unsigned code : {0u, 1u, 2u, 7u}) {
        SMtrx::OpeErr e(code);
        EXPECT_EQ(e.Kind, code % 2);
        EXPECT_STREQ(e.Msg[0], "The size of SMtrx objects is different\r\nbetween the operator.");
        EXPECT_STREQ(e.Msg[1], "The suffix base of SMtrx objects is different\r\nbetween the operator.");
    }
}

TEST(SMtrx, RuntimeAllocationFailureBecomesAllocErrWithoutLeaks) {
    SMtrx src(3, 2, true);
    Fill(src);
    long caught = 0, wrongCount = 0;
    auto expect6 = [&](const SMtrx::AllocErr& e) { ++caught; wrongCount += e.Count != 6; };
    long fails = failnew::ForEachFailure([&] {
        try { SMtrx m(3, 2, true); } catch (const SMtrx::AllocErr& e) { expect6(e); }
        try { SMtrx m(src); } catch (const SMtrx::AllocErr& e) { expect6(e); }
    });
    EXPECT_EQ(fails, 4);  // row table and block, twice
    EXPECT_EQ(caught, fails);
    EXPECT_EQ(wrongCount, 0);

    // A failed assignment leaves a target that can be destroyed or assigned again.
    SMtrx target(4, 4, false);
    {
        failnew::Guard guard;
        failnew::FailAt(2);
        EXPECT_THROW(target = src, SMtrx::AllocErr);
    }
    EXPECT_EQ(target.GetRows(), 3u);
    target = src;
    EXPECT_TRUE(HasPattern(target));
}

}  // namespace
