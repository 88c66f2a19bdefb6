// quadrun's whole report, line by line, and what its routine suite does when the heap fails.
//
// The expected text is written out from the values the fixed data give. Three kinds of entry
// depend on rounding and are derived rather than written:
// - products that are the identity only up to rounding (D * AI, A * A^-1): their diagonal
//   entries lie a few units in the last place from 1 and print 1.000000, but the sign of an
//   off-diagonal error of about 1e-17 decides between 0.000000 and -0.000000;
// - the entries of A^-1 whose exact value is 0: whether they come out +0.0, -0.0 or a tiny
//   error depends on the exact bits of the decomposition.
// Those entries are computed here by an independent implementation of the same arithmetic in
// the same order (ReferenceInverse.h); only their signs enter the expected text. Every other
// value is exact or lies far from a rounding boundary of the sixth decimal: 0.1 * A prints
// 0.600000 for 0.6000000000000001, the tenths of test 11 sum up to within a few units in the
// last place, and -126 and 16 print the same whatever the last bits of the determinants.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FailingHeap.h"
#include "FmMain.h"
#include "ReferenceInverse.h"
#include "ReportCapture.h"
#include "ReportLines.h"
#include "objects/SMtrx.h"

namespace {

using reference::Matrix;
using reports::ReportLines;
using reports::ZeroField;

const Matrix DataA = {{6, -3, 4, 1}, {4, 2, 4, 0}, {4, -2, 3, 1}, {4, 2, 3, 1}};
const Matrix DataD = {{-1, 3, 2, 1}, {2, 1, -3, 2}, {-3, 4, 1, 1}, {3, 4, 2, -1}};

// The block of a product p that is the identity up to rounding, under label.
std::vector<std::string> IdentityBlock(const std::string& label, const Matrix& p) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < p.size(); ++i) {
        std::string line = i == 0 ? label + " |" : std::string(label.size() + 1, ' ') + "|";
        for (std::size_t j = 0; j < p.size(); ++j) {
            EXPECT_NEAR(p[i][j], i == j ? 1.0 : 0.0, 1e-12) << "entry " << i << ", " << j;
            line += i == j ? "  1.000000" : ZeroField(p[i][j]);
            line += j + 1 == p.size() ? '|' : ' ';
        }
        lines.push_back(line);
    }
    return lines;
}

void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
}

