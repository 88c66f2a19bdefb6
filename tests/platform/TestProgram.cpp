#include "TestProgram.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string_view>

#include "routines/Heap.h"

// The summary's first 78 columns are followed by a word of two letters: wrapped one column too
// wide, the help would show a line of 81.
const ProgramDescriptor PlatformTestProgram = {
    "platform_program", "Test of Platform", "Platform under test",
    "Shows a small fixed report in place of the long ones of quadrun and linrun: it is quick to "
    "run and to read, and made to try the window and its renderers.",
    CreateMainForm<TFmTest>};

const std::vector<std::string> TestReport = [] {
    std::vector<std::string> lines = {
        "Platform test...",
        "x = |  1.000000|",
        "",
        "A line longer than an 80-column terminal: 0123456789 0123456789 0123456789 0123456789",
    };
    for (int i = 5; i <= 40; ++i) {
        char line[16];
        std::snprintf(line, sizeof line, "line %02d", i);
        lines.push_back(line);
    }
    lines.push_back("");
    return lines;
}();

std::string TestReportText(std::size_t lines) {
    std::string text;
    for (std::size_t i = 0; i < lines; ++i) text += TestReport[i] + "\n";
    return text;
}

TestFailure TestRunFailure = [] {
    const char* value = std::getenv("QUIL_TEST_FAILURE");
    const std::string_view failure = value != nullptr ? value : "";
    return failure == "standard" ? TestFailure::Standard
           : failure == "plain"  ? TestFailure::Plain
           : failure == "heap"   ? TestFailure::Heap
                                 : TestFailure::None;
}();

int TestLineDelayMs = [] {
    const char* value = std::getenv("QUIL_TEST_LINE_DELAY");
    return value != nullptr ? std::atoi(value) : 0;
}();

void TFmTest::RunSuites() {
    for (std::size_t i = 0; i < TestReport.size(); ++i) {
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(TestLineDelayMs);
        while (std::chrono::steady_clock::now() < due) {
        }
        if (i == LinesBeforeFailure && TestRunFailure == TestFailure::Standard)
            throw std::runtime_error("suite failed on purpose");
        if (i == LinesBeforeFailure && TestRunFailure == TestFailure::Plain) throw TestPlainError{7};
        if (i == LinesBeforeFailure && TestRunFailure == TestFailure::Heap) FreeHeap(GetHeap(nullptr, 0x18000000u, 8));
        PutLine(TestReport[i]);
    }
}
