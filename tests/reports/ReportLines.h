// Reading a report back from the window, and the number formats the expected texts are
// written with where a line cannot be written out whole.
#pragma once

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

}  // namespace reports
