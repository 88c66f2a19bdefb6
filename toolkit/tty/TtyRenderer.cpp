#include "tty/TtyRenderer.h"

#include <curses.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "msgbox/MessageBox.h"
#include "tty/TtyWindow.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) { stopRequested = 1; }

TtyRenderer* activeRenderer = nullptr;

}  // namespace

// One ncurses session on the process's terminal; ending it restores the terminal.
class TtyRenderer::Session final : public TtySurface {
public:
    struct Event {
        enum Kind { None, Key, Click, Wheel, Stop } Kind = None;
        int Value = 0;   // the key, or the wheel's lines
        int Row = 0;
        int Col = 0;
    };

    Session() {
        screen_ = newterm(nullptr, stdout, stdin);
        if (screen_ == nullptr) {
            const char* term = std::getenv("TERM");
            throw std::runtime_error(std::string("tty renderer: cannot drive the terminal TERM=") +
                                     (term != nullptr ? term : ""));
        }
        set_term(screen_);
        raw();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        curs_set(0);
        set_escdelay(25);
        // Wake up now and then to notice a termination signal.
        timeout(200);
        mouseinterval(0);
        mousemask(BUTTON1_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
        InitStyles();
        stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(signals_); ++i) sigaction(signals_[i], &action, &previous_[i]);
    }

    ~Session() {
        for (std::size_t i = 0; i < std::size(signals_); ++i) sigaction(signals_[i], &previous_[i], nullptr);
        endwin();
        delscreen(screen_);
    }

    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Put(int row, int col, std::string_view text, TtyStyle style) override {
        if (row < 0 || row >= LINES || col >= COLS) return;
        if (col < 0) {
            text.remove_prefix(std::min(text.size(), static_cast<std::size_t>(-col)));
            col = 0;
        }
        const int count = std::min(static_cast<int>(text.size()), COLS - col);
        attrset(styles_[static_cast<int>(style)]);
        mvaddnstr(row, col, text.data(), count);
    }

    Event Next() {
        if (stopRequested) return {Event::Stop};
        const int ch = getch();
        switch (ch) {
        case ERR: return {stopRequested ? Event::Stop : Event::None};
        case KEY_UP: return {Event::Key, TtyKeyUp};
        case KEY_DOWN: return {Event::Key, TtyKeyDown};
        case KEY_LEFT: return {Event::Key, TtyKeyLeft};
        case KEY_RIGHT: return {Event::Key, TtyKeyRight};
        case KEY_PPAGE: return {Event::Key, TtyKeyPageUp};
        case KEY_NPAGE: return {Event::Key, TtyKeyPageDown};
        case KEY_HOME: return {Event::Key, TtyKeyHome};
        case KEY_END: return {Event::Key, TtyKeyEnd};
        case KEY_ENTER: case '\r': case '\n': return {Event::Key, TtyKeyEnter};
        case 27: return {Event::Key, TtyKeyEscape};
        case 3: case 17: return {Event::Key, TtyKeyClose};   // Ctrl-C, Ctrl-Q
        case KEY_MOUSE: {
            MEVENT mouse{};
            if (getmouse(&mouse) != OK) return {};
            if (mouse.bstate & BUTTON4_PRESSED) return {Event::Wheel, -3};
            if (mouse.bstate & BUTTON5_PRESSED) return {Event::Wheel, 3};
            if (mouse.bstate & BUTTON1_PRESSED) return {Event::Click, 0, mouse.y, mouse.x};
            return {};
        }
        default: return ch >= 0 && ch < 0x100 ? Event{Event::Key, ch} : Event{};
        }
    }

private:
    void InitStyles() {
        const bool colour = has_colors() == TRUE;
        if (colour) {
            start_color();
            use_default_colors();
        }
        struct {
            TtyStyle Style;
            short Fore, Back;
            chtype Extra, Mono;
        } const table[] = {
            {TtyStyle::Caption, COLOR_WHITE, COLOR_BLUE, A_BOLD, A_REVERSE | A_BOLD},
            {TtyStyle::Strip, COLOR_BLACK, COLOR_WHITE, 0, A_REVERSE},
            {TtyStyle::Button, COLOR_BLACK, COLOR_CYAN, 0, A_BOLD},
            {TtyStyle::HotKey, COLOR_RED, COLOR_CYAN, A_BOLD, A_BOLD | A_UNDERLINE},
            {TtyStyle::Label, COLOR_BLACK, COLOR_WHITE, 0, A_REVERSE},
            {TtyStyle::Report, -1, -1, 0, A_NORMAL},
            {TtyStyle::ScrollBar, COLOR_BLACK, COLOR_WHITE, 0, A_NORMAL},
            {TtyStyle::Status, COLOR_BLACK, COLOR_WHITE, 0, A_REVERSE},
            {TtyStyle::Notice, COLOR_BLACK, COLOR_WHITE, 0, A_REVERSE},
            {TtyStyle::NoticeButton, COLOR_WHITE, COLOR_BLUE, A_BOLD, A_BOLD},
        };
        short pair = 1;
        for (const auto& entry : table) {
            chtype attr = entry.Mono;
            if (colour) {
                init_pair(pair, entry.Fore, entry.Back);
                attr = COLOR_PAIR(pair) | entry.Extra;
                ++pair;
            }
            styles_[static_cast<int>(entry.Style)] = attr;
        }
    }

