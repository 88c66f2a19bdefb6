// quadrun's whole report, line by line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedReports.h"
#include "FmQuadrun.h"
#include "ReferenceInverse.h"
#include "ReportLines.h"

using namespace reports;

TEST(QuadrunReport, ExpectedTextHasTheLineCountsOfBothSuites) {
    EXPECT_EQ(QuadrunRoutineSuite().size(), 108u);
    EXPECT_EQ(QuadrunClassSuite().size(), 103u);
}

// The oracle for the rounding-dependent entries must itself find the inverses: D^-1 is
// (19 11 -29 12 / -24 6 30 18 / 64 -16 -38 -6 / 89 25 -43 -30) / 126, and A^-1 has the
// dyadic entries of the class suite.
TEST(QuadrunReport, ReferenceArithmeticFindsTheInverses) {
    const reference::Matrix times126 = {{19, 11, -29, 12}, {-24, 6, 30, 18}, {64, -16, -38, -6},
                             {89, 25, -43, -30}};
    const reference::Matrix inverseA = {{1, -0.25, -1.375, 0.375}, {0, 0, -0.25, 0.25},
                             {-1, 0.5, 1.5, -0.5}, {-1, -0.5, 1.5, 0.5}};
    const reference::Matrix dInv = reference::Inverse(QuadrunD);
    const reference::Matrix aInv = reference::Inverse(QuadrunA);
    for (std::size_t i = 0; i < 4; ++i) {
        for (std::size_t j = 0; j < 4; ++j) {
            EXPECT_NEAR(dInv[i][j] * 126.0, times126[i][j], 1e-12);
            EXPECT_NEAR(aInv[i][j], inverseA[i][j], 1e-15);
        }
    }
}

TEST(QuadrunReport, RunWritesTheRoutineSuiteThenTheClassSuite) {
    TFmQuadrun fm;
    fm.SpBtnRunClick(nullptr);
    ExpectLines(ReportLines(fm), QuadrunReport());
}

TEST(QuadrunReport, EachSuiteWritesItsOwnPart) {
    TFmQuadrun routine;
    routine.MtrxNNRoutineSuite();
    ExpectLines(ReportLines(routine), QuadrunRoutineSuite());

    TFmQuadrun objects;
    objects.SMtrxNNClassSuite();
    ExpectLines(ReportLines(objects), QuadrunClassSuite());
}

TEST(QuadrunReport, SecondRunReplacesTheFirstWithTheSameReport) {
    TFmQuadrun fm;
    fm.SpBtnRunClick(nullptr);
    const std::vector<std::string> first = ReportLines(fm);
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportLines(fm), first);
    EXPECT_EQ(first.size(), 211u);
}
