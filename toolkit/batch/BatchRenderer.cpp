#include "batch/BatchRenderer.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#endif

BatchRenderer::BatchRenderer() : BatchRenderer(std::cout, std::cerr) {}

BatchRenderer::BatchRenderer(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

int BatchRenderer::Run(TApplication& app, TForm& mainForm) {
    TSpeedButton* button = ButtonForKey(mainForm, KeyEnter);
    mainForm.View = this;
    mainForm.Show();
    const bool pressed = button == nullptr || app.Dispatch([button] { button->Click(); });
    mainForm.View = nullptr;
    Flush();
    if (writeError_ != 0 && writeError_ != EPIPE) {
        const std::string name = ProgramNameOf(app.ExeName.empty() ? app.Title : app.ExeName);
        err_ << name << ": cannot write the report";
        if (writeError_ > 0) err_ << ": " << std::strerror(writeError_);
        err_ << std::endl;
    }
    return pressed && (writeError_ == 0 || writeError_ == EPIPE) ? 0 : 1;
}

void BatchRenderer::ShowException(const TApplication& app, const std::string& message) {
    Flush();
    err_ << app.Title << ": " << message << std::endl;
}

void BatchRenderer::LinesChanged(TMemo& memo) {
    // A cleared memo starts a new text; what is printed stays printed.
    const TNewLines added = shown_[&memo].Take(*memo.Lines);
    errno = 0;
    for (int i = added.From; i < added.To; ++i) out_ << (*memo.Lines)[i] << '\n';
    KeepWriteError();
    Flush();
}

void BatchRenderer::Flush() {
    errno = 0;
    out_.flush();
    KeepWriteError();
}

// The stream only remembers that a write failed; errno, read right after, says why. Windows
// says EINVAL when a pipe's reader has gone; the system's own error tells that apart.
void BatchRenderer::KeepWriteError() {
    if (!out_ && writeError_ == 0) {
        writeError_ = errno != 0 ? errno : -1;
#ifdef _WIN32
        const DWORD error = GetLastError();
        if (error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)
            writeError_ = EPIPE;
#endif
    }
}
