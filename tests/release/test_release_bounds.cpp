// The object layer's subscript checks in a release build.
//
// This executable links a copy of the library compiled with -O3 and NDEBUG whatever the build
// type, so a check that an optimiser drops or that hides behind NDEBUG fails here. Every
// accessor that checks is tried just below, at, and just above each end of the valid range, and
// far outside it; a refused write must leave the object as it was.
#if !defined(NDEBUG) || !defined(__OPTIMIZE__)
#error "this test must be compiled as a release build (optimised, NDEBUG)"
#endif

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"

namespace {

// The subscript that f refused, or -1 when it refused none.
template <class RangeErr, class F>
long long Refused(F f) {
    try {
        f();
    } catch (const RangeErr& e) {
        return e.Index;
    }
    return -1;
}

// Subscripts to try for a range of n starting at base: each with the subscript that must be
// reported, or -1 when it is valid.
std::vector<std::pair<unsigned, long long>> Probes(unsigned base, unsigned n) {
    std::vector<std::pair<unsigned, long long>> out;
    for (unsigned i : {base - 1u, base, base + n - 1u, base + n, base + n + 1u, 1000u, UINT_MAX}) {
        const bool valid = i - base < n;
        out.push_back({i, valid ? -1 : static_cast<long long>(i)});
    }
    return out;
}

std::vector<double> Elems(const SMtrx& m) {
    std::vector<double> out;
    const unsigned b = m.GetBase1();
    for (unsigned i = b; i - b < m.GetRows(); ++i)
        for (unsigned j = b; j - b < m.GetCols(); ++j) out.push_back(m.GetValue(i, j));
    return out;
}

std::vector<double> Elems(const SVect& v) {
    std::vector<double> out;
    const unsigned b = v.GetBase1();
    for (unsigned i = b; i - b < v.GetSize(); ++i) out.push_back(v.GetValue(i));
    return out;
}

// Every checked access of a matrix: the row subscript through each accessor, then the column
// subscript through those that check it (with a valid row).
template <class M>
void CheckMatrix(M& m) {
    using Err = SMtrx::RangeErr;
    const unsigned b = m.GetBase1();
    const M& c = m;
    for (const auto& [row, refusal] : Probes(b, m.GetRows())) {
        const unsigned i = row;
        const long long want = refusal;
        const std::vector<double> before = Elems(m);
        SCOPED_TRACE("row " + std::to_string(i));
        EXPECT_EQ(Refused<Err>([&] { m[i]; }), want);
        EXPECT_EQ(Refused<Err>([&] { c[i]; }), want);
        EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(i, b); }), want);
        EXPECT_EQ(Refused<Err>([&] { (void)c.Val[i][b]; }), want);
        // The same subscript 2^32 higher is refused by every accessor, and reported modulo 2^32.
        const std::uint64_t wide = i + (std::uint64_t{1} << 32);
        EXPECT_EQ(Refused<Err>([&] { m[wide]; }), i);
        EXPECT_EQ(Refused<Err>([&] { c[wide]; }), i);
        EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(wide, b); }), i);
        EXPECT_EQ(Refused<Err>([&] { (void)c.Val[wide][b]; }), i);
        EXPECT_EQ(Refused<Err>([&] { m.SetValue(wide, b, 99.0); }), i);
        EXPECT_EQ(Refused<Err>([&] { m.Val[wide][b] = 99.0; }), i);
        EXPECT_EQ(Elems(m), before);
        if (want >= 0) {
            EXPECT_EQ(Refused<Err>([&] { m.SetValue(i, b, 99.0); }), want);
            EXPECT_EQ(Refused<Err>([&] { m.Val[i][b] = 99.0; }), want);
            EXPECT_EQ(Elems(m), before);
        }
        // Both subscripts out of range: the row is the one reported.
        if (want >= 0) {
            EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(i, UINT_MAX); }), want);
        }
    }
    for (const auto& [col, refusal] : Probes(b, m.GetCols())) {
        const unsigned j = col;
        const long long want = refusal;
        if (want < 0) continue;
        const std::vector<double> before = Elems(m);
        SCOPED_TRACE("column " + std::to_string(j));
        EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(b, j); }), want);
        EXPECT_EQ(Refused<Err>([&] { (void)c.Val[b][j]; }), want);
        EXPECT_EQ(Refused<Err>([&] { (void)c[b][j]; }), want);
        EXPECT_EQ(Refused<Err>([&] { m[b][j] = 99.0; }), want);
        EXPECT_EQ(Refused<Err>([&] { m[b][static_cast<int>(j)] = 99.0; }), want);
        EXPECT_EQ(Refused<Err>([&] { m.SetValue(b, j, 99.0); }), want);
        EXPECT_EQ(Refused<Err>([&] { m.Val[b][j] = 99.0; }), want);
        EXPECT_EQ(Elems(m), before);
    }
    for (const auto& [col, refusal] : Probes(b, m.GetCols())) {
        const unsigned j = col;
        const std::uint64_t wide = j + (std::uint64_t{1} << 32);
        SCOPED_TRACE("column " + std::to_string(wide));
        const std::vector<double> before = Elems(m);
        EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(b, wide); }), j);
        EXPECT_EQ(Refused<Err>([&] { (void)c.Val[b][wide]; }), j);
        EXPECT_EQ(Refused<Err>([&] { (void)c[b][wide]; }), j);
        EXPECT_EQ(Refused<Err>([&] { m[b][wide] = 99.0; }), j);
        EXPECT_EQ(Refused<Err>([&] { m.SetValue(b, wide, 99.0); }), j);
        EXPECT_EQ(Refused<Err>([&] { m.Val[b][wide] = 99.0; }), j);
        EXPECT_EQ(Elems(m), before);
        // With a row outside the range too, the row is the one reported.
        EXPECT_EQ(Refused<Err>([&] { (void)m.GetValue(b + m.GetRows(), wide); }), b + m.GetRows());
        EXPECT_EQ(Refused<Err>([&] { m.Val[b + m.GetRows()][wide] = 99.0; }), b + m.GetRows());
        (void)refusal;
    }
}

