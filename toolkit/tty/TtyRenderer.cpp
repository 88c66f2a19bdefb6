#include "tty/TtyRenderer.h"

#include <curses.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/MessageBox.h"
#include "tty/TtyWindow.h"

// Last: it defines macros with short names (lines, columns) for the terminal's capabilities.
#include <term.h>

namespace {

volatile std::sig_atomic_t stopSignal = 0;   // the termination signal that arrived, or 0
volatile std::sig_atomic_t resumed = 0;      // the program went on after a stop

extern "C" void RequestStop(int signal) { stopSignal = signal; }
extern "C" void NoteResume(int) { resumed = 1; }

// Signals that end a program and come from outside (kill, the terminal's keys, timers): each is
// noted, the window closes and restores the terminal, and then the program ends as the signal
// would have ended it.
std::vector<int> EndingSignals() {
    std::vector<int> signals = {SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                SIGVTALRM, SIGPROF, SIGPIPE, SIGXCPU, SIGXFSZ, SIGIO};
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
    return signals;
}

// Signals of a fault (or sent as one): the program cannot go on, so the handler restores the
// terminal itself, with what is safe in a handler, and lets the signal take its course.
constexpr int FaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT};

// What the fault handler needs, made while the session starts: the terminal's modes before the
// session, and the text that puts its screen back (attributes, mouse, keypad, cursor, screen).
termios savedModes{};
char resetText[256];
std::size_t resetLength = 0;
struct sigaction previousFault[std::size(FaultSignals)]{};

extern "C" void RestoreTerminalAndFail(int signal) {
    (void)!write(STDOUT_FILENO, resetText, resetLength);
    tcsetattr(STDOUT_FILENO, TCSANOW, &savedModes);
    for (std::size_t i = 0; i < std::size(FaultSignals); ++i)
        if (FaultSignals[i] == signal) sigaction(signal, &previousFault[i], nullptr);
    // Delivered when the handler returns, to whatever handled it before (a sanitizer's report,
    // or the default end with a core).
    raise(signal);
}

// A capability's string, or nothing where the terminal has none.
std::string Capability(const char* name) {
    const char* value = tigetstr(name);
    return value != nullptr && value != reinterpret_cast<char*>(-1) ? value : "";
}

TtyRenderer* activeRenderer = nullptr;

constexpr int CtrlC = 3, CtrlL = 12, CtrlQ = 17, CtrlZ = 26, Escape = 27;

// xterm's mouse mode 1002: presses, releases and the moves made with a button held.
constexpr const char* DragReportsOn = "\x1b[?1002h";
constexpr const char* DragReportsOff = "\x1b[?1002l";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

}  // namespace

TtyRenderer::TtyRenderer() {
    if (isatty(STDIN_FILENO) != 1 || isatty(STDOUT_FILENO) != 1)
        throw RendererUnavailable("the tty renderer needs a terminal on standard input and output", true);
    if (!IsSet("TERM")) throw RendererUnavailable("the tty renderer cannot drive the terminal: TERM is not set");
    const std::string term = std::getenv("TERM");
    int error = 0;
    if (setupterm(term.c_str(), STDOUT_FILENO, &error) != OK)
        throw RendererUnavailable("the tty renderer cannot drive the terminal TERM=" + term +
                                  (error == -1 ? ": no terminal database" : ": unknown terminal type"));
    const char* move = tigetstr("cup");
    const bool placesCursor = move != nullptr && move != reinterpret_cast<char*>(-1) && tigetflag("hc") != 1;
    del_curterm(cur_term);
    if (!placesCursor) throw RendererUnavailable("the terminal TERM=" + term + " cannot place the cursor", true);
}

// One ncurses session on the process's terminal; ending it restores the terminal.
class TtyRenderer::Session final : public TtySurface {
public:
    struct Event {
        enum Kind { None, Key, Click, Drag, Release, Wheel, Stop, Hangup } Kind = None;
        int Value = 0;   // the key, or the wheel's lines
        int Row = 0;
        int Col = 0;
    };