std::vector<std::string> ExpectedRoutineSuite() {
    std::vector<std::string> lines = {
        "GetMatrixNN(...) & FreeMatrixNN(...)...",
        "A = |  1.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   1.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   1.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   1.000000|",
        "B = |  1.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   1.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   1.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   1.000000|",
        "",
        "SetMtrxNNO(...)...",
        "A = |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "B = |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "    |  0.000000   0.000000   0.000000   0.000000|",
        "",
        "AddMtrxNN(...)...",
        "    A = |  6.000000  -3.000000   4.000000   1.000000|",
        "        |  4.000000   2.000000   4.000000   0.000000|",
        "        |  4.000000  -2.000000   3.000000   1.000000|",
        "        |  4.000000   2.000000   3.000000   1.000000|",
        "    B = |  2.000000   3.000000   1.000000  -3.000000|",
        "        | -1.000000   2.000000   2.000000   4.000000|",
        "        |  4.000000   1.000000  -3.000000   5.000000|",
        "        |  5.000000  -4.000000  -4.000000   1.000000|",
        "A + B = |  8.000000   0.000000   5.000000  -2.000000|",
        "        |  3.000000   4.000000   6.000000   4.000000|",
        "        |  8.000000  -1.000000   0.000000   6.000000|",
        "        |  9.000000  -2.000000  -1.000000   2.000000|",
        "",
        "SubMtrxNN(...)...",
        "    A = |  6.000000  -3.000000   4.000000   1.000000|",
        "        |  4.000000   2.000000   4.000000   0.000000|",
        "        |  4.000000  -2.000000   3.000000   1.000000|",
        "        |  4.000000   2.000000   3.000000   1.000000|",
        "    B = |  2.000000   3.000000   1.000000  -3.000000|",
        "        | -1.000000   2.000000   2.000000   4.000000|",
        "        |  4.000000   1.000000  -3.000000   5.000000|",
        "        |  5.000000  -4.000000  -4.000000   1.000000|",
        "A - B = |  4.000000  -6.000000   3.000000   4.000000|",
        "        |  5.000000   0.000000   2.000000  -4.000000|",
        "        |  0.000000  -3.000000   6.000000  -4.000000|",
        "        | -1.000000   6.000000   7.000000   0.000000|",
        "",
        "SclMtrxNN(...)...",
        "      A = |  6.000000  -3.000000   4.000000   1.000000|",
        "          |  4.000000   2.000000   4.000000   0.000000|",
        "          |  4.000000  -2.000000   3.000000   1.000000|",
        "          |  4.000000   2.000000   3.000000   1.000000|",
        "0.1 * A = |  0.600000  -0.300000   0.400000   0.100000|",
        "          |  0.400000   0.200000   0.400000   0.000000|",
        "          |  0.400000  -0.200000   0.300000   0.100000|",
        "          |  0.400000   0.200000   0.300000   0.100000|",
        "",
        "MulMtrxNN(...)...",
        "    A = |  6.000000  -3.000000   4.000000   1.000000|",
        "        |  4.000000   2.000000   4.000000   0.000000|",
        "        |  4.000000  -2.000000   3.000000   1.000000|",
        "        |  4.000000   2.000000   3.000000   1.000000|",
        "    B = |  2.000000   3.000000   1.000000  -3.000000|",
        "        | -1.000000   2.000000   2.000000   4.000000|",
        "        |  4.000000   1.000000  -3.000000   5.000000|",
        "        |  5.000000  -4.000000  -4.000000   1.000000|",
        "A * B = | 36.000000  12.000000 -16.000000  -9.000000|",
        "        | 22.000000  20.000000  -4.000000  16.000000|",
        "        | 27.000000   7.000000 -13.000000  -4.000000|",
        "        | 23.000000  15.000000  -5.000000  12.000000|",
        "",
        "TrnMtrxNN(...)...",
        "  A = |  6.000000  -3.000000   4.000000   1.000000|",
        "      |  4.000000   2.000000   4.000000   0.000000|",
        "      |  4.000000  -2.000000   3.000000   1.000000|",
        "      |  4.000000   2.000000   3.000000   1.000000|",
        "A^T = |  6.000000   4.000000   4.000000   4.000000|",
        "      | -3.000000   2.000000  -2.000000   2.000000|",
        "      |  4.000000   4.000000   3.000000   3.000000|",
        "      |  1.000000   0.000000   1.000000   1.000000|",
        "",
        "DetNNbyRef(...)...",
        "det(A) = -126.000000",
        "",
        "DetNN(...)...",
        "det(A) = -126.000000",
        "",
        "DetNN2(...)...",
        "det(A) = -126.000000",
        "",
        "DetLog10(...)...",
        "log10(|det(A)|) = 2.100371 sign = -1",
        "det(A) = -126.000000",
        "",
        "IsSingularMtrxNN(...)...",
        "det(A) = -126.000000, (this is not singular.)",
        "",
        "InvMtrxNN(...)...",
        "     AI = |  0.150794   0.087302  -0.230159   0.095238|",
        "          | -0.190476   0.047619   0.238095   0.142857|",
        "          |  0.507937  -0.126984  -0.301587  -0.047619|",
        "          |  0.706349   0.198413  -0.341270  -0.238095|",
    };
    Append(lines, IdentityBlock("A *  AI =", reference::Product(DataD, reference::Inverse(DataD))));
    lines.push_back("");
    return lines;
}

