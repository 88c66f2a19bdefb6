// The Windows renderer: each form becomes a top-level window of native controls.
//
// The window is built from the form's description when it is created and kept in step with
// it: the model lays the aligned controls out whenever the window's size changes, the memos'
// lines are mirrored into read-only edit controls as they change, and clicks reach the model
// through the application's Dispatch, so that an escaping exception is shown in a message box
// and the window stays open. Enter presses the default button and Escape the cancel button,
// wherever the focus is in the window. While the renderer lives, the library's message box is
// the system's, owned by the main window.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "report/MessageBox.h"
#include "widgets/Application.h"

class Win32Renderer final : public TRenderer {
public:
    Win32Renderer();
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
};

// For a program without a console of its own (the windows subsystem): when standard output
// leads nowhere, it goes to the console of the process that started the program, if any.
void UseParentConsole();
