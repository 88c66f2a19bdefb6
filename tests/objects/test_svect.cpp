// SVect: subscripts, copies, the operators and the matrix-vector products.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>

#include "FailingNew.h"
#include "ObjectTestUtil.h"

namespace {

using Range = SVect::RangeErr;
using Alloc = SVect::AllocErr;
using Ope = SVect::OpeErr;

SVect Make(const V& values, bool base1 = false) {
    return Set(SVect(static_cast<unsigned>(values.size()), base1), values);
}

TEST(SVect, SizesAndSubscripts) {
    EXPECT_EQ(Thrown(&Alloc::Count, [] { SVect v(1, true); }), 1);
    EXPECT_EQ(Thrown(&Alloc::Count, [] { SVect v(0); }), 0);
    if (sizeof(void*) == 4) {  // the spare element would wrap 2^32 - 1 elements to none
        EXPECT_EQ(Thrown(&Alloc::Count, [] { SVect v(0xFFFFFFFFu, true); }), 0xFFFFFFFF);
    }
    SVect a(4), b(4, true);
    EXPECT_EQ(Elems(a), V(4, 0.0));
    EXPECT_EQ(Thrown(&Range::Index, [&] { a[4]; }), 4);
    EXPECT_EQ(Thrown(&Range::Index, [&] { a.SetValue(~0u, 1.0); }), ~0u);
    EXPECT_EQ(Thrown(&Range::Index, [&] { (void)(b.GetValue(0)); }), 0);
    EXPECT_EQ(Thrown(&Range::Index, [&] { b.Val[5] = 1.0; }), 5);
    EXPECT_EQ(Thrown(&Range::Index, [&] { a[0] = a[3] = b[1] = b[4] = b.Val[4] + 2; }), -1);
    EXPECT_EQ(Elems(b), V({2, 0, 0, 2}));
}

TEST(SVect, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
    SVect src = Make({1, 2, 3}, true), target(5);
    SVect copy(src);
    target = src;
    target = *&target;
    src[1] = 9.0;
    EXPECT_TRUE(target.GetBase1());
    EXPECT_EQ(Elems(target), V({1, 2, 3}));
    copy.Val[2] = 7.0;  // the copy's Val reaches the copy
    EXPECT_EQ(Elems(copy), V({1, 7, 3}));
}

TEST(SVect, Operators) {
    SVect a = Make({1, 0, -2, 3}), b = Make({0.5, 4, 1, -1});
    EXPECT_EQ(Elems(a + b), V({1.5, 4, -1, 2}));
    EXPECT_EQ(Elems(a - b), V({0.5, -4, -3, 4}));
    EXPECT_EQ(Elems(2.0 * a), Elems(a * 2.0));
    EXPECT_EQ(Elems(+a), Elems(a));
    EXPECT_EQ(Elems(-a), V({-1, 0, 2, -3}));
    EXPECT_TRUE(std::signbit((-a)[1]));
    EXPECT_EQ(a | b, -4.5);
    // Ascending summation: the 1 is lost against 1e16 before that cancels.
    EXPECT_EQ(Make({1, 1e16, -1e16}) | Make({1, 1, 1}), 0.0);

    SVect five(5, true), based = Make({1, 1, 1, 1}, true);
    EXPECT_EQ(Thrown(&Ope::Kind, [&] { (void)(a + five); }), 0);  // the size test comes first
    EXPECT_EQ(Thrown(&Ope::Kind, [&] { (void)(a - based); }), 1);
    EXPECT_STREQ(Ope(2).Msg[0], "The size of SVect objects is different\r\nbetween the operator.");
    EXPECT_STREQ(Ope(3).Msg[Ope(3).Kind],
                 "The suffix base of SVect objects is different\r\nbetween the operator.");
    EXPECT_EQ(a | based, 0.0);
    a += based;
    a -= five;
    EXPECT_EQ(Elems(a), V({1, 0, -2, 3}));
}

TEST(SVect, MatrixVectorProducts) {
    for (bool base1 : {false, true}) {
        SMtrx m = Set(SMtrx(2, 3, base1), {1, 2, 3, -1, 0, 0});
        SVect y = m * Make({1, 10, 100}, base1);
        EXPECT_EQ(y.GetBase1(), base1);
        EXPECT_EQ(Elems(y), V({321, -1}));
        EXPECT_EQ(Thrown(&Ope::Kind, [&] { (void)(m * Make({1, 2}, base1)); }), 0);
        EXPECT_EQ(Thrown(&Ope::Kind, [&] { (void)(m * Make({1, 2, 3}, !base1)); }), 1);
        SMtrxNN sq = Set(SMtrxNN(2, base1), {1, 2, 3, 4});
        EXPECT_EQ(Elems(sq * Make({1, 3}, base1)), V({7, 15}));
    }
    // The result is made before the operands are checked: one row is too few elements.
    SMtrx row(1, 3, false);
    EXPECT_EQ(Thrown(&Alloc::Count, [&] { (void)(row * Make({1, 2})); }), 1);
}

TEST(SVect, RuntimeAllocationFailureBecomesAllocErrWithoutLeaks) {
    SVect a = Make({1, 2, 3}, true), target(7);
    SMtrx m(3, 3, true);
    long caught = 0;
    long fails = failnew::ForEachFailure([&] {
        caught += Thrown(&Alloc::Count, [&] { (void)(a + a); }) == 3;
        caught += Thrown(&Alloc::Count, [&] { (void)(m * a); }) == 3;
        caught += Thrown(&Alloc::Count, [&] { (void)(-a); }) == 3;
    });
    EXPECT_GE(fails, 3);
    EXPECT_EQ(caught, fails);
    // A failed assignment leaves the target as it was, every subscript still checked.
    target[6] = 5.0;
    failnew::FailAt(1);
    EXPECT_EQ(Thrown(&Alloc::Count, [&] { target = a; }), 3);
    failnew::Disarm();
    EXPECT_EQ(target.GetSize(), 7u);
    EXPECT_EQ(Elems(target), V({0, 0, 0, 0, 0, 0, 5}));
    EXPECT_EQ(Thrown(&Range::Index, [&] { target[7]; }), 7);
    target = a;  // assignable again after the failure
    EXPECT_EQ(Elems(target), V({1, 2, 3}));
}

static_assert(std::is_nothrow_move_constructible_v<SVect> && std::is_nothrow_move_assignable_v<SVect>);

TEST(SVect, MovesHandTheArrayOverAndLeaveAnEmptyVector) {
    SVect a = Make({1, 2, 3}, true), c(5);
    const double* array = &a[1];
    failnew::FailAt(1);  // a heap request would throw
    SVect b(std::move(a));
    c = std::move(b);
    failnew::Disarm();
    EXPECT_EQ(&c[1], array);
    c.Val[3] = 7.0;  // Val stays with its own vector
    EXPECT_EQ(Thrown(&Range::Index, [&] { b.Val[1] = 1.0; }), 1);
    // Used as an operand, copied or assigned, it throws AllocErr saying it was moved from, and
    // an assignment from it leaves the target as it was.
    const auto moved = [](auto f) -> std::string {
        try {
            f();
        } catch (const Alloc& e) {
            return e.Count == 0 && std::string(e.what()).find("moved") != std::string::npos
                       ? "moved" : e.what();
        } catch (const SMtrx::AllocErr& e) {
            return std::string(e.what()).find("moved") != std::string::npos ? "moved" : e.what();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "nothing thrown";
    };
    SVect w = Make({4, 5, 6}, true);
    SMtrx m = Set(SMtrx(3, 3, true), V(9, 1.0));
    SMtrxNN nn = Set(SMtrxNN(3, true), V(9, 1.0)), gone(std::move(nn));
    const std::function<void()> ops[] = {
        [&] { (void)(-a); },      [&] { (void)(+a); },      [&] { w = a; },
        [&] { SVect copy(a); },   [&] { (void)(w + a); },   [&] { (void)(a - w); },
        [&] { (void)(2.0 * a); }, [&] { (void)(a * 2.0); }, [&] { (void)(m * a); },
        [&] { (void)(nn * w); },  [&] { (void)gone.Solve(a); }};
    for (const auto& op : ops) EXPECT_EQ(moved(op), "moved");
    EXPECT_EQ(Elems(w), V({4, 5, 6}));
    a = c;
    EXPECT_EQ(Elems(a), V({1, 2, 7}));
}

}  // namespace
