#include "ReportCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

std::vector<ReportCapture::Box> boxes;
std::string order;  // what reached either place, in order

int RecordBox(void* owner, const char* text, const char* caption, unsigned style) {
    boxes.push_back({owner, text, caption, style});
    order += text;
    return IDOK;
}

}  // namespace

ReportCapture::ReportCapture(Mode mode) {
    const char* w = std::getenv("windir");
    hadWindir_ = w != nullptr;
    if (hadWindir_) oldWindir_ = w;
    if (mode == Windir) {
        setenv("windir", "C:\\WINDOWS", 1);
    } else {
        unsetenv("windir");
    }
    boxes.clear();
    order.clear();
    previous_ = SetMessageBoxHandler(RecordBox);
    testing::internal::CaptureStderr();
}

ReportCapture::~ReportCapture() {
    testing::internal::GetCapturedStderr();
    SetMessageBoxHandler(previous_);
    if (hadWindir_) {
        setenv("windir", oldWindir_.c_str(), 1);
    } else {
        unsetenv("windir");
    }
}

std::string ReportCapture::StdErr() {
    // gtest captures once; take what has arrived and start a new capture for the rest.
    std::string text = testing::internal::GetCapturedStderr();
    order += text;
    testing::internal::CaptureStderr();
    stderrSoFar_ += text;
    return stderrSoFar_;
}

const std::vector<ReportCapture::Box>& ReportCapture::Boxes() const { return boxes; }

std::string ReportCapture::Text() {
    StdErr();
    return order;
}

std::string ReportCapture::TextFor(std::uint32_t bytes) {
    char text[128];
    std::snprintf(text, sizeof text, "failed to allocate %u byte(s) in heap area.\r\n",
                  static_cast<unsigned>(bytes));
    return text;
}
