#include "batch/BatchRenderer.h"

#include <iostream>

BatchRenderer::BatchRenderer() : BatchRenderer(std::cout, std::cerr) {}

BatchRenderer::BatchRenderer(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

int BatchRenderer::Run(TApplication& app, TForm& mainForm) {
    TSpeedButton* button = nullptr;
    for (TControl* control : AllControls(mainForm)) {
        auto* candidate = dynamic_cast<TSpeedButton*>(control);
        if (candidate != nullptr && candidate->Default && candidate->Enabled) button = candidate;
    }
    mainForm.View = this;
    mainForm.Show();
    const bool pressed = button == nullptr || app.Dispatch([button] { button->Click(); });
    mainForm.View = nullptr;
    out_.flush();
    return pressed ? 0 : 1;
}

void BatchRenderer::ShowException(const TApplication& app, const std::string& message) {
    out_.flush();
    err_ << app.Title << ": " << message << std::endl;
}

void BatchRenderer::LinesChanged(TMemo& memo) {
    Written& written = written_[&memo];
    // A cleared memo starts a new text; what is printed stays printed.
    if (written.Generation != memo.Lines->Generation()) {
        written.Generation = memo.Lines->Generation();
        written.Count = 0;
    }
    for (; written.Count < memo.Lines->Count(); ++written.Count)
        out_ << (*memo.Lines)[written.Count] << '\n';
    out_.flush();
}
