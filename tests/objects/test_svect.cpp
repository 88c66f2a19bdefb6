// SVect: subscripts, copies, the operators and the matrix-vector products.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "FailingNew.h"
#include "objects/SVect.h"

namespace {

SVect Make(std::initializer_list<double> values, bool base1 = false) {
    SVect v(static_cast<unsigned>(values.size()), base1);
    unsigned i = base1;
    for (double x : values) v[i++] = x;
    return v;
}

void ExpectElems(const SVect& v, std::initializer_list<double> values) {
    ASSERT_EQ(v.GetSize(), values.size());
    unsigned i = v.GetBase1();
    for (double x : values) EXPECT_EQ(v.GetValue(i++), x) << "subscript " << i - 1;
}

template <class F>
long long RangeIndex(F f) {
    try {
        f();
    } catch (const SVect::RangeErr& e) {
        return e.Index;
    }
    return -1;
}

template <class F>
long long OpeKind(F f) {
    try {
        f();
    } catch (const SVect::OpeErr& e) {
        EXPECT_STREQ(e.Msg[0], "The size of SVect objects is different\r\nbetween the operator.");
        EXPECT_STREQ(e.Msg[1],
                     "The suffix base of SVect objects is different\r\nbetween the operator.");
        return e.Kind;
    }
    return -1;
}

TEST(SVect, SizesSubscriptsAndFreshZeros) {
    for (unsigned n : {0u, 1u}) {
        try {
            SVect v(n, true);
            ADD_FAILURE() << n;
        } catch (const SVect::AllocErr& e) {
            EXPECT_EQ(e.Count, n);
        }
    }
    SVect a(4), b(4, true);
    ExpectElems(a, {0, 0, 0, 0});
    ExpectElems(b, {0, 0, 0, 0});
    EXPECT_EQ(RangeIndex([&] { a[4]; }), 4);
    EXPECT_EQ(RangeIndex([&] { a.SetValue(~0u, 1.0); }), ~0u);
    EXPECT_EQ(RangeIndex([&] { b.GetValue(0); }), 0);
    EXPECT_EQ(RangeIndex([&] { b.Val[5] = 1.0; }), 5);
    EXPECT_EQ(RangeIndex([&] { return double(b.Val[0]); }), 0);
    a[0] = 1.0;
    a.Val[3] = 2.0;
    b.Val[4] = a.Val[3];
    b.SetValue(1, a.Val[0]);
    ExpectElems(a, {1, 0, 0, 2});
    ExpectElems(b, {1, 0, 0, 2});
}

TEST(SVect, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
    SVect src = Make({1, 2, 3}, true);
    SVect copy(src), target(5);
    target = src;
    target = *&target;
    src[1] = 9.0;
    ExpectElems(copy, {1, 2, 3});
    ExpectElems(target, {1, 2, 3});
    EXPECT_TRUE(target.GetBase1());
    copy.Val[2] = 7.0;  // the copy's Val reaches the copy
    ExpectElems(copy, {1, 7, 3});
    ExpectElems(src, {9, 2, 3});
}

TEST(SVect, ArithmeticOperators) {
    SVect a = Make({1, 0, -2, 3}), b = Make({0.5, 4, 1, -1});
    ExpectElems(a + b, {1.5, 4, -1, 2});
    ExpectElems(a - b, {0.5, -4, -3, 4});
    ExpectElems(2.0 * a, {2, 0, -4, 6});
    ExpectElems(a * 2.0, {2, 0, -4, 6});
    ExpectElems(+a, {1, 0, -2, 3});
    SVect neg = -a;
    ExpectElems(neg, {-1, 0, 2, -3});
    EXPECT_TRUE(std::signbit(neg[1]));
    EXPECT_EQ(a | b, 0.5 + 0 - 2 - 3);
    ExpectElems(a, {1, 0, -2, 3});  // operands untouched
    // Terms are summed in ascending order: 1 is lost against 1e16 before it cancels.
    EXPECT_EQ(Make({1, 1e16, -1e16}) | Make({1, 1, 1}), 0.0);
}

TEST(SVect, MismatchedOperands) {
    SVect a = Make({1, 2, 3, 4}), five(5, true), based = Make({1, 1, 1, 1}, true);
    EXPECT_EQ(OpeKind([&] { a + five; }), 0);  // the size test comes first
    EXPECT_EQ(OpeKind([&] { a - based; }), 1);
    EXPECT_EQ(a | based, 0.0);
    a += based;
    a -= five;
    ExpectElems(a, {1, 2, 3, 4});
}

TEST(SVect, MatrixVectorProducts) {
    for (bool base1 : {false, true}) {
        const unsigned b = base1;
        SMtrx m(2, 3, base1);
        for (unsigned j = 0; j < 3; ++j) {
            m.SetValue(b, b + j, j + 1.0);
            m.SetValue(b + 1, b + j, -1.0);
        }
        SVect y = m * Make({1, 10, 100}, base1);
        EXPECT_EQ(y.GetBase1(), base1);
        ExpectElems(y, {321, -111});
        EXPECT_EQ(OpeKind([&] { m* Make({1, 2}, base1); }), 0);
        EXPECT_EQ(OpeKind([&] { m* Make({1, 2, 3}, !base1); }), 1);

        SMtrxNN sq(2, base1);
        sq.SetValues(2.0);
        ExpectElems(sq * Make({1, 3}, base1), {8, 8});
    }
    // The result is made before the operands are checked: one row is too few elements.
    SMtrx row(1, 3, false);
    try {
        row* Make({1, 2});
        ADD_FAILURE();
    } catch (const SVect::AllocErr& e) {
        EXPECT_EQ(e.Count, 1u);
    }
}

TEST(SVect, RuntimeAllocationFailureBecomesAllocErrWithoutLeaks) {
    SVect a = Make({1, 2, 3}, true), b = Make({4, 5, 6}, true);
    SMtrx m(3, 3, true);
    long caught = 0;
    long fails = failnew::ForEachFailure([&] {
        try { SVect v = a + b; } catch (const SVect::AllocErr&) { ++caught; }
        try { SVect v = m * a; } catch (const SVect::AllocErr&) { ++caught; }
        try { SVect v = -a; } catch (const SVect::AllocErr&) { ++caught; }
    });
    EXPECT_GE(fails, 3);
    EXPECT_EQ(caught, fails);

    SVect target(7);
    {
        failnew::Guard guard;
        failnew::FailAt(1);
        EXPECT_THROW(target = a, SVect::AllocErr);
    }
    EXPECT_EQ(target.GetSize(), 3u);
    target = b;
    ExpectElems(target, {4, 5, 6});
}

}  // namespace
