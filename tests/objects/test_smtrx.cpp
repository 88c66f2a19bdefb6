// SMtrx: storage, subscript checks, copies and the compound operators.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include "FailingNew.h"
#include "ObjectTestUtil.h"

namespace {

using Range = SMtrx::RangeErr;
using Alloc = SMtrx::AllocErr;

TEST(SMtrx, TooFewOrWrappedElementsAreRefused) {
    struct Case { unsigned rows, cols; bool base1; long long count; };
    for (Case c : {Case{1, 1, true, 1}, Case{0, 5, false, 0}, Case{1, 1, false, -1},
                   Case{2, 1, true, -1}, Case{0x10001u, 0x10000u, false, 0x10000},
                   Case{0x80000000u, 2, true, 0}})
        EXPECT_EQ(Thrown(&Alloc::Count, [&] { SMtrx m(c.rows, c.cols, c.base1); }), c.count)
            << c.rows << " x " << c.cols;
    // With 32-bit pointers the spare slot would wrap a table or block of 2^32 - 1 to none.
    if (sizeof(void*) == 4) {
        for (unsigned rows : {1u, 0xFFFFFFFFu})
            EXPECT_EQ(Thrown(&Alloc::Count, [&] { SMtrx m(rows, 0xFFFFFFFFu / rows, true); }),
                      0xFFFFFFFF);
    }
}

TEST(SMtrx, FreshStorageIsZeroAndTheColumnOfIndexingIsChecked) {
    for (bool base1 : {false, true}) {
        SMtrx m(2, 3, base1);
        const SMtrx& c = m;
        EXPECT_EQ(Elems(m), V(6, 0.0));
        const unsigned past = base1 + 3;
        // m[i][j] checks the column for every integer type, and reports it as GetValue does.
        EXPECT_EQ(Thrown(&Range::Index, [&] { m[base1][past] = 7.0; }), past);
        EXPECT_EQ(Thrown(&Range::Index, [&] { m[base1][static_cast<int>(past)] = 7.0; }), past);
        EXPECT_EQ(Thrown(&Range::Index, [&] { m[base1][std::size_t{past}] = 7.0; }), past);
        EXPECT_EQ(Thrown(&Range::Index, [&] { return c[base1][static_cast<long>(past)]; }), past);
        EXPECT_EQ(Thrown(&Range::Index, [&] { return c[base1][-1]; }), 0xFFFFFFFF);
        // A subscript beyond 32 bits does not wrap into the row.
        EXPECT_EQ(Thrown(&Range::Index, [&] { m[base1][(1ull << 32) + base1] = 7.0; }),
                  base1);
        EXPECT_EQ(Thrown(&Range::Index, [&] { m[base1][base1 + 2u] = 7.0; }), -1);
        EXPECT_EQ(c[base1][base1 + 2], 7.0);
        // The row still converts to the row pointer, whose subscripts are the caller's affair.
        double* row = m[base1];
        const double* crow = c[base1];
        EXPECT_EQ(&row[base1 + 2], &m[base1][base1 + 2]);
        EXPECT_EQ(crow, row);
        EXPECT_EQ(Elems(m), V({0, 0, 7, 0, 0, 0}));
    }
    // Also where the heap hands back storage that a matrix of the same size filled and left.
    for (int round = 0; round < 3; ++round) {
        { SMtrxNN(40, round == 1).SetValues(-1.5); }
        EXPECT_EQ(Elems(SMtrxNN(40, round == 1)), V(1600, 0.0)) << round;
        SMtrxNN filled(40);
        filled.SetValues(2.0);
        EXPECT_EQ(Elems(-SMtrxNN(filled)), V(1600, -2.0)) << round;
    }
}

TEST(SMtrx, SubscriptsAreCheckedAtBothEndsRowFirst) {
    for (bool base1 : {false, true}) {
        SMtrx m(3, 4, base1);
        const unsigned lo = base1, hiRow = lo + 2, hiCol = lo + 3;
        for (unsigned i : {lo, hiRow})
            for (unsigned j : {lo, hiCol})
                EXPECT_EQ(Thrown(&Range::Index, [&] { m.Val[i][j] = m.Val[i][j] + 1; }), -1);
        // lo - 1 wraps to 0xFFFFFFFF for base 0, out of range as well.
        for (unsigned i : {lo - 1, hiRow + 1}) {
            EXPECT_EQ(Thrown(&Range::Index, [&] { m[i]; }), i);
            EXPECT_EQ(Thrown(&Range::Index, [&] { (void)(m.GetValue(i, hiCol + 1)); }), i);
            EXPECT_EQ(Thrown(&Range::Index, [&] { m.Val[i][lo] = 5.0; }), i);
        }
        for (unsigned j : {lo - 1, hiCol + 1}) {
            EXPECT_EQ(Thrown(&Range::Index, [&] { m.SetValue(lo, j, 5.0); }), j);
            EXPECT_EQ(Thrown(&Range::Index, [&] { return double(m.Val[hiRow][j]); }), j);
        }
        EXPECT_EQ(m.GetValue(lo, lo), 1.0);  // refused writes changed nothing
    }
}

TEST(SMtrx, CopiesAreDeepAndAssignmentTakesTheSourceShape) {
    SMtrx src = Set(SMtrx(2, 3, true), {1, 2, 3, 4, 5, 6}), target(4, 4, false);
    SMtrx copy(src);
    target = src;
    src.SetValues(0.0);
    EXPECT_EQ(target.GetRows() * 10 + target.GetCols() + target.GetBase1() * 100, 123u);
    EXPECT_EQ(Elems(target), V({1, 2, 3, 4, 5, 6}));
    double* row = target[1];
    target = *&target;
    EXPECT_EQ(target[1], row);  // self-assignment keeps the storage
    copy.Val[1][1] = target.Val[2][3];  // the copy's Val reaches the copy
    EXPECT_EQ(Elems(copy), V({6, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Elems(target), V({1, 2, 3, 4, 5, 6}));
}

TEST(SMtrx, CompoundOperatorsIgnoreMismatchedOperands) {
    SMtrx a = Set(SMtrx(2, 2, false), {1, 2, 3, 4}), other(2, 2, true), tall(4, 1, false);
    other.SetValues(1.0);
    tall.SetValues(1.0);
    a += other;
    a -= tall;
    EXPECT_EQ(Elems(a), V({1, 2, 3, 4}));
    a += a;
    a *= 1.5;
    EXPECT_EQ(Elems(a), V({3, 6, 9, 12}));
    const SMtrx& self = a;  // clang warns of a -= a written out
    a -= self;
    EXPECT_EQ(Elems(a), V(4, 0.0));
}

TEST(SMtrx, RuntimeAllocationFailureBecomesAllocErrWithoutLeaks) {
    SMtrx src = Set(SMtrx(3, 2, true), {1, 2, 3, 4, 5, 6}), target(4, 4, false);
    long sixes = 0;
    long fails = failnew::ForEachFailure([&] {
        sixes += Thrown(&Alloc::Count, [] { SMtrx m(3, 2, true); }) == 6;
        sixes += Thrown(&Alloc::Count, [&] { SMtrx m(src); }) == 6;
    });
    EXPECT_EQ(fails, 2);  // one request for the elements and the row table, twice
    EXPECT_EQ(sixes, 2);
    // A failed assignment leaves the target as it was: shape, elements, checked subscripts.
    target[3][3] = 7.0;
    failnew::FailAt(1);
    EXPECT_EQ(Thrown(&Alloc::Count, [&] { target = src; }), 6);
    failnew::Disarm();
    EXPECT_EQ(target.GetRows() * 10 + target.GetCols(), 44u);
    EXPECT_EQ(target[3][3] + target[0][0], 7.0);
    EXPECT_EQ(Thrown(&Range::Index, [&] { target[4][0]; }), 4);
    target = src;
    EXPECT_EQ(Elems(target), Elems(src));
}

// Every subscript of both classes takes an integer of any type and refuses, at compile time, a
// floating-point one.
template <class M>
concept FloatSubscripts = requires(M& m, const M& c) { m[1.5]; } || requires(const M& c) { c[0][1.5f]; } ||
    requires(M& m) { m[0][1.5L]; } || requires(M& m) { m.GetValue(1.5, 0); } ||
    requires(M& m) { m.GetValue(0, 1.5); } || requires(M& m) { m.SetValue(0.5, 0, 1.0); } ||
    requires(M& m) { m.Val[1.5]; } || requires(M& m) { m.Val[0][1.5]; } ||
    requires(const M& c) { c.Val[0][1.5]; };
template <class V>
concept FloatSubscript = requires(V& v) { v[1.5]; } || requires(const V& c) { c[1.5f]; } ||
    requires(V& v) { v.GetValue(1.0); } || requires(V& v) { v.SetValue(2.5, 1.0); } ||
    requires(V& v) { v.Val[1.0]; } || requires(const V& c) { c.Val[1.0]; };
template <class M, class V>
concept IntegerSubscripts = requires(M& m, const M& c, V& v) {
    m[1L][short{0}] + c[1ull][0] + m.GetValue(1ll, 0u) + m.Val[char{1}][1L] + v[std::size_t{1}] +
        v.Val[1L] + v.GetValue(std::int8_t{1});
};
static_assert(!FloatSubscripts<SMtrx> && !FloatSubscripts<SMtrxNN> && !FloatSubscript<SVect>);
static_assert(IntegerSubscripts<SMtrx, SVect> && IntegerSubscripts<SMtrxNN, SVect>);

static_assert(std::is_nothrow_move_constructible_v<SMtrx> && std::is_nothrow_move_assignable_v<SMtrx>);
static_assert(std::is_nothrow_move_constructible_v<SMtrxNN> && std::is_nothrow_move_assignable_v<SMtrxNN>);

TEST(SMtrx, MovesHandTheStorageOverAndLeaveAnEmptyMatrix) {
    SMtrx a = Set(SMtrx(2, 3, true), {1, 2, 3, 4, 5, 6}), c(4, 4, false);
    const double* storage = a[1];
    failnew::FailAt(1);  // a heap request would throw
    SMtrx b(std::move(a));
    c = std::move(b);
    failnew::Disarm();
    EXPECT_EQ(c[1], storage);
    c.Val[2][1] = 9.0;  // Val stays with its own object
    EXPECT_EQ(Elems(c), V({1, 2, 3, 9, 5, 6}));
    for (SMtrx* m : {&a, &b}) {
        EXPECT_EQ(m->GetRows() + m->GetCols(), 0u);
        EXPECT_EQ(Thrown(&Range::Index, [&] { m->Val[1][1] = 1.0; }), 1);
        EXPECT_EQ(Thrown(&Alloc::Count, [&] { SMtrx copy(*m); }), 0);
        EXPECT_EQ(Thrown(&Range::Index, [&] { (*m)[1][1] = 1.0; }), 1);
        *m = c;
        EXPECT_EQ(Elems(*m), Elems(c));
    }
}

// Each a std::exception whose what() names the class and the fault.
TEST(ObjectErrors, WhatNamesTheClassAndTheFault) {
    const auto what = [](auto f) -> std::string {
        try {
            f();
        } catch (const std::exception& e) {
            return e.what();
        }
        return "nothing thrown";
    };
    SVect v(4), moved(2), taker(std::move(moved));
    SMtrx m(2, 3, true);
    SMtrxNN wide(2);
    static_cast<SMtrx&>(wide) = SMtrx(2, 3, false);
    EXPECT_EQ(what([&] { return double(moved.Val[0]); }),
              "SVect::RangeErr: subscript 0 is out of range (valid: none)");
    EXPECT_EQ(what([&] { (void)(m.GetValue(2, 4)); }),
              "SMtrx::RangeErr: column subscript 4 is out of range (valid: 1..3)");
    EXPECT_EQ(what([] { SMtrx(0x10000u, 0x10000u, false); }),
              "SMtrx::AllocErr: more elements than 32 bits can count: 65536 x 65536");
    failnew::FailAt(1);
    EXPECT_EQ(what([] { SMtrx(40, 50, false); }), "SMtrx::AllocErr: no memory for 40 x 50");
    failnew::Disarm();
    EXPECT_EQ(what([&] { (void)(v - SVect(4, true)); }),
              "SVect::OpeErr in SVect a - b: The suffix base of SVect objects is different between "
              "the operator.");
    EXPECT_EQ(what([&] { (void)(wide.Inv()); }), "SMtrx::OpeErr in SMtrxNN::Inv: the matrix is not square");
    // A moved-from matrix says so, in the exception class an empty one has always given.
    SMtrxNN a(2), b(std::move(a));
    EXPECT_EQ(what([&] { (void)a.Tran(); }),
              "SMtrx::AllocErr in SMtrxNN::Tran: the matrix was moved from and has no elements");
    EXPECT_EQ(what([&] { (void)(a * 2.0); }),
              "SMtrx::AllocErr in SMtrxNN s * a: the matrix was moved from and has no elements");
    EXPECT_EQ(what([&] { SMtrx copy(a); }),
              "SMtrx::AllocErr in a copy of SMtrx: the matrix was moved from and has no elements");
    EXPECT_EQ(what([&] { (void)a.Det(); }),
              "SMtrx::OpeErr in SMtrxNN::Det: the matrix was moved from and has no elements");
    // Either operand of an operator, and the source of an assignment, which is left as it was.
    EXPECT_EQ(what([&] { (void)(b * a); }),
              "SMtrx::AllocErr in SMtrxNN a * b: the matrix was moved from and has no elements");
    EXPECT_EQ(what([&] { (void)(SMtrxNN(b) + a); }),
              "SMtrx::AllocErr in SMtrxNN a + b: the matrix was moved from and has no elements");
    EXPECT_EQ(what([&] { b = a; }),
              "SMtrx::AllocErr in an assignment of SMtrx: the matrix was moved from and has no "
              "elements");
    EXPECT_EQ(b.GetRows(), 2u);
    EXPECT_EQ(what([&] { taker = moved; }),
              "SVect::AllocErr in an assignment of SVect: the vector was moved from and has no "
              "elements");
    EXPECT_EQ(taker.GetSize(), 2u);
    // Solve's operands that do not fit are named as what they are.
    EXPECT_EQ(what([&] { (void)b.Solve(SVect(3)); }),
              "SMtrx::OpeErr in SMtrxNN::Solve: the size of the SVect differs from the matrix's "
              "order");
    EXPECT_EQ(what([&] { (void)b.Solve(SVect(2, true)); }),
              "SMtrx::OpeErr in SMtrxNN::Solve: the suffix base of the SVect differs from the "
              "matrix's");
}

}  // namespace
