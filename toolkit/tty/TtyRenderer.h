// The terminal renderer: the main form drawn with ncurses in the terminal the program runs in.
//
// TtyWindow lays the form out and handles keys and clicks; this class owns the ncurses session,
// turns terminal input into TtyWindow calls and draws. The terminal is restored when Run ends,
// however it ends (also on SIGINT, SIGTERM and SIGHUP, which close the form). While Run lasts,
// the library's message box and the application's exception display are modal notices.
#pragma once

#include "widgets/Application.h"

class TtyWindow;

class TtyRenderer final : public TRenderer {
public:
    TtyRenderer() = default;
    ~TtyRenderer() override = default;

    int Run(TApplication& app, TForm& mainForm) override;
    void ShowException(const TApplication& app, const std::string& message) override;

private:
    class Session;

    static int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style);
    void Notice(const std::string& caption, const std::string& text);

    Session* session_ = nullptr;   // while Run lasts
    TtyWindow* window_ = nullptr;
};
