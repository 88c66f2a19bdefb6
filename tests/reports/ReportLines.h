// Reading a report back from the window, and the number formats the expected texts are
// written with where a line cannot be written out whole.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "FmMain.h"

namespace reports {

// The lines of the report, in order.
inline std::vector<std::string> ReportLines(const TFmMain& fm) {
    std::vector<std::string> lines;
    for (int i = 0; i < fm.Memo->Lines->Count(); ++i) lines.push_back((*fm.Memo->Lines)[i]);
    return lines;
}

// How an entry whose exact value is 0 prints: "%10lf" keeps the sign of a rounding error or
// of a signed zero.
inline std::string ZeroField(double v) { return std::signbit(v) ? " -0.000000" : "  0.000000"; }

inline void Append(std::vector<std::string>& lines, const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
}

// Compares two reports line by line, naming the first line of each difference.
inline void ExpectLines(const std::vector<std::string>& actual,
                        const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(actual[i], expected[i]) << "report line " << i + 1;
}

}  // namespace reports
