// Heap allocation and the out-of-memory report.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "AllocSweep.h"
#include "Env.h"
#include "ReportCapture.h"
#include "routines/Heap.h"

namespace {

TEST(GetHeap, BlockIsZeroFilled) {
    auto* p = static_cast<unsigned char*>(GetHeap(nullptr, 37, 8));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 37 * 8; ++i) EXPECT_EQ(p[i], 0) << "byte " << i;
    EXPECT_EQ(FreeHeap(p), nullptr);
}

TEST(GetHeap, ZeroBytesAreReportedWithoutAllocating) {
    struct Case { std::uint32_t count, size; };
    for (Case c : {Case{0, 8}, Case{5, 0}, Case{0x10000u, 0x10000u}, Case{0x80000000u, 2}}) {
        ReportCapture report;
        allocsweep::Guard guard;
        allocsweep::Count();
        EXPECT_EQ(GetHeap(nullptr, c.count, c.size), nullptr);
        EXPECT_EQ(allocsweep::Requests(), 0) << "an allocation was attempted";
        EXPECT_EQ(report.Text(), "failed to allocate 0 byte(s) in heap area.\r\n");
    }
}

TEST(GetHeap, FailureReportsTheWrappedByteCount) {
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    EXPECT_EQ(GetHeap(nullptr, 3, 8), nullptr);
    EXPECT_EQ(report.Text(), "failed to allocate 24 byte(s) in heap area.\r\n");

    // 0x40000001 elements of 8 bytes: the 32-bit product is 8.
    allocsweep::FailAt(1);
    EXPECT_EQ(GetHeap(nullptr, 0x40000001u, 8), nullptr);
    EXPECT_EQ(report.Text(), "failed to allocate 24 byte(s) in heap area.\r\n"
                             "failed to allocate 8 byte(s) in heap area.\r\n");
}

#ifdef __EMSCRIPTEN__
// WebAssembly's heap starts at 16 MiB and grows to 2 GiB: a block beyond the start is had, and a
// request beyond the end is reported and gives null, as on every other target, rather than
// ending the program.
TEST(GetHeap, TheHeapGrowsAndARequestBeyondItsEndIsReported) {
    ReportCapture report;
    void* grown = GetHeap(nullptr, 8u << 20, 8);
    EXPECT_NE(grown, nullptr);
    EXPECT_EQ(FreeHeap(grown), nullptr);
    EXPECT_EQ(GetHeap(nullptr, 0x18000000u, 8), nullptr);
    EXPECT_EQ(report.Text(), "failed to allocate 3221225472 byte(s) in heap area.\r\n");
}
#endif

TEST(GetHeap, OldBlockIsReleasedOnSuccessAndOnFailure) {
    // The leak checker of the sanitized build fails this test if an old block survives.
    void* p = GetHeap(nullptr, 4, 8);
    ASSERT_NE(p, nullptr);
    p = GetHeap(p, 6, 8);
    ASSERT_NE(p, nullptr);
    ReportCapture report;
    allocsweep::Guard guard;
    allocsweep::FailAt(1);
    p = GetHeap(p, 6, 8);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(GetHeap(GetHeap(nullptr, 2, 4), 0, 4), nullptr);
}

TEST(FreeHeap, NullDoesNothing) {
    EXPECT_EQ(FreeHeap(nullptr), nullptr);
}

TEST(AllocErrMsg, GoesToStandardErrorWithoutWindir) {
    ReportCapture report(ReportCapture::NoWindir);
    AllocErrMsg(4294967295u);
    EXPECT_EQ(report.StdErr(), "failed to allocate 4294967295 byte(s) in heap area.\r\n");
    EXPECT_TRUE(report.Boxes().empty());
}

TEST(AllocErrMsg, ShowsTheBoxWithWindir) {
    ReportCapture report(ReportCapture::Windir);
    AllocErrMsg(40);
    ASSERT_EQ(report.Boxes().size(), 1u);
    const ReportCapture::Box& box = report.Boxes()[0];
    EXPECT_EQ(box.Owner, nullptr);
    EXPECT_EQ(box.Text, "failed to allocate 40 byte(s) in heap area.\r\n");
    EXPECT_EQ(box.Caption, "QUIL Lib. Error Message");
    EXPECT_EQ(box.Style, 16u);
    EXPECT_EQ(report.StdErr(), "");
}

TEST(IsWinEnv, IsAskedAfreshOnEveryReport) {
    ReportCapture report(ReportCapture::NoWindir);
    AllocErrMsg(1);
#ifdef _WIN32
    testenv::Set("windir", "C:\\WINDOWS");  // Windows holds no variable with an empty value
#else
    testenv::Set("windir", "");  // an empty value counts: only presence matters
#endif
    EXPECT_TRUE(IsWinEnv());
    AllocErrMsg(2);
    testenv::Unset("windir");
    AllocErrMsg(3);
    EXPECT_EQ(report.StdErr(), "failed to allocate 1 byte(s) in heap area.\r\n"
                               "failed to allocate 3 byte(s) in heap area.\r\n");
    ASSERT_EQ(report.Boxes().size(), 1u);
    EXPECT_EQ(report.Boxes()[0].Text, "failed to allocate 2 byte(s) in heap area.\r\n");
}

}  // namespace
