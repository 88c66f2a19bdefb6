// The desktop renderer: each form becomes a Qt Widgets window.
//
// The window is built from the form's description and kept in step with it: the model lays
// the aligned controls out whenever the window's size changes, the memos' lines are mirrored
// as they change, and clicks reach the model through the application's Dispatch, so that an
// escaping exception is shown in a message box and the window stays open. While the renderer
// lives, the library's message box is a real modal dialog. The window's first size is the
// form's, fitted to the screen; keys press the buttons as in the terminal renderer.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "report/MessageBox.h"
#include "widgets/Application.h"

class QApplication;
class QWidget;

class QtRenderer final : public TRenderer {
public:
    // Uses the running QApplication, or makes one for programPath (no other arguments). Before
    // making one it throws RendererUnavailable where no display can be opened or the only one
    // is a platform that nobody sees (offscreen, minimal). Should Qt fail to start all the
    // same, the program ends with a message and status 1.
    explicit QtRenderer(const char* programPath = "quil");
    ~QtRenderer() override;

    int Run(TApplication& app, TForm& mainForm) override;
    void ShowException(const TApplication& app, const std::string& message) override;

    // Builds and shows the window of form without entering the message loop.
    QWidget* Show(TApplication& app, TForm& form);
    // The window that shows form, or null.
    QWidget* WindowOf(const TForm& form) const;

private:
    class FormWindow;

    std::string programPath_;
    int argc_ = 1;
    char* argv_[2] = {nullptr, nullptr};
    std::unique_ptr<QApplication> ownApplication_;
    std::vector<std::unique_ptr<FormWindow>> windows_;
    MessageBoxHandler previousMessageBox_ = nullptr;
};