    Session() {
        // Ctrl-Z does what the terminal's own key would: nothing where stops are ignored.
        struct sigaction stop {};
        sigaction(SIGTSTP, nullptr, &stop);
        canSuspend_ = stop.sa_handler != SIG_IGN;
        tcgetattr(STDOUT_FILENO, &savedModes);
        screen_ = newterm(nullptr, stdout, stdin);
        if (screen_ == nullptr) {
            const char* term = std::getenv("TERM");
            throw RendererUnavailable(std::string("the tty renderer cannot drive the terminal TERM=") +
                                      (term != nullptr ? term : ""));
        }
        set_term(screen_);
        raw();
        noecho();
        nonl();
        keypad(stdscr, TRUE);
        curs_set(0);
        // Long enough for the rest of a key's sequence to arrive over a slow line, short enough
        // that a lone Escape still answers at once.
        set_escdelay(100);
        // getch never waits: Next waits in poll, which also sees the terminal go away.
        timeout(0);
        mouseinterval(0);
        // No releases: ncurses hands over only the last of the reports that arrive together,
        // and a press must not be lost to its release. A thumb taken is let go at the next press.
        mousemask(BUTTON1_PRESSED | BUTTON2_PRESSED | BUTTON3_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED |
                      REPORT_MOUSE_POSITION,
                  nullptr);
        // ncurses asks an xterm for presses and releases only; a scroll bar's thumb is dragged
        // with the moves made while a button is held (mode 1002), asked for after each time
        // ncurses has turned the mouse on.
        const std::string mouseKey = Capability("kmous");
        dragReports_ = has_mouse() == TRUE && mouseKey.starts_with("\x1b[");
        InitStyles();
        PrepareReset();
        stopSignal = 0;
        resumed = 0;
        struct sigaction action {};
        action.sa_handler = RequestStop;
        sigemptyset(&action.sa_mask);
        for (int signal : EndingSignals()) {
            struct sigaction previous {};
            sigaction(signal, nullptr, &previous);
            // A signal the program was started ignoring (nohup) stays ignored.
            if (previous.sa_handler == SIG_IGN) continue;
            sigaction(signal, &action, nullptr);
            previous_.emplace_back(signal, previous);
        }
        action.sa_handler = RestoreTerminalAndFail;
        for (std::size_t i = 0; i < std::size(FaultSignals); ++i) {
            sigaction(FaultSignals[i], nullptr, &previousFault[i]);
            if (previousFault[i].sa_handler != SIG_IGN) sigaction(FaultSignals[i], &action, nullptr);
        }
        action.sa_handler = NoteResume;
        sigaction(SIGCONT, &action, &previousResume_);
    }

    ~Session() {
        sigaction(SIGCONT, &previousResume_, nullptr);
        for (std::size_t i = 0; i < std::size(FaultSignals); ++i) sigaction(FaultSignals[i], &previousFault[i], nullptr);
        for (const auto& [signal, previous] : previous_) sigaction(signal, &previous, nullptr);
        LeaveScreen();
        delscreen(screen_);
    }

