// linrun's whole report, line by line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedReports.h"
#include "FmLinrun.h"
#include "ReportLines.h"

using namespace reports;

TEST(LinrunReport, ExpectedTextHasTheLineCountsOfBothSuites) {
    EXPECT_EQ(LinrunRoutineSuite().size(), 63u);
    EXPECT_EQ(LinrunClassSuite().size(), 75u);
}

TEST(LinrunReport, RunWritesTheRoutineSuiteThenTheClassSuite) {
    TFmLinrun fm;
    fm.SpBtnRunClick(nullptr);
    ExpectLines(ReportLines(fm), LinrunReport());
}

TEST(LinrunReport, EachSuiteWritesItsOwnPart) {
    TFmLinrun routine;
    routine.VectRoutineSuite();
    ExpectLines(ReportLines(routine), LinrunRoutineSuite());

    TFmLinrun objects;
    objects.SVectClassSuite();
    ExpectLines(ReportLines(objects), LinrunClassSuite());
}

TEST(LinrunReport, SecondRunReplacesTheFirstWithTheSameReport) {
    TFmLinrun fm;
    fm.SpBtnRunClick(nullptr);
    const std::vector<std::string> first = ReportLines(fm);
    fm.SpBtnRunClick(nullptr);
    EXPECT_EQ(ReportLines(fm), first);
    EXPECT_EQ(first.size(), 138u);
}

