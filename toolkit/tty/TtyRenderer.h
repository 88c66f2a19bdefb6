// The terminal renderer: the main form drawn with ncurses in the terminal the program runs in.
//
// TtyWindow lays the form out and handles keys and clicks; this class owns the ncurses session,
// turns terminal input into TtyWindow calls and draws. The terminal itself has a few keys:
// Ctrl-L redraws, Ctrl-Z suspends (the screen is redrawn on resume), Ctrl-C interrupts. A lone
// Escape reaches the window, and ESC O M (keypad Enter where the terminal's description does
// not name it) is Enter; Alt chords and sequences ncurses cannot name are dropped whole.
// The terminal is restored when Run ends, however it ends: every signal that would end the
// program (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, ...; Ctrl-C is SIGINT's key)
// ends it as the signal would once the terminal is restored, and a fault (SIGSEGV, SIGABRT,
// ...) restores it before the signal takes its course. A terminal that goes away during the
// run ends it with status 1. While Run lasts, the library's message box and the application's
// exception display are modal notices.
#pragma once

#include "widgets/Application.h"

class TtyWindow;

class TtyRenderer final : public TRenderer {
public:
    // Throws RendererUnavailable unless standard input and output are a terminal whose type is
    // known and can place the cursor (TERM=dumb cannot).
    TtyRenderer();
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
