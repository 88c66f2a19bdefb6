// linrun's whole report, line by line, and what its routine suite does when the heap fails.
//
// The expected text is written out from the values the fixed data give. None of them sits
// near a rounding boundary of the sixth decimal: 0.1 * A prints 0.600000 for
// 0.6000000000000001, and -0.2 + 2.0 prints 1.800000; every zero in the report is a +0.0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FailingHeap.h"
#include "FmMain.h"
#include "ReportCapture.h"
#include "ReportLines.h"

namespace {

using reports::ReportLines;

const std::vector<std::string> RoutineSuite = {
        "GetVector(...) & FreeVector(...)...",
        "A = |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "B = |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "",
        "SetMtrxO(...)...",
        "A = |  0.000000|",
        "    |  0.000000|",
        "    |  0.000000|",
        "    |  0.000000|",
        "B = |  0.000000|",
        "    |  0.000000|",
        "    |  0.000000|",
        "    |  0.000000|",
        "",
        "AddVect(...)...",
        "|  6.000000| + |  2.000000| = |  8.000000|",
        "| -3.000000|   |  3.000000|   |  0.000000|",
        "|  4.000000|   |  1.000000|   |  5.000000|",
        "|  1.000000|   | -3.000000|   | -2.000000|",
        "",
        "SubVect(...)...",
        "|  6.000000| - |  2.000000| = |  4.000000|",
        "| -3.000000|   |  3.000000|   | -6.000000|",
        "|  4.000000|   |  1.000000|   |  3.000000|",
        "|  1.000000|   | -3.000000|   |  4.000000|",
        "",
        "SclVect(...)...",
        "A = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
        "0.1 * A = |  0.600000|",
        "          | -0.300000|",
        "          |  0.400000|",
        "          |  0.100000|",
        "",
        "MulVect(...)...",
        "A = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
        "B = |  2.000000|",
        "    |  3.000000|",
        "    |  1.000000|",
        "    | -3.000000|",
        "A * B = 4.000000",
        "",
        "MtrxbyVect(...)...",
        "A = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
        "C = 0.5I * A = |  3.000000|",
        "               | -1.500000|",
        "               |  2.000000|",
        "               |  0.500000|",
        "",
};

const std::vector<std::string> ClassSuite = {
        "SVect(...), Val[i][j] and operator[]...",
        "A = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
        "",
        "SVect(..., bool ), Val[i][j] and operator[]...",
        "B = |  6.000000|",
        "    | -3.000000|",
        "    |  4.000000|",
        "    |  1.000000|",
        "",
        "SVect Copy constructor...",
        "C (= B) = |  6.000000|",
        "          | -3.000000|",
        "          |  4.000000|",
        "          |  1.000000|",
        "",
        "Operator +A & -A...",
        "C (= +A) = |  6.000000|",
        "           | -3.000000|",
        "           |  4.000000|",
        "           |  1.000000|",
        "",
        "C (= -A) = | -6.000000|",
        "           |  3.000000|",
        "           | -4.000000|",
        "           | -1.000000|",
        "",
        "Operator = & *= double...",
        "C (= 2A) = | 12.000000|",
        "           | -6.000000|",
        "           |  8.000000|",
        "           |  2.000000|",
        "",
        "Operator +, -, * double & double *...",
        "D = | 12.000000|",
        "    | -6.000000|",
        "    |  8.000000|",
        "    |  2.000000|",
        "C (= 2A - 0.5D + D = 2A + B = 3A) = | 18.000000|",
        "                                    | -9.000000|",
        "                                    | 12.000000|",
        "                                    |  3.000000|",
        "",
        "Operator *...",
        "M = |  1.000000   2.000000  -2.000000   1.000000|",
        "    | -1.000000  -2.000000   2.000000   1.000000|",
        "N = |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "    |  0.000000|",
        "L = M * N = |  1.000000|",
        "            | -1.000000|",
        "",
        "P = |  1.000000   2.000000  -2.000000   1.000000|",
        "    | -1.000000  -2.000000   2.000000   1.000000|",
        "    |  1.000000  -2.000000   2.000000   1.000000|",
        "    | -1.000000   2.000000  -2.000000   1.000000|",
        "X = |  1.000000|",
        "    |  0.500000|",
        "    |  1.000000|",
        "    | -0.200000|",
        "Y = P * X = | -0.200000|",
        "            | -0.200000|",
        "            |  1.800000|",
        "            | -2.200000|",
        "",
        "Operator |...",
        "N = |  1.000000|",
        "    |  1.000000|",
        "    |  1.000000|",
        "    |  0.000000|",
        "N | N = 3.000000",
        "",
};

std::vector<std::string> Report() {
    std::vector<std::string> lines = RoutineSuite;
    lines.insert(lines.end(), ClassSuite.begin(), ClassSuite.end());
    return lines;
}

void ExpectLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "report line " << i + 1;
}

}  // namespace

