#include "Sweep.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "ReportCapture.h"
#include "routines/MtrxNN.h"
#include "routines/Vect.h"

#if defined(__SANITIZE_ADDRESS__)
#define QUIL_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUIL_LEAK_CHECK 1
#endif
#endif
#ifdef QUIL_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace sweep {

namespace {

// The records of the routine layer are the one calloc the library does not report.
bool IsRecord(const allocsweep::Request& r) {
    return r.count == 1 &&
           (r.size == sizeof(Vect) || r.size == sizeof(Mtrx) || r.size == sizeof(MtrxNN));
}

std::string ReportFor(const allocsweep::Request& r) {
    return ReportCapture::TextFor(static_cast<std::uint32_t>(r.count * r.size));
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const Run& run) {
    os << run.Name() << ", request " << run.N() << " failing";
    if (run.Failed()) os << ": " << allocsweep::FailedRequest();
    return os;
}

long Sweep(Tally& tally, const std::string& name, const std::function<void(Run&)>& op) {
    long failing = 0;
    {
        ReportCapture report(ReportCapture::Windir);
        for (long n = 1;; ++n) {
            const std::size_t boxesBefore = report.Boxes().size();
            const long liveBefore = allocsweep::Live();
            Run run(name, n);
            op(run);
            allocsweep::Disarm();
            const long requests = allocsweep::Requests();
            const bool failed = run.Failed();
            const allocsweep::Request request = allocsweep::FailedRequest();

            EXPECT_EQ(allocsweep::Live(), liveBefore) << "leak: " << run;
            std::vector<std::string> made;
            for (std::size_t k = boxesBefore; k < report.Boxes().size(); ++k) {
                const ReportCapture::Box& box = report.Boxes()[k];
                EXPECT_EQ(box.Caption, "QUIL Lib. Error Message") << run;
                EXPECT_EQ(box.Style, 16u) << run;
                made.push_back(box.Text);
            }
            std::vector<std::string> expected;
            if (failed && request.kind == allocsweep::Kind::Calloc && !IsRecord(request))
                expected.push_back(ReportFor(request));
            EXPECT_EQ(made, expected) << "the library's report: " << run;

            if (!failed) {
                // Every request before this one has been failed once: the operation is
                // deterministic and the sweep is complete.
                EXPECT_EQ(requests, failing) << name << " asks for a different number of blocks";
                break;
            }
            ++failing;
            tally.sites.insert(request.site);
            if (n > 5000) {
                ADD_FAILURE() << name << " still meets its failure after 5000 runs";
                break;
            }
        }
        EXPECT_EQ(report.StdErr(), "") << name << ": nothing else reaches standard error";
    }
#ifdef QUIL_LEAK_CHECK
    EXPECT_EQ(__lsan_do_recoverable_leak_check(), 0) << "LeakSanitizer: " << name;
#endif
    ++tally.operations;
    tally.points += failing;
    return failing;
}

void Print(const char* what, const Tally& tally) {
    std::printf("%s: %ld operations, %ld failure points, %zu distinct allocation call sites\n",
                what, tally.operations, tally.points, tally.sites.size());
    std::fflush(stdout);
}

}  // namespace sweep