std::vector<std::string> ExpectedClassSuite() {
    const Matrix inverse = reference::Inverse(DataA);
    std::vector<std::string> lines = {
        "SMtrxNN(...), Val[i][j] and operator[]...",
        "A = |  6.000000  -3.000000   4.000000   1.000000|",
        "    |  4.000000   2.000000   4.000000   0.000000|",
        "    |  4.000000  -2.000000   3.000000   1.000000|",
        "    |  4.000000   2.000000   3.000000   1.000000|",
        "",
        "SMtrxNN(..., bool ), Val[i][j] and operator[]...",
        "B = |  6.000000  -3.000000   4.000000   1.000000|",
        "    |  4.000000   2.000000   4.000000   0.000000|",
        "    |  4.000000  -2.000000   3.000000   1.000000|",
        "    |  4.000000   2.000000   3.000000   9.000000|",
        "",
        "SMtrxNN Copy constructor...",
        "C (= B) = |  6.000000  -3.000000   4.000000   1.000000|",
        "          |  4.000000   2.000000   4.000000   0.000000|",
        "          |  4.000000  -2.000000   3.000000   1.000000|",
        "          |  4.000000   2.000000   3.000000   9.000000|",
        "",
        "Operator +A & -A...",
        "C (= +A) = |  6.000000  -3.000000   4.000000   1.000000|",
        "           |  4.000000   2.000000   4.000000   0.000000|",
        "           |  4.000000  -2.000000   3.000000   1.000000|",
        "           |  4.000000   2.000000   3.000000   1.000000|",
        "",
        "C (= -A) = | -6.000000   3.000000  -4.000000  -1.000000|",
        "           | -4.000000  -2.000000  -4.000000  -0.000000|",
        "           | -4.000000   2.000000  -3.000000  -1.000000|",
        "           | -4.000000  -2.000000  -3.000000  -1.000000|",
        "",
        "Operator = & *= double...",
        "C (= 2A) = | 12.000000  -6.000000   8.000000   2.000000|",
        "           |  8.000000   4.000000   8.000000   0.000000|",
        "           |  8.000000  -4.000000   6.000000   2.000000|",
        "           |  8.000000   4.000000   6.000000   2.000000|",
        "",
        "Operator += & -= ...",
        "C (= A) = |  6.000000  -3.000000   4.000000   1.000000|",
        "          |  4.000000   2.000000   4.000000   0.000000|",
        "          |  4.000000  -2.000000   3.000000   1.000000|",
        "          |  4.000000   2.000000   3.000000   1.000000|",
        "C (= A - A) = |  0.000000   0.000000   0.000000   0.000000|",
        "              |  0.000000   0.000000   0.000000   0.000000|",
        "              |  0.000000   0.000000   0.000000   0.000000|",
        "              |  0.000000   0.000000   0.000000   0.000000|",
        "",
        "Operator +, -, * double & double *...",
        "D = | 12.000000  -6.000000   8.000000   2.000000|",
        "    |  8.000000   4.000000   8.000000   0.000000|",
        "    |  8.000000  -4.000000   6.000000   2.000000|",
        "    |  8.000000   4.000000   6.000000  18.000000|",
        "C (= 2A - 0.5D + D = 2A + B) = | 18.000000  -9.000000  12.000000   3.000000|",
        "                               | 12.000000   6.000000  12.000000   0.000000|",
        "                               | 12.000000  -6.000000   9.000000   3.000000|",
        "                               | 12.000000   6.000000   9.000000  11.000000|",
        "",
        "Operator *...",
        "        M = |  1.000000   2.000000|",
        "            | -1.000000  -2.000000|",
        "        N = |  1.000000   1.000000|",
        "            |  1.000000   1.000000|",
        "L = M * N = |  3.000000   3.000000|",
        "            | -3.000000  -3.000000|",
        "",
        "Member SetValues(...)...",
        "C(0.5) = |  0.500000   0.500000   0.500000   0.500000|",
        "         |  0.500000   0.500000   0.500000   0.500000|",
        "         |  0.500000   0.500000   0.500000   0.500000|",
        "         |  0.500000   0.500000   0.500000   0.500000|",
        "",
        "Member SetValue(...)...",
        "C(1, 1, 1.0) = |  0.500000   0.500000   0.500000   0.500000|",
        "               |  0.500000   1.000000   0.500000   0.500000|",
        "               |  0.500000   0.500000   0.500000   0.500000|",
        "               |  0.500000   0.500000   0.500000   0.500000|",
        "",
        "Member SetValue(...)...",
        "C = |  0.100000   0.200000   0.300000   0.400000|",
        "    |  0.500000   0.600000   0.700000   0.800000|",
        "    |  0.900000   1.000000   1.100000   1.200000|",
        "    |  1.300000   1.400000   1.500000   1.600000|",
        "",
        "Member Tran(...)...",
        "C = |  0.100000   0.500000   0.900000   1.300000|",
        "    |  0.200000   0.600000   1.000000   1.400000|",
        "    |  0.300000   0.700000   1.100000   1.500000|",
        "    |  0.400000   0.800000   1.200000   1.600000|",
        "",
        "Member Det(...)...",
        "Det(A) = 16.000000",
        "",
        "Member Inv(...)...",
        "A^-1 = |  1.000000  -0.250000  -1.375000   0.375000|",
        "       |" + ZeroField(inverse[1][0]) + " " + ZeroField(inverse[1][1]) + "  -0.250000   0.250000|",
        "       | -1.000000   0.500000   1.500000  -0.500000|",
        "       | -1.000000  -0.500000   1.500000   0.500000|",
    };
    Append(lines, IdentityBlock("A * A^-1 =", reference::Product(DataA, inverse)));
    Append(lines, {"", "IsSingular()...", "A is not singular.", ""});
    return lines;
}

