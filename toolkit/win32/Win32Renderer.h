// The Windows renderer: each form becomes a top-level window of native controls.
//
// The window is built from the form's description when it is created and kept in step with
// it: the model lays the aligned controls out whenever the window's size changes, the memos'
// lines are mirrored into read-only edit controls as they change, and clicks reach the model
// through the application's Dispatch, so that an escaping exception is shown in a message box
// and the window stays open. The keys are every renderer's (ButtonForKey: Enter, Escape, a
// button's first hint letter), wherever the focus is in the window, with Ctrl+Q to close it;
// Tab visits the speed buttons and the report in the model's focus order, and a button's hint
// is its tooltip. While the renderer lives, the library's message box is the system's, owned
// by the main window.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "report/MessageBox.h"
#include "widgets/Application.h"

class Win32Renderer final : public TRenderer {
public:
    // The window is drawn at dpi pixels per inch (0: the system's), the form's pixels, fonts
    // and minimum size scaled from the 96 they are given at.
    explicit Win32Renderer(int dpi = 0);
    ~Win32Renderer() override;

    int Run(TApplication& app, TForm& mainForm) override;
    void ShowException(const TApplication& app, const std::string& message) override;

    // Builds and shows the window of form without entering the message loop.
    HWND Show(TApplication& app, TForm& form);
    // The native control that stands for control, or null.
    HWND ControlWindow(const TControl& control) const;

private:
    class FormWindow;

    static int OwnedMessageBox(void* owner, const char* text, const char* caption, unsigned style);
    FormWindow* Find(const TForm& form) const;

    std::vector<std::unique_ptr<FormWindow>> windows_;
    MessageBoxHandler previousMessageBox_ = nullptr;
    int dpi_;
};
