// The square-matrix printers on their own: layout of the label and the bars, field widths,
// signs, and the two element sources (row table and GetValue) giving the same text.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdlib>
#include <string>
#include <vector>

#include "FmQuadrun.h"
#include "ReportLines.h"
#include "objects/SMtrxNN.h"
#include "routines/MtrxNN.h"

namespace {

using reports::ReportLines;

// A routine-layer matrix of order n, filled row by row from values, released with the holder.
struct Record {
    MtrxNN* m;
    Record(unsigned n, bool base1, const std::vector<double>& values) {
        m = GetMatrixNN(nullptr, n, base1);
        const unsigned b = base1 ? 1u : 0u;
        for (unsigned i = 0; i < n; ++i)
            for (unsigned j = 0; j < n; ++j) m->Elem[b + i][b + j] = values[i * n + j];
    }
    ~Record() { FreeMatrixNN(m); }
    Record(const Record&) = delete;
    Record& operator=(const Record&) = delete;
};

std::vector<std::string> Printed(const char* label, const Record& r) {
    TFmQuadrun fm;
    fm.PrintMtrxNN(label, r.m);
    return ReportLines(fm);
}

std::vector<std::string> Printed(const char* label, const SMtrxNN& a) {
    TFmQuadrun fm;
    fm.PrintSMtrxNN(label, a);
    return ReportLines(fm);
}

SMtrxNN Object(unsigned n, bool base1, const std::vector<double>& values) {
    SMtrxNN a(n, base1);
    const unsigned b = base1 ? 1u : 0u;
    for (unsigned i = 0; i < n; ++i)
        for (unsigned j = 0; j < n; ++j) a.SetValue(b + i, j + b, values[i * n + j]);
    return a;
}

const std::vector<double> Identity4 = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

TEST(PrintMtrxNN, LabelOnTheFirstRowAndBarsInOneColumn) {
    const Record r(4, false, Identity4);
    const std::vector<std::string> expected = {
        "A = |  1.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   1.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   1.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   1.000000|",
    };
    EXPECT_EQ(Printed("A =", r), expected);
}

TEST(PrintMtrxNN, OrderOnePrintsOneFieldAndTheBar) {
    const Record r(1, false, {-3.0});
    EXPECT_EQ(Printed("x =", r), std::vector<std::string>{"x = | -3.000000|"});
}

TEST(PrintMtrxNN, NineCharacterLabelIndentsTenSpaces) {
    const Record r(2, false, {0.6, -0.3, 0.4, 0.0});
    const std::vector<std::string> expected = {
        "0.1 * A = |  0.600000  -0.300000|",
        "          |  0.400000   0.000000|",
    };
    EXPECT_EQ(Printed("0.1 * A =", r), expected);
}

// 999.999999 and -99.999999 fill the ten columns exactly; 1000 and -100 need eleven and push
// the rest of their own line only.
TEST(PrintMtrxNN, WideValuesWidenTheirFieldOnly) {
    const Record r(2, false, {1000.0, -100.0, 999.999999, -99.999999});
    const std::vector<std::string> expected = {
        "W = |1000.000000 -100.000000|",
        "    |999.999999 -99.999999|",
    };
    EXPECT_EQ(Printed("W =", r), expected);
}

TEST(PrintMtrxNN, LargestDoubleIsPrintedWhole) {
    const Record r(1, false, {DBL_MAX});
    const std::vector<std::string> lines = Printed("M =", r);
    ASSERT_EQ(lines.size(), 1u);
    const std::string& line = lines[0];
    ASSERT_GT(line.size(), 300u);
    EXPECT_EQ(line.substr(0, 5), "M = |");
    EXPECT_EQ(line.substr(line.size() - 8), ".000000|");
    EXPECT_EQ(std::strtod(line.c_str() + 5, nullptr), DBL_MAX);
}

TEST(PrintMtrxNN, TinyNegativeKeepsItsSign) {
    const Record r(2, false, {-1e-17, 1e-17, -0.0, -4e-7});
    const std::vector<std::string> expected = {
        "T = | -0.000000   0.000000|",
        "    | -0.000000  -0.000000|",
    };
    EXPECT_EQ(Printed("T =", r), expected);
}

TEST(PrintMtrxNN, BothSuffixBasesPrintTheSameText) {
    const std::vector<double> values = {6, -3, 4, 1, 4, 2, 4, 0, 4, -2, 3, 1, 4, 2, 3, 9};
    const Record base0(4, false, values);
    const Record base1(4, true, values);
    const std::vector<std::string> lines = Printed("B =", base0);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3], "    |  4.000000   2.000000   3.000000   9.000000|");
    EXPECT_EQ(Printed("B =", base1), lines);
}

TEST(PrintSMtrxNN, PrintsWhatTheRecordPrinterPrintsForEitherBase) {
    const std::vector<double> values = {-1, 3, 2, 1, 2, 1, -3, 2, -3, 4, 1, 1, 3, 4, 2, -1};
    const Record record(4, true, values);
    const std::vector<std::string> expected = Printed("C (= B) =", record);
    EXPECT_EQ(Printed("C (= B) =", Object(4, false, values)), expected);
    EXPECT_EQ(Printed("C (= B) =", Object(4, true, values)), expected);
}

TEST(PrintSMtrxNN, OrderOneAndOrderTwo) {
    EXPECT_EQ(Printed("x =", Object(1, false, {0.5})), std::vector<std::string>{"x = |  0.500000|"});
    const std::vector<std::string> expected = {
        "L = M * N = |  3.000000   3.000000|",
        "            | -3.000000  -3.000000|",
    };
    EXPECT_EQ(Printed("L = M * N =", Object(2, true, {3, 3, -3, -3})), expected);
}