std::vector<std::string> ExpectedReport() {
    std::vector<std::string> lines = ExpectedRoutineSuite();
    Append(lines, ExpectedClassSuite());
    return lines;
}

void ExpectLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "report line " << i + 1;
}

std::ptrdiff_t Find(const std::vector<std::string>& lines, const std::string& line) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

}  // namespace

TEST(QuadrunReport, ExpectedTextHasTheLineCountsOfBothSuites) {
    EXPECT_EQ(ExpectedRoutineSuite().size(), 108u);
    EXPECT_EQ(ExpectedClassSuite().size(), 103u);
}

// The oracle for the rounding-dependent entries must itself find the inverses: D^-1 is
// (19 11 -29 12 / -24 6 30 18 / 64 -16 -38 -6 / 89 25 -43 -30) / 126, and A^-1 has the
// dyadic entries of the class suite.
TEST(QuadrunReport, ReferenceArithmeticFindsTheInverses) {
    const Matrix times126 = {{19, 11, -29, 12}, {-24, 6, 30, 18}, {64, -16, -38, -6},
                             {89, 25, -43, -30}};
    const Matrix inverseA = {{1, -0.25, -1.375, 0.375}, {0, 0, -0.25, 0.25},
                             {-1, 0.5, 1.5, -0.5}, {-1, -0.5, 1.5, 0.5}};
    const Matrix dInv = reference::Inverse(DataD);
    const Matrix aInv = reference::Inverse(DataA);
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            EXPECT_NEAR(dInv[i][j] * 126.0, times126[i][j], 1e-12);
            EXPECT_NEAR(aInv[i][j], inverseA[i][j], 1e-15);
        }
    }
}

TEST(QuadrunReport, RunWritesTheRoutineSuiteThenTheClassSuite) {
    TFmMain fm;
    fm.SpBtnRunClick(nullptr);
    ExpectLines(ReportLines(fm), ExpectedReport());
}

