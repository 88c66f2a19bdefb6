// The renderer of a program built with Emscripten and opened in a browser: the main form drawn
// in the page's DOM (WebPage.h), kept in step with the model, and a message loop that waits for
// the page's clicks, keys and resizes (WebRenderer.js) without holding the page up.
//
// Keys as in the desktop window: Enter, Escape and a button's first hint letter press the
// button ButtonForKey finds, from anywhere in the page; Space presses the focused button; Tab
// and Shift-Tab visit Exit, Run and the report; Ctrl-Q closes the window. A click on a button
// leaves the focus where it was. A Run that writes lines for longer than a moment lets the page
// draw and take input in between (what it takes waits until the Run ends, as in a desktop
// window); closing the main form ends the loop, and the page then says that the program has
// ended. While the renderer lives, the library's message box and the application's exception
// display are modal notices in the page.
#pragma once

#include <map>
#include <vector>

#include "report/MessageBox.h"
#include "widgets/Application.h"
#include "widgets/Views.h"

class WebRenderer final : public TRenderer, private TFormView {
public:
    // Throws RendererUnavailable, quietly, where there is no page to draw in (under Node.js).
    WebRenderer();
    ~WebRenderer() override;

    int Run(TApplication& app, TForm& mainForm) override;
    void ShowException(const TApplication& app, const std::string& message) override;

private:
    void LinesChanged(TMemo& memo) override;
    void FormClosed(TForm&) override {}
    void Mirror(const TMemo& memo);
    void Place() const;
    void Sync() const;

    static int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style);

    TForm* form_ = nullptr;
    std::vector<TControl*> controls_;
    std::map<const TMemo*, TShownLines> shown_;
    double lastYield_ = 0.0;
    MessageBoxHandler previousMessageBox_ = nullptr;
};
