// The vector printers and the matrix block on their own: labels, indentation, operator
// column, field widths, and the element sources (record and GetValue) giving the same text.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <string>
#include <vector>

#include "FmLinrun.h"
#include "ReportLines.h"
#include "objects/SMtrx.h"
#include "objects/SMtrxNN.h"
#include "objects/SVect.h"
#include "routines/Vect.h"

namespace {

using reports::ReportLines;
using Lines = std::vector<std::string>;

// A routine-layer vector holding values, released with the holder.
struct Record {
    Vect* v;
    Record(bool base1, const std::vector<double>& values) {
        v = GetVector(nullptr, static_cast<unsigned>(values.size()), base1);
        const unsigned b = base1 ? 1u : 0u;
        for (unsigned i = 0; i < values.size(); ++i) v->Elem[b + i] = values[i];
    }
    ~Record() { FreeVector(v); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
};

SVect Object(bool base1, const std::vector<double>& values) {
    SVect v(static_cast<unsigned>(values.size()), base1);
    const unsigned b = base1 ? 1u : 0u;
    for (unsigned i = 0; i < values.size(); ++i) v.SetValue(b + i, values[i]);
    return v;
}

Lines Printed(const char* label, const Record& r) {
    TFmLinrun fm;
    fm.PrintVector(label, r.v);
    return ReportLines(fm);
}

Lines Printed(const char* label, const SVect& v) {
    TFmLinrun fm;
    fm.PrintSVect(label, v);
    return ReportLines(fm);
}

Lines PrintedOp(const Record& a, const char* op, const Record& b, const Record& c) {
    TFmLinrun fm;
    fm.PrintVectOp(a.v, op, b.v, c.v);
    return ReportLines(fm);
}

Lines PrintedBlock(const char* prefix, const SMtrx& m) {
    TFmLinrun fm;
    fm.PrintSMtrx(prefix, m);
    return ReportLines(fm);
}

const std::vector<double> ValuesA = {6, -3, 4, 1};

}  // namespace

TEST(PrintVector, LabelOnTheFirstLineAndBarsInOneColumn) {
    const Lines expected = {
        "A = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
    };
    EXPECT_EQ(Printed("A =", Record(false, ValuesA)), expected);
}

TEST(PrintVector, BothSuffixBasesAndTheObjectPrintTheSameText) {
    const Lines base0 = Printed("0.1 * A =", Record(false, {0.6, -0.3, 0.4, 0.1}));
    ASSERT_EQ(base0.size(), 4u);
    EXPECT_EQ(base0[1], "          | -0.300000|");
    EXPECT_EQ(Printed("0.1 * A =", Record(true, {0.6, -0.3, 0.4, 0.1})), base0);
    EXPECT_EQ(Printed("0.1 * A =", Object(false, {0.6, -0.3, 0.4, 0.1})), base0);
    EXPECT_EQ(Printed("0.1 * A =", Object(true, {0.6, -0.3, 0.4, 0.1})), base0);
}

TEST(PrintVector, EmptyVectorPrintsNothing) {
    EXPECT_TRUE(Printed("A =", Record(false, {})).empty());
    EXPECT_TRUE(Printed("A =", Record(true, {})).empty());
}

// A character conversion always writes one character, so the continuation lines of an empty
// label start with two spaces while the first starts with one.
TEST(PrintVector, EmptyLabel) {
    const Lines expected = {" |  6.000000|", "  | -3.000000|"};
    EXPECT_EQ(Printed("", Record(false, {6, -3})), expected);
    EXPECT_EQ(Printed("", Object(true, {6, -3})), expected);
}

TEST(PrintVector, WideValuesWidenTheirFieldOnly) {
    const Lines expected = {
        "W = |1000.000000|",
        "    |-100.000000|",
        "    |999.999999|",
        "    |-99.999999|",
    };
    EXPECT_EQ(Printed("W =", Record(false, {1000.0, -100.0, 999.999999, -99.999999})), expected);
}

TEST(PrintVector, LargestDoubleIsPrintedWhole) {
    const Lines lines = Printed("v =", Object(false, {DBL_MAX, -DBL_MAX}));
    ASSERT_EQ(lines.size(), 2u);
    ASSERT_GT(lines[0].size(), 300u);
    EXPECT_EQ(lines[0].substr(0, 5), "v = |");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 8), ".000000|");
    EXPECT_EQ(std::strtod(lines[0].c_str() + 5, nullptr), DBL_MAX);
    EXPECT_EQ(lines[1].size(), lines[0].size() + 1);
    EXPECT_EQ(std::strtod(lines[1].c_str() + 5, nullptr), -DBL_MAX);
}