TEST(QuadrunReport, EachSuiteWritesItsOwnPart) {
    TFmMain routine;
    routine.MtrxNNRoutineSuite();
    ExpectLines(ReportLines(routine), ExpectedRoutineSuite());

    TFmMain objects;
    objects.SMtrxNNClassSuite();
    ExpectLines(ReportLines(objects), ExpectedClassSuite());
}

TEST(QuadrunReport, SecondRunReplacesTheFirstWithTheSameReport) {
    TFmMain fm;
    fm.SpBtnRunClick(nullptr);
    const std::vector<std::string> first = ReportLines(fm);
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportLines(fm), first);
    EXPECT_EQ(first.size(), 211u);
}

// Each heap request the routine suite makes fails once in turn. The suite never touches a null
// record: a matrix it cannot make ends it after a line saying so, and a failed InvMtrxNN puts
// one line in place of the blocks of AI and A * AI. Everything is released either way (the
// sanitized build checks for leaks).
TEST(QuadrunRoutineSuite, SurvivesEveryFailedHeapRequest) {
    ReportCapture capture;
    const std::string endsHere = "GetMatrixNN(...) failed: the suite ends here.";
    const std::string noInverse = "InvMtrxNN(...) failed: AI and A * AI are not printed.";
    const std::vector<std::string> expected = ExpectedRoutineSuite();

    long requests = 0;
    {
        TFmMain fm;
        failheap::Guard guard;
        failheap::Count();
        fm.MtrxNNRoutineSuite();
        requests = failheap::Requests();
    }
    ASSERT_GT(requests, 0);

    int abandoned = 0;
    int inverseFailures = 0;
    for (long n = 1; n <= requests; ++n) {
        SCOPED_TRACE("failing heap request " + std::to_string(n));
        TFmMain fm;
        {
            failheap::Guard guard;
            failheap::FailAt(n);
            fm.MtrxNNRoutineSuite();
            EXPECT_TRUE(failheap::Failed());
        }
        const std::vector<std::string> lines = ReportLines(fm);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines.back(), "");
        for (std::size_t i = 0; i + 1 < lines.size(); ++i)
            EXPECT_FALSE(lines[i].empty() && lines[i + 1].empty()) << "two blank lines at " << i;

        const std::ptrdiff_t end = Find(lines, endsHere);
        const std::ptrdiff_t inverse = Find(lines, noInverse);
        if (end >= 0) {
            ++abandoned;
            EXPECT_EQ(static_cast<std::size_t>(end), lines.size() - 2);
        } else if (inverse >= 0) {
            // Everything before test 13 ran untouched; its header, the line, the blank.
            ++inverseFailures;
            std::vector<std::string> want(expected.begin(), expected.begin() + 99);
            Append(want, {noInverse, ""});
            ExpectLines(lines, want);
        } else {
            EXPECT_EQ(lines.size(), expected.size());
        }
    }
    EXPECT_GT(abandoned, 0);
    EXPECT_GT(inverseFailures, 0);
}

// The class suite under the same failures: the object layer answers with its own results or
// exceptions, and an exception passing through the suite releases every object made so far.
TEST(QuadrunClassSuite, ReleasesEverythingWhenTheHeapFails) {
    ReportCapture capture;
    long requests = 0;
    {
        TFmMain fm;
        failheap::Guard guard;
        failheap::Count();
        fm.SMtrxNNClassSuite();
        requests = failheap::Requests();
    }
    for (long n = 1; n <= requests; ++n) {
        SCOPED_TRACE("failing heap request " + std::to_string(n));
        TFmMain fm;
        failheap::Guard guard;
        failheap::FailAt(n);
        try {
            fm.SMtrxNNClassSuite();
        } catch (const SMtrx::AllocErr&) {
            // Inv cannot make its work copy; the Run would end here.
        }
        EXPECT_TRUE(failheap::Failed());
        EXPECT_LE(fm.Memo->Lines->Count(), 103);
    }
}
