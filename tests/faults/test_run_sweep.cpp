// A whole Run of one program with each heap request of the library failing in turn: the
// routine layer's calloc and the object layer's array new, counted together over both suites.
//
// What must come of a failure depends on where it strikes:
// - in the routine suite (calloc): the suite copes on its own (it says so and ends, or shows
//   the result the routine gave), touching no null record, nothing escapes the Run, and the
//   class suite that follows writes its lines exactly as always;
// - in the object layer's storage (new[]): the AllocErr of the class being built escapes the
//   Run, after a report that is the normal one cut short;
// - in the routine-layer work of SMtrxNN's Det, IsSingular and Inv: the member's AllocErr with
//   Count 0 escapes the Run, after a report that is the normal one cut short.
// Every time, every block comes back and the library's report carries the failed byte count
// (checked by the sweep), and the same window's next Run gives the normal report again.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "../reports/ReportLines.h"
#include "Sweep.h"
#include "objects/SMtrx.h"
#include "objects/SVect.h"

#ifdef SWEEP_QUADRUN
#include "FmQuadrun.h"
using ProgramWindow = TFmQuadrun;
#endif
#ifdef SWEEP_LINRUN
#include "FmLinrun.h"
using ProgramWindow = TFmLinrun;
#endif

namespace {

using Lines = std::vector<std::string>;
using reports::ReportLines;

struct Escaped {
    enum What { Nothing, MtrxAlloc, VectAlloc, SomethingElse } what = Nothing;
    unsigned count = 0;
};

Escaped RunOnce(TFmMain& fm) {
    try {
        fm.SpBtnRunClick(nullptr);
    } catch (const SMtrx::AllocErr& e) {
        return {Escaped::MtrxAlloc, e.Count};
    } catch (const SVect::AllocErr& e) {
        return {Escaped::VectAlloc, e.Count};
    } catch (...) {
        return {Escaped::SomethingElse, 0};
    }
    return {};
}

bool StartsWith(const Lines& lines, const Lines& head) {
    return lines.size() >= head.size() && std::equal(head.begin(), head.end(), lines.begin());
}

bool EndsWith(const Lines& lines, const Lines& tail) {
    return lines.size() >= tail.size() && std::equal(tail.rbegin(), tail.rend(), lines.rbegin());
}

// The normal report of the program, the part its routine suite writes, and the number of heap
// requests that suite makes.
struct Normal {
    Lines report;
    Lines routine;
    long routineRequests = 0;
};

template <class RoutineSuite>
Normal NormalRun(RoutineSuite routineSuite) {
    Normal normal;
    {
        ProgramWindow fm;
        allocsweep::FailAt(0);  // count only
        routineSuite(fm);
        allocsweep::Disarm();
        normal.routineRequests = allocsweep::Requests();
        normal.routine = ReportLines(fm);
    }
    ProgramWindow fm;
    fm.SpBtnRunClick(nullptr);
    normal.report = ReportLines(fm);
    return normal;
}

// What a program's suites write when a calloc fails in them: routineSuite judges the routine
// suite's lines when the failure struck there, classSuite the class suite's when it struck
// there.
struct HeapFailureChecks {
    std::function<void(const Lines&)> routineSuite;
    std::function<void(const Lines&)> classSuite;
};

// Checks common to both programs.
// matrixCounts, vectorCounts: the element counts of the objects the class suite builds.
void CheckRun(const sweep::Run& r, const Escaped& escaped, const Lines& lines,
              const Normal& normal, const std::set<unsigned>& matrixCounts,
              const std::set<unsigned>& vectorCounts, const HeapFailureChecks& heapFailure) {
    const Lines classPart(normal.report.begin() + static_cast<long>(normal.routine.size()),
                          normal.report.end());
    EXPECT_NE(escaped.what, Escaped::SomethingElse) << r;
    if (!r.Failed()) {
        EXPECT_EQ(escaped.what, Escaped::Nothing) << r;
        EXPECT_EQ(lines, normal.report) << r;
        return;
    }
    if (r.FailedInNew()) {
        // The storage of an object: its AllocErr ends the Run, after the lines so far.
        const std::set<unsigned>& counts =
            escaped.what == Escaped::MtrxAlloc ? matrixCounts : vectorCounts;
        EXPECT_TRUE(escaped.what == Escaped::MtrxAlloc || escaped.what == Escaped::VectAlloc)
            << r;
        EXPECT_EQ(counts.count(escaped.count), 1u) << escaped.count << ", " << r;
        EXPECT_TRUE(StartsWith(normal.report, lines) && lines.size() < normal.report.size() &&
                    lines.size() >= normal.routine.size())
            << "the normal report cut short in the class suite: " << r;
        return;
    }
    if (r.N() <= normal.routineRequests) {
        // The routine suite copes; the class suite runs as always.
        EXPECT_EQ(escaped.what, Escaped::Nothing) << r;
        EXPECT_TRUE(EndsWith(lines, classPart)) << "the class suite's lines intact: " << r;
        EXPECT_FALSE(StartsWith(lines, normal.report) && lines.size() == normal.report.size())
            << "a failed request must show in the routine suite's lines: " << r;
        if (lines.size() < classPart.size()) return;
        const Lines routine(lines.begin(), lines.end() - static_cast<long>(classPart.size()));
        ASSERT_GE(routine.size(), 3u) << r;
        EXPECT_EQ(routine.back(), "") << r;
        for (std::size_t i = 0; i + 1 < routine.size(); ++i)
            EXPECT_FALSE(routine[i].empty() && routine[i + 1].empty())
                << "two blank lines at " << i << ": " << r;
        heapFailure.routineSuite(routine);
        return;
    }
    EXPECT_TRUE(StartsWith(lines, normal.routine)) << r;
    heapFailure.classSuite(Lines(lines.begin() + static_cast<long>(normal.routine.size()),
                                 lines.end()));
}

template <class Check>
void SweepRuns(const char* program, const Normal& normal, Check check) {
    sweep::Tally tally;
    ProgramWindow fm;  // one window, Run pressed again and again
    sweep::Sweep(tally, std::string(program) + " Run", [&](sweep::Run& r) {
        r.Arm();
        const Escaped escaped = RunOnce(fm);
        r.Disarm();
        check(r, escaped, ReportLines(fm));
    });
    RunOnce(fm);
    EXPECT_EQ(ReportLines(fm), normal.report) << "a Run after the failed ones";
    sweep::Print(program, tally);
}

#ifdef SWEEP_QUADRUN

std::ptrdiff_t Find(const Lines& lines, const std::string& line) {
    const auto it = std::find(lines.begin(), lines.end(), line);
    return it == lines.end() ? -1 : it - lines.begin();
}

TEST(RunSweep, QuadrunSurvivesEveryFailedRequest) {
    const Normal normal = NormalRun([](ProgramWindow& fm) { fm.MtrxNNRoutineSuite(); });
    ASSERT_EQ(normal.report.size(), 211u);
    ASSERT_GT(normal.routineRequests, 0);

    const Lines classPart(normal.report.begin() + 108, normal.report.end());

    // A matrix the routine suite cannot make ends it after a line saying so; a failed
    // InvMtrxNN puts one line in place of the blocks of AI and A * AI.
    const std::string endsHere = "GetMatrixNN(...) failed: the suite ends here.";
    const std::string noInverse = "InvMtrxNN(...) failed: AI and A * AI are not printed.";
    Lines withoutInverse(normal.routine.begin(), normal.routine.begin() + 99);
    withoutInverse.insert(withoutInverse.end(), {noInverse, ""});
    int abandoned = 0, inverseFailures = 0;
    const auto routineSuite = [&](const sweep::Run& r, const Lines& routine) {
        const std::ptrdiff_t end = Find(routine, endsHere);
        if (end >= 0) {
            ++abandoned;
            EXPECT_EQ(static_cast<std::size_t>(end), routine.size() - 2) << r;
        } else if (Find(routine, noInverse) >= 0) {
            ++inverseFailures;
            EXPECT_EQ(routine, withoutInverse) << r;
        } else {
            EXPECT_EQ(routine.size(), normal.routine.size()) << r;
        }
    };

    SweepRuns("quadrun", normal, [&](const sweep::Run& r, const Escaped& escaped,
                                     const Lines& lines) {
        // The work of Det, IsSingular or Inv refused: AllocErr with Count 0, before their lines.
        const auto classSuite = [&](const Lines& classLines) {
            EXPECT_EQ(escaped.what, Escaped::MtrxAlloc) << r;
            EXPECT_EQ(escaped.count, 0u) << r;
            EXPECT_TRUE(StartsWith(classPart, classLines) && classLines.size() < classPart.size())
                << r;
        };
        CheckRun(r, escaped, lines, normal, {16, 4}, {},
                 {[&](const Lines& routine) { routineSuite(r, routine); }, classSuite});
    });
    EXPECT_GT(abandoned, 0);
    EXPECT_GT(inverseFailures, 0);
}

#endif

#ifdef SWEEP_LINRUN

TEST(RunSweep, LinrunSurvivesEveryFailedRequest) {
    const Normal normal = NormalRun([](ProgramWindow& fm) { fm.VectRoutineSuite(); });
    ASSERT_EQ(normal.report.size(), 138u);
    ASSERT_GT(normal.routineRequests, 0);
    // A record the routine suite cannot make ends it after a line saying so, behind the lines
    // of what ran untouched.
    bool sawVector = false, sawMatrix = false;
    SweepRuns("linrun", normal, [&](const sweep::Run& r, const Escaped& escaped,
                                    const Lines& lines) {
        const auto routineSuite = [&](const Lines& routine) {
            const std::string& last = routine[routine.size() - 2];
            if (last == "GetVector(...) failed: the suite ends here.") sawVector = true;
            else if (last == "GetMatrix(...) failed: the suite ends here.") sawMatrix = true;
            else ADD_FAILURE() << "no failure line: " << last << ", " << r;
            EXPECT_TRUE(StartsWith(normal.routine, Lines(routine.begin(), routine.end() - 2))) << r;
        };
        // SMtrx M is 2 x 4 and SMtrxNN P is 4 x 4; the vectors have 4 elements, L 2.
        CheckRun(r, escaped, lines, normal, {8, 16}, {4, 2}, {routineSuite, [&](const Lines&) {
            ADD_FAILURE() << "the vector class suite makes no routine-layer request: " << r;
        }});
    });
    EXPECT_TRUE(sawVector);
    EXPECT_TRUE(sawMatrix);
}

#endif

}  // namespace
