// A program for the window tests: titles of its own and a small fixed report, with a switch
// that makes the Run fail part-way. The toolkit's tests draw its window too.
#pragma once

#include <string>
#include <vector>

#include "FmMain.h"

// Titles "Test of Platform" and "Platform under test"; the window is a TFmTest.
extern const ProgramDescriptor PlatformTestProgram;

class TFmTest : public TFmMain {
public:
    explicit TFmTest(TComponent* owner = nullptr) : TFmMain(owner, PlatformTestProgram) {}
    // Writes TestReport, or fails after LinesBeforeFailure lines as TestRunFailure says.
    void RunSuites() override;
};

// The lines one Run writes: a blank one, one too long for an 80-column terminal, and enough
// of them to scroll.
extern const std::vector<std::string> TestReport;

// Where a failing Run stops: the lines before it are in the report.
constexpr int LinesBeforeFailure = 3;

// The first lines of TestReport as the batch renderer writes them, each ending in a line break.
std::string TestReportText(std::size_t lines = TestReport.size());

// Heap: the Run asks the library for 3 GiB, which a 32-bit heap (WebAssembly's) cannot give, so
// that the library reports it; the Run goes on.
enum class TestFailure { None, Standard, Plain, Heap };
// Starts from QUIL_TEST_FAILURE ("standard", "plain" or "heap"), so that the program built from
// this file can be made to fail too.
extern TestFailure TestRunFailure;

// From QUIL_TEST_LINE_DELAY (milliseconds, 0 when unset): how long the Run keeps its thread busy
// before each line, as a long suite would; the web page's test watches the page meanwhile.
extern int TestLineDelayMs;

// What a plain (non-standard) exception escaping the Run looks like, like the object layer's.
struct TestPlainError {
    int Code;
};
