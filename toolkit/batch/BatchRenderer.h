// The renderer for scripts and pipes: no screen and nobody to click.
//
// Run presses the main form's default button once, writes every line its memos receive to the
// output as it arrives, and returns 0; when an exception escapes the click, its message goes
// to the error stream and Run returns 1. A report that cannot be written is a failure too: Run
// says so on the error stream and returns 1, except when the reader has gone (a closed pipe,
// as when `more` is quit early), which is no failure and needs no word.
#pragma once

#include <iosfwd>
#include <map>

#include "widgets/Application.h"
#include "widgets/Views.h"

class BatchRenderer final : public TRenderer, private TFormView {
public:
    BatchRenderer();
    BatchRenderer(std::ostream& out, std::ostream& err);

    int Run(TApplication& app, TForm& mainForm) override;
    void ShowException(const TApplication& app, const std::string& message) override;

private:
    void LinesChanged(TMemo& memo) override;
    void FormClosed(TForm&) override {}
    void Flush();
    void KeepWriteError();

    std::ostream& out_;
    std::ostream& err_;
    std::map<const TMemo*, TShownLines> shown_;
    int writeError_ = 0;   // the errno of the first write that failed, -1 when none was set
};