TEST(PrintVector, TinyNegativeKeepsItsSign) {
    const Lines expected = {"t = | -0.000000|", "    |  0.000000|"};
    EXPECT_EQ(Printed("t =", Record(false, {-1e-17, 1e-17})), expected);
}

TEST(PrintVectOp, FirstLineCarriesTheOperatorAndTheEqualsSign) {
    const Record a(false, ValuesA);
    const Record b(false, {2, 3, 1, -3});
    const Record c(false, {8, 0, 5, -2});
    const Lines expected = {
        "|  6.000000| + |  2.000000| = |  8.000000|",
        "| -3.000000|   |  3.000000|   |  0.000000|",
        "|  4.000000|   |  1.000000|   |  5.000000|",
        "|  1.000000|   | -3.000000|   | -2.000000|",
    };
    const Lines lines = PrintedOp(a, "+", b, c);
    EXPECT_EQ(lines, expected);
    for (const std::string& line : lines) EXPECT_EQ(line.size(), 42u);
}

TEST(PrintVectOp, TwoCharacterOperatorLeavesTwoSpaces) {
    const Record a(true, {1, 2});
    const Record b(true, {3, 4});
    const Record c(true, {5, 6});
    const Lines expected = {
        "|  1.000000| <> |  3.000000| = |  5.000000|",
        "|  2.000000|    |  4.000000|   |  6.000000|",
    };
    EXPECT_EQ(PrintedOp(a, "<>", b, c), expected);
}

TEST(PrintVectOp, EmptyVectorsPrintNothing) {
    const Record e(false, {});
    EXPECT_TRUE(PrintedOp(e, "+", e, e).empty());
}

TEST(PrintSMtrx, ContinuationPrefixHasTheWidthOfTheFirst) {
    SMtrx m(2, 4, false);
    const double rows[2][4] = {{1, 2, -2, 1}, {-1, -2, 2, 1}};
    for (unsigned i = 0; i < 2; ++i)
        for (unsigned j = 0; j < 4; ++j) m.SetValue(i, j, rows[i][j]);
    const Lines expected = {
        "M = |  1.000000   2.000000  -2.000000   1.000000|",
        "    | -1.000000  -2.000000   2.000000   1.000000|",
    };
    const Lines lines = PrintedBlock("M = |", m);
    EXPECT_EQ(lines, expected);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.size(), 49u);
        EXPECT_EQ(line.find('|'), 4u);
    }
}

// The class suite prints only suffix-base-0 matrices; one with suffix base 1 is read from its
// own first subscript and prints the same text instead of raising a range error.
TEST(PrintSMtrx, SuffixBaseOneMatrixPrintsTheSameText) {
    SMtrx base0(2, 3, false);
    SMtrx base1(2, 3, true);
    for (unsigned i = 0; i < 2; ++i) {
        for (unsigned j = 0; j < 3; ++j) {
            base0.SetValue(i, j, 10.0 * i - j);
            base1.SetValue(i + 1, j + 1, 10.0 * i - j);
        }
    }
    const Lines expected = {
        "M = |  0.000000  -1.000000  -2.000000|",
        "    | 10.000000   9.000000   8.000000|",
    };
    EXPECT_EQ(PrintedBlock("M = |", base0), expected);
    EXPECT_EQ(PrintedBlock("M = |", base1), expected);
}

TEST(PrintSMtrx, SquareMatrixAndWideValues) {
    SMtrxNN p(2);
    p.SetValue(0, 0, 1000.0);
    p.SetValue(0, 1, -0.2);
    p.SetValue(1, 0, -1e-17);
    p.SetValue(1, 1, 0.5);
    const Lines expected = {
        "P = |1000.000000  -0.200000|",
        "    | -0.000000   0.500000|",
    };
    EXPECT_EQ(PrintedBlock("P = |", p), expected);
}