TEST(ReleaseBuild, SMtrxChecksEverySubscript) {
    for (bool base1 : {false, true}) {
        SCOPED_TRACE(base1 ? "suffix base 1" : "suffix base 0");
        SMtrx m(3, 2, base1);
        m.SetValues(1.5);
        CheckMatrix(m);
    }
}

TEST(ReleaseBuild, SMtrxNNChecksEverySubscript) {
    for (bool base1 : {false, true}) {
        SCOPED_TRACE(base1 ? "suffix base 1" : "suffix base 0");
        SMtrxNN m(4, base1);
        m.SetValues(-2.0);
        CheckMatrix(m);
        // The operators that write through the checked accessors still work on valid data.
        const SMtrxNN t = (-m).Tran();
        EXPECT_EQ(Elems(t), std::vector<double>(16, 2.0));
    }
}

TEST(ReleaseBuild, SVectChecksEverySubscript) {
    using Err = SVect::RangeErr;
    for (bool base1 : {false, true}) {
        SCOPED_TRACE(base1 ? "suffix base 1" : "suffix base 0");
        SVect v(3, base1);
        const SVect& c = v;
        for (unsigned k = 0; k < 3; ++k) v[v.GetBase1() + k] = k + 1.0;
        for (const auto& [sub, refusal] : Probes(v.GetBase1(), v.GetSize())) {
            const unsigned i = sub;
            const long long want = refusal;
            const std::vector<double> before = Elems(v);
            SCOPED_TRACE("subscript " + std::to_string(i));
            EXPECT_EQ(Refused<Err>([&] { v[i]; }), want);
            EXPECT_EQ(Refused<Err>([&] { c[i]; }), want);
            EXPECT_EQ(Refused<Err>([&] { (void)v.GetValue(i); }), want);
            EXPECT_EQ(Refused<Err>([&] { (void)c.Val[i]; }), want);
            const std::uint64_t wide = i + (std::uint64_t{1} << 32);
            EXPECT_EQ(Refused<Err>([&] { v[wide]; }), i);
            EXPECT_EQ(Refused<Err>([&] { c[wide]; }), i);
            EXPECT_EQ(Refused<Err>([&] { (void)v.GetValue(wide); }), i);
            EXPECT_EQ(Refused<Err>([&] { (void)c.Val[wide]; }), i);
            EXPECT_EQ(Refused<Err>([&] { v.SetValue(wide, 99.0); }), i);
            EXPECT_EQ(Refused<Err>([&] { v.Val[wide] = 99.0; }), i);
            EXPECT_EQ(Elems(v), before);
            if (want >= 0) {
                EXPECT_EQ(Refused<Err>([&] { v.SetValue(i, 99.0); }), want);
                EXPECT_EQ(Refused<Err>([&] { v.Val[i] = 99.0; }), want);
                EXPECT_EQ(Refused<Err>([&] { v[i] = 99.0; }), want);
                EXPECT_EQ(Elems(v), before);
            }
        }
    }
}

}  // namespace
