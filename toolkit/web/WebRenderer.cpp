#include "web/WebRenderer.h"

#include <emscripten.h>

#include <string>

#include "web/WebPage.h"

// The page's side, in WebRenderer.js. Sizes and events are handed over in an array of ints.
extern "C" {
int quil_web_page_present();
void quil_web_room(int* size);
void quil_web_show(const char* markup, const char* title, const char* icon);
void quil_web_lines(int control, const char* text, int restart);
void quil_web_place(int control, int left, int top, int width, int height);
void quil_web_sync(const char* keys, const char* enabled);
int quil_web_next_event(int* args);
void quil_web_notice(const char* caption, const char* text);
void quil_web_ended(const char* text);
}

namespace {

// What the page tells the message loop (WebRenderer.js posts the same numbers).
enum WebEvent { EventClick = 1, EventResize = 2, EventClose = 3 };

// How long a Run may write lines before the page gets its turn to draw and take input.
constexpr double YieldAfterMs = 50.0;

}  // namespace

WebRenderer::WebRenderer() {
    if (quil_web_page_present() == 0)
        throw RendererUnavailable("the web renderer cannot start: there is no page to draw in", true);
    previousMessageBox_ = SetMessageBoxHandler(ShowMessageBox);
}

WebRenderer::~WebRenderer() { SetMessageBoxHandler(previousMessageBox_); }

int WebRenderer::Run(TApplication& app, TForm& mainForm) {
    form_ = &mainForm;
    controls_ = AllControls(mainForm);
    // The described size, as much of it as the page has room for.
    int room[2] = {0, 0};
    quil_web_room(room);
    mainForm.SetFrameSize(WebFrameWidth, WebFrameHeight);
    mainForm.FitTo(room[0], room[1]);
    quil_web_show(FormMarkup(mainForm, controls_).c_str(), mainForm.Caption.c_str(),
                  mainForm.Icon.Empty() ? "" : BitmapSvg(mainForm.Icon, 0, mainForm.Icon.Width, nullptr).c_str());
    mainForm.View = this;
    mainForm.Show();
    for (TControl* control : controls_)
        if (const auto* memo = dynamic_cast<const TMemo*>(control)) Mirror(*memo);
    Sync();

    int args[2] = {0, 0};
    while (mainForm.Visible()) {
        switch (quil_web_next_event(args)) {
        case EventClick:
            if (args[0] >= 0 && args[0] < static_cast<int>(controls_.size())) {
                auto* button = dynamic_cast<TSpeedButton*>(controls_[static_cast<std::size_t>(args[0])]);
                if (button != nullptr && button->Enabled) app.Dispatch([button] { button->Click(); });
            }
            break;
        case EventResize:
            mainForm.SetClientSize(args[0] - WebFrameWidth, args[1] - WebFrameHeight);
            Place();
            break;
        case EventClose: mainForm.Close(); break;
        default: break;
        }
        if (mainForm.Visible()) Sync();
    }
    mainForm.View = nullptr;
    const std::string name = app.Name.empty() ? app.Title : app.Name;
    quil_web_ended((name + " has ended. Reload the page to start it again.").c_str());
    form_ = nullptr;
    return 0;
}

void WebRenderer::ShowException(const TApplication& app, const std::string& message) {
    quil_web_notice(app.Title.c_str(), message.c_str());
}

void WebRenderer::LinesChanged(TMemo& memo) {
    Mirror(memo);
    // A long Run lets the page draw what it has so far and take input now and then.
    const double now = emscripten_get_now();
    if (now - lastYield_ >= YieldAfterMs) {
        emscripten_sleep(0);
        lastYield_ = emscripten_get_now();
    }
}

// Appends the lines the page does not show yet, each after a line break, or starts afresh
// after a Clear.
void WebRenderer::Mirror(const TMemo& memo) {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        if (controls_[index] != &memo) continue;
        const TNewLines added = shown_[&memo].Take(*memo.Lines);
        if (!added.Restart && added.From == added.To) return;
        std::string text;
        for (int i = added.From; i < added.To; ++i) {
            if (i > 0) text += '\n';
            text += (*memo.Lines)[i];
        }
        quil_web_lines(static_cast<int>(index), text.c_str(), added.Restart ? 1 : 0);
        return;
    }
}

void WebRenderer::Place() const {
    for (std::size_t index = 0; index < controls_.size(); ++index) {
        const TControl& c = *controls_[index];
        quil_web_place(static_cast<int>(index), c.Left(), c.Top(), c.Width(), c.Height());
    }
}

// The page learns which keys press a button and which controls are enabled, as they stand now.
void WebRenderer::Sync() const {
    std::string enabled;
    for (const TControl* control : controls_) enabled += control->Enabled ? '1' : '0';
    quil_web_sync(ButtonKeys(*form_, controls_).c_str(), enabled.c_str());
}

int WebRenderer::ShowMessageBox(void*, const char* text, const char* caption, unsigned) {
    // The library's text ends with a line break that a notice does not need.
    std::string shown = text;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
    quil_web_notice(caption, shown.c_str());
    return IDOK;
}
