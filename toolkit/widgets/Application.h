// The application object: title, forms, message loop and exception display.
//
// The renderer given to Initialize decides how the forms are shown and how an escaped
// exception is displayed; without one, Run returns at once and exceptions go to standard
// error.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "widgets/Widgets.h"

class TApplication;

// Thrown by a renderer's constructor when it cannot start here; what() says why. A quiet one
// only says that the surroundings are not that renderer's (no display named, no terminal), which
// the automatic choice passes over without a word.
class RendererUnavailable : public std::runtime_error {
public:
    explicit RendererUnavailable(const std::string& why, bool quiet = false)
        : std::runtime_error(why), quiet_(quiet) {}
    bool Quiet() const { return quiet_; }

private:
    bool quiet_;
};

class TRenderer {
public:
    virtual ~TRenderer() = default;
    // Shows the main form and runs the message loop until it is closed; returns the exit code.
    virtual int Run(TApplication& app, TForm& mainForm) = 0;
    // The application's exception display: a modal notice with the message.
    virtual void ShowException(const TApplication& app, const std::string& message) = 0;
};

class TApplication : public TComponent {
public:
    TApplication();
    // The renderer goes first, while the forms it shows still exist.
    ~TApplication() override;

    void Initialize(std::unique_ptr<TRenderer> renderer);
    TRenderer* Renderer() const { return renderer_.get(); }

    // Creates a form owned by the application; the first one becomes the main form.
    template <class Form>
    void CreateForm(Form*& form) {
        form = new Form(this);
        if (mainForm_ == nullptr) mainForm_ = form;
    }
    TForm* MainForm() const { return mainForm_; }

    // Runs the message loop of the main form and leaves the renderer's result in ExitCode.
    void Run();

    // Calls an event handler; an exception escaping it is shown and false returned.
    bool Dispatch(const std::function<void()>& handler);
    // Shows the exception being handled; call it only inside a catch block.
    void HandleException();
    void ShowException(const std::string& message);

    // The running program's name as the desktop shows it; Name (the component's) is what the
    // desktop tells programs apart by, a short one like "quadrun".
    std::string Title;
    std::string ExeName;   // the path the program was started by
    int ExitCode = 0;

private:
    std::unique_ptr<TRenderer> renderer_;
    TForm* mainForm_ = nullptr;
};

// The name a program's messages begin with: the last part of its path.
std::string ProgramNameOf(const std::string& path);

// The message of the exception being handled: what() for a standard exception (the library's
// exceptions among them, whose what() names their class and fault), the type's name for
// anything else.
std::string DescribeCurrentException();