    static constexpr int signals_[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(signals_)] {};
    SCREEN* screen_ = nullptr;
    chtype styles_[static_cast<int>(TtyStyle::NoticeButton) + 1] = {};
};

int TtyRenderer::Run(TApplication& app, TForm& mainForm) {
    Session session;
    TtyWindow window(app, mainForm);
    // Undone in reverse on the way out, before the window and the session go.
    struct Active {
        TtyRenderer* Renderer;
        MessageBoxHandler Previous;
        Active(TtyRenderer* renderer, Session* session, TtyWindow* window)
            : Renderer(renderer), Previous(SetMessageBoxHandler(ShowMessageBox)) {
            renderer->session_ = session;
            renderer->window_ = window;
            activeRenderer = renderer;
        }
        ~Active() {
            activeRenderer = nullptr;
            Renderer->session_ = nullptr;
            Renderer->window_ = nullptr;
            SetMessageBoxHandler(Previous);
        }
    } active(this, &session, &window);

    mainForm.Show();
    while (!window.Closed()) {
        window.Resize(LINES, COLS);
        erase();
        window.Draw(session);
        refresh();
        const Session::Event event = session.Next();
        switch (event.Kind) {
        case Session::Event::Key: window.Key(event.Value); break;
        case Session::Event::Click: window.Click(event.Row, event.Col); break;
        case Session::Event::Wheel: window.Wheel(event.Value); break;
        case Session::Event::Stop: mainForm.Close(); break;
        case Session::Event::None: break;
        }
    }
    return 0;
}

void TtyRenderer::ShowException(const TApplication& app, const std::string& message) {
    if (session_ != nullptr) {
        Notice(app.Title, message);
    } else {
        std::fprintf(stderr, "%s: %s\n", app.Title.c_str(), message.c_str());
        std::fflush(stderr);
    }
}

int TtyRenderer::ShowMessageBox(void*, const char* text, const char* caption, unsigned) {
    if (activeRenderer != nullptr) activeRenderer->Notice(caption, text);
    return IDOK;
}

void TtyRenderer::Notice(const std::string& caption, const std::string& text) {
    for (;;) {
        const TtyNotice notice(caption, text, LINES, COLS);
        window_->Resize(LINES, COLS);
        erase();
        window_->Draw(*session_);
        notice.Draw(*session_);
        refresh();
        const Session::Event event = session_->Next();
        if (event.Kind == Session::Event::Stop) return;
        if (event.Kind == Session::Event::Key && TtyNotice::Dismisses(event.Value)) return;
        if (event.Kind == Session::Event::Click && notice.OkAt(event.Row, event.Col)) return;
    }
}
