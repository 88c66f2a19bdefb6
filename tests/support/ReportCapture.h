// Captures the library's out-of-memory reports for one test: what reaches standard error and
// what is shown through the message box. Restores the environment and the box when it ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/MessageBox.h"

class ReportCapture {
public:
    enum Mode { NoWindir, Windir };

    struct Box {
        void* Owner;
        std::string Text;
        std::string Caption;
        unsigned Style;
    };

    explicit ReportCapture(Mode mode = NoWindir);
    ~ReportCapture();
    ReportCapture(const ReportCapture&) = delete;
    ReportCapture& operator=(const ReportCapture&) = delete;

    // Everything written to standard error so far.
    std::string StdErr();
    const std::vector<Box>& Boxes() const;
    // The reports so far, wherever they went, in order.
    std::string Text();
    // The library's report of bytes that could not be had.
    static std::string TextFor(std::uint32_t bytes);

private:
    MessageBoxHandler previous_;
    bool hadWindir_;
    std::string oldWindir_;
    std::string stderrSoFar_;
};