TEST(LinrunReport, ExpectedTextHasTheLineCountsOfBothSuites) {
    EXPECT_EQ(RoutineSuite.size(), 63u);
    EXPECT_EQ(ClassSuite.size(), 75u);
}

TEST(LinrunReport, RunWritesTheRoutineSuiteThenTheClassSuite) {
    TFmMain fm;
    fm.SpBtnRunClick(nullptr);
    ExpectLines(ReportLines(fm), Report());
}

TEST(LinrunReport, EachSuiteWritesItsOwnPart) {
    TFmMain routine;
    routine.VectRoutineSuite();
    ExpectLines(ReportLines(routine), RoutineSuite);

    TFmMain objects;
    objects.SVectClassSuite();
    ExpectLines(ReportLines(objects), ClassSuite);
}

TEST(LinrunReport, SecondRunReplacesTheFirstWithTheSameReport) {
    TFmMain fm;
    fm.SpBtnRunClick(nullptr);
    const std::vector<std::string> first = ReportLines(fm);
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportLines(fm), first);
    EXPECT_EQ(first.size(), 138u);
}

// Each heap request of a Run fails once in turn. When GetVector or GetMatrix yields null the
// routine suite says so, releases what it holds and ends, touching no null record; the class
// suite, which does not use the routine heap, still writes all of its lines. Everything is
// released either way (the sanitized build checks for leaks).
TEST(LinrunRoutineSuite, EndsCleanlyWhenAnAllocationFails) {
    ReportCapture capture;
    long requests = 0;
    {
        TFmMain fm;
        failheap::Guard guard;
        failheap::Count();
        fm.SpBtnRunClick(nullptr);
        requests = failheap::Requests();
    }
    // Four records of two blocks each (A, B twice, C) and M of three.
    ASSERT_GE(requests, 11);

    bool sawVector = false;
    bool sawMatrix = false;
    for (long n = 1; n <= requests; ++n) {
        SCOPED_TRACE("failing heap request " + std::to_string(n));
        TFmMain fm;
        {
            failheap::Guard guard;
            failheap::FailAt(n);
            fm.SpBtnRunClick(nullptr);
            EXPECT_TRUE(failheap::Failed());
        }
        const std::vector<std::string> lines = ReportLines(fm);
        ASSERT_GT(lines.size(), ClassSuite.size() + 2);
        const std::size_t split = lines.size() - ClassSuite.size();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(split), lines.end()),
                  ClassSuite);

        // The routine part: what ran untouched, then the line that ends it and a blank.
        const std::string& last = lines[split - 2];
        if (last == "GetVector(...) failed: the suite ends here.") sawVector = true;
        else if (last == "GetMatrix(...) failed: the suite ends here.") sawMatrix = true;
        else ADD_FAILURE() << "no failure line: " << last;
        EXPECT_EQ(lines[split - 1], "");
        for (std::size_t i = 0; i + 2 < split; ++i) EXPECT_EQ(lines[i], RoutineSuite[i]);
    }
    EXPECT_TRUE(sawVector);
    EXPECT_TRUE(sawMatrix);
}