    // Shows what was drawn; after the session's start and a resume, with the moves of a held
    // mouse button reported.
    void Show() {
        refresh();
        if (dragReports_ && !dragReportsOn_) {
            Send(DragReportsOn);
            dragReportsOn_ = true;
        }
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

    // The next input, or None after a while without any (the caller draws in between).
    Event Next() {
        int emptyReads = 0;
        for (;;) {
            if (stopSignal != 0) return {Event::Stop};
            if (resumed != 0) {
                resumed = 0;
                // Whatever the shell did to the terminal meanwhile: take it back and draw anew.
                LeaveScreen();
                Redraw();
                return {};
            }
            const int ch = getch();
            if (ch != ERR) return Decode(ch);
            // Readable twice over yet nothing read: the end of the input.
            if (emptyReads == 2) return {Event::Hangup};
            pollfd input{STDIN_FILENO, POLLIN, 0};
            const int ready = poll(&input, 1, 200);
            if (ready < 0 && errno == EINTR) continue;
            if (ready == 0) return {};
            if (ready < 0 || (input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return {Event::Hangup};
            ++emptyReads;
        }
    }

private:
    Event Decode(int ch) {
        switch (ch) {
        case KEY_UP: return {Event::Key, TtyKeyUp};
        case KEY_DOWN: return {Event::Key, TtyKeyDown};
        case KEY_LEFT: return {Event::Key, TtyKeyLeft};
        case KEY_RIGHT: return {Event::Key, TtyKeyRight};
        case KEY_PPAGE: return {Event::Key, TtyKeyPageUp};
        case KEY_NPAGE: return {Event::Key, TtyKeyPageDown};
        case KEY_HOME: return {Event::Key, TtyKeyHome};
        case KEY_END: return {Event::Key, TtyKeyEnd};
        case KEY_ENTER: case '\r': case '\n': return {Event::Key, TtyKeyEnter};
        case Escape: return AfterEscape();
        case CtrlQ: return {Event::Key, TtyKeyClose};
        // The terminal's own keys, which raw mode leaves to the program.
        case CtrlC: std::raise(SIGINT); return {};
        case CtrlZ: Suspend(); return {};
        case CtrlL: Redraw(); return {};
        case KEY_MOUSE: {
            MEVENT mouse{};
            if (getmouse(&mouse) != OK) return {};
            if (mouse.bstate & BUTTON4_PRESSED) return {Event::Wheel, -3};
            if (mouse.bstate & BUTTON5_PRESSED) return {Event::Wheel, 3};
            if (mouse.bstate & REPORT_MOUSE_POSITION) return {Event::Drag, 0, mouse.y, mouse.x};
            if (mouse.bstate & BUTTON1_PRESSED) return {Event::Click, 0, mouse.y, mouse.x};
            if (mouse.bstate & (BUTTON2_PRESSED | BUTTON3_PRESSED)) return {Event::Release};
            return {};
        }
        default: return ch >= 0 && ch < 0x100 ? Event{Event::Key, ch} : Event{};
        }
    }

    // ncurses hands over an Escape that begins no key it knows, with whatever came right after
    // it still to be read. Alone it is the Escape key; followed by more it is an Alt chord or a
    // key the terminal description does not name, and is dropped whole.
    Event AfterEscape() {
        const int next = getch();
        if (next == ERR) return {Event::Key, TtyKeyEscape};
        if (next == Escape) {
            AfterEscape();
        } else if (next == '[') {
            // A control sequence: parameter and intermediate bytes, then a final byte.
            for (int ch = getch(); ch != ERR && !(ch >= 0x40 && ch <= 0x7E); ch = getch()) {}
        } else if (next == 'O') {
            // Keypad Enter in application mode, which terminals without it in their description
            // (screen, tmux) pass on as it is.
            if (getch() == 'M') return {Event::Key, TtyKeyEnter};
        }
        return {};
    }

    // Stops the program's process group as the terminal's Ctrl-Z would, with the terminal given
    // back to the shell meanwhile.
    void Suspend() {
        if (!canSuspend_) return;
        LeaveScreen();
        struct sigaction stop {};
        struct sigaction previous {};
        stop.sa_handler = SIG_DFL;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGTSTP, &stop, &previous);
        kill(0, SIGTSTP);
        sigaction(SIGTSTP, &previous, nullptr);
        // Also where the stop was refused (a group no shell looks after): the screen comes back.
        resumed = 1;
    }

    // The next refresh paints the whole screen, not just what changed.
    static void Redraw() { clearok(curscr, TRUE); }

    // Gives the terminal back as it was: the drag reports off, then what ncurses undoes.
    void LeaveScreen() {
        if (dragReportsOn_) Send(DragReportsOff);
        dragReportsOn_ = false;
        endwin();
    }

    // Written past ncurses, whose own output is out by then: it is flushed at each refresh.
    static void Send(std::string_view text) {
        while (!text.empty()) {
            const ssize_t n = write(STDOUT_FILENO, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    }

private:
    void InitStyles() {
        // NO_COLOR, set to anything, asks for no colours; the monochrome attributes remain.
        const bool colour = has_colors() == TRUE && !IsSet("NO_COLOR");
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

    // The text that undoes what the session did to the screen, for the fault handler: the
    // mouse reports off (the terminal's own sequence where its description has one, xterm's
    // otherwise), the keypad's normal mode, plain attributes, the cursor shown, the shell's
    // screen back.
    void PrepareReset() const {
        const std::string mouseOff = !Capability("XM").empty() ? tiparm(Capability("XM").c_str(), 0) : "\x1b[?1000l";
        const std::string text = Capability("sgr0") + (dragReports_ ? DragReportsOff : "") + mouseOff +
                                 Capability("rmkx") + Capability("cnorm") + Capability("rmcup");
        resetLength = std::min(text.size(), sizeof resetText);
        std::copy_n(text.data(), resetLength, resetText);
    }

    std::vector<std::pair<int, struct sigaction>> previous_;   // the ending signals' actions before
    struct sigaction previousResume_ {};
    bool canSuspend_ = true;
    bool dragReports_ = false;     // the terminal reports the mouse as xterm does
    bool dragReportsOn_ = false;
    SCREEN* screen_ = nullptr;
    chtype styles_[static_cast<int>(TtyStyle::NoticeButton) + 1] = {};
};

int TtyRenderer::Run(TApplication& app, TForm& mainForm) {
    int status = 0;
    {
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
            session.Show();
            const Session::Event event = session.Next();
            switch (event.Kind) {
            case Session::Event::Key: window.Key(event.Value); break;
            case Session::Event::Click: window.Click(event.Row, event.Col); break;
            case Session::Event::Drag: window.Drag(event.Row, event.Col); break;
            case Session::Event::Release: window.Release(); break;
            case Session::Event::Wheel: window.Wheel(event.Value); break;
            case Session::Event::Hangup: status = 1; [[fallthrough]];
            case Session::Event::Stop: mainForm.Close(); break;
            case Session::Event::None: break;
            }
        }
    }
    // The terminal is restored: now end as the signal would have ended the program.
    if (stopSignal != 0) {
        std::signal(stopSignal, SIG_DFL);
        std::raise(stopSignal);
    }
    return status;
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
        session_->Show();
        const Session::Event event = session_->Next();
        if (event.Kind == Session::Event::Stop || event.Kind == Session::Event::Hangup) return;
        if (event.Kind == Session::Event::Key && TtyNotice::Dismisses(event.Value)) return;
        if (event.Kind == Session::Event::Click && notice.OkAt(event.Row, event.Col)) return;
    }
}
