// linrun's whole report, line by line, and what its routine suite does when the heap fails.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ExpectedReports.h"
#include "FailingHeap.h"
#include "FmLinrun.h"
#include "ReportCapture.h"
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

// Each heap request of a Run fails once in turn. When GetVector or GetMatrix yields null the
// routine suite says so, releases what it holds and ends, touching no null record; the class
// suite, which does not use the routine heap, still writes all of its lines. Everything is
// released either way (the sanitized build checks for leaks).
TEST(LinrunHeapFailure, RoutineSuiteEndsCleanlyWhenAnAllocationFails) {
    ReportCapture capture;
    const Lines routineSuite = LinrunRoutineSuite();
    const Lines classSuite = LinrunClassSuite();
    long requests = 0;
    {
        TFmLinrun fm;
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
        TFmLinrun fm;
        {
            failheap::Guard guard;
            failheap::FailAt(n);
            fm.SpBtnRunClick(nullptr);
            EXPECT_TRUE(failheap::Failed());
        }
        const Lines lines = ReportLines(fm);
        ASSERT_GT(lines.size(), classSuite.size() + 2);
        const std::size_t split = lines.size() - classSuite.size();
        EXPECT_EQ(Lines(lines.begin() + static_cast<std::ptrdiff_t>(split), lines.end()), classSuite);

        // The routine part: what ran untouched, then the line that ends it and a blank.
        const std::string& last = lines[split - 2];
        if (last == "GetVector(...) failed: the suite ends here.") sawVector = true;
        else if (last == "GetMatrix(...) failed: the suite ends here.") sawMatrix = true;
        else ADD_FAILURE() << "no failure line: " << last;
        EXPECT_EQ(lines[split - 1], "");
        for (std::size_t i = 0; i + 2 < split; ++i) EXPECT_EQ(lines[i], routineSuite[i]);
    }
    EXPECT_TRUE(sawVector);
    EXPECT_TRUE(sawMatrix);
}
