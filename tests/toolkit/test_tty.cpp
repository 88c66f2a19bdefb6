// The terminal renderer: its core drawn onto a character grid, and the real program in a
// pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <tuple>

#include "FmMain.h"
#include "ProcessRun.h"
#include "TestProgram.h"
#include "tty/TtyWindow.h"
#include "widgets/Application.h"

namespace {

class Grid final : public TtySurface {
public:
    Grid(int rows, int cols) : rows_(static_cast<std::size_t>(rows), std::string(static_cast<std::size_t>(cols), ' ')) {}

    void Put(int row, int col, std::string_view text, TtyStyle) override {
        if (row < 0 || row >= static_cast<int>(rows_.size())) return;
        std::string& line = rows_[static_cast<std::size_t>(row)];
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::size_t at = static_cast<std::size_t>(col) + i;
            if (at < line.size()) line[at] = text[i];
        }
    }
    const std::string& Row(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    // The row with its trailing spaces cut.
    std::string Text(int row) const {
        const std::string& line = Row(row);
        return line.substr(0, line.find_last_not_of(' ') + 1);
    }

private:
    std::vector<std::string> rows_;
};

class TtyCore : public ::testing::Test {
protected:
    static constexpr int Rows = 24;
    static constexpr int Cols = 80;
    // Caption, strip, report (text and horizontal bar), status line.
    static constexpr int ReportRow = 2;
    static constexpr int TextRows = Rows - 4;

    void SetUp() override {
        app.Title = PlatformTestProgram.ApplicationTitle;
        app.CreateForm(form);
        form->Show();
        window = std::make_unique<TtyWindow>(app, *form);
        window->Resize(Rows, Cols);
    }

    Grid Drawn() const {
        Grid grid(Rows, Cols);
        window->Draw(grid);
        return grid;
    }

    TApplication app;
    TFmTest* form = nullptr;
    std::unique_ptr<TtyWindow> window;
};

}  // namespace

TEST_F(TtyCore, DrawsCaptionStripEmptyReportAndStatusLine) {
    const Grid grid = Drawn();
    EXPECT_EQ(grid.Text(0), " QUIL Library Test Platform" + std::string(80 - 27 - 3, ' ') + "[x]");
    // Exit at column 1, the label right-justified in its 31 columns, Run after it.
    EXPECT_EQ(grid.Row(1).substr(1, 6), "[Exit]");
    EXPECT_EQ(grid.Row(1).substr(8, 31), std::string(31 - 19, ' ') + "Platform under test");
    EXPECT_EQ(grid.Row(1).substr(40, 5), "[Run]");
    EXPECT_EQ(grid.Text(ReportRow), std::string(79, ' ') + "^");
    EXPECT_EQ(grid.Text(Rows - 1), "");
}

TEST_F(TtyCore, RunByKeyFillsTheReportAndShowsItsEnd) {
    window->Key('r');
    ASSERT_EQ(form->Memo->Lines->Count(), static_cast<int>(TestReport.size()));
    const int top = static_cast<int>(TestReport.size()) - TextRows;
    EXPECT_EQ(window->TopLine(), top);
    const Grid grid = Drawn();
    for (int r = 0; r < TextRows; ++r)
        EXPECT_EQ(grid.Row(ReportRow + r).substr(0, 79).find_last_not_of(' ') + 1,
                  std::min<std::size_t>(79, TestReport[static_cast<std::size_t>(top + r)].size()))
            << "row " << r;
    EXPECT_EQ(grid.Row(ReportRow + TextRows - 2).substr(0, 7), "line 40");

    window->Key(TtyKeyEnter);   // the default button: Run again
    EXPECT_EQ(form->Memo->Lines->Count(), static_cast<int>(TestReport.size())) << "not two copies";
}

TEST_F(TtyCore, ScrollsBothWaysWithinTheReport) {
    window->Key('R');
    window->Key(TtyKeyHome);
    EXPECT_EQ(window->TopLine(), 0);
    EXPECT_EQ(Drawn().Text(ReportRow).substr(0, 16), "Platform test...");
    window->Key(TtyKeyUp);
    EXPECT_EQ(window->TopLine(), 0);
    window->Key(TtyKeyDown);
    window->Key(TtyKeyPageDown);
    EXPECT_EQ(window->TopLine(), 1 + TextRows - 1);
    window->Key(TtyKeyPageDown);
    EXPECT_EQ(window->TopLine(), static_cast<int>(TestReport.size()) - TextRows) << "stops at the end";
    window->Key(TtyKeyHome);
    const int longest = static_cast<int>(TestReport[3].size());
    for (int i = 0; i < 100; ++i) window->Key(TtyKeyRight);
    EXPECT_EQ(window->LeftColumn(), longest - 79);
    EXPECT_EQ(Drawn().Row(ReportRow + 3).substr(0, 79).substr(79 - 10), "0123456789");
    window->Wheel(-3);
    window->Click(ReportRow + TextRows - 1, 79);   // the down arrow of the vertical bar
    EXPECT_EQ(window->TopLine(), 1);
}

// A scroll bar's thumb, taken with the mouse, follows the pointer wherever it goes while the
// button is held; a press on the track pages towards the pointer.
TEST_F(TtyCore, ScrollBarThumbsFollowTheMouse) {
    window->Key('r');
    const int end = window->TopLine();
    const auto thumbTop = [this] {
        const Grid grid = Drawn();
        for (int r = ReportRow; r < ReportRow + TextRows; ++r)
            if (grid.Row(r)[Cols - 1] == '#') return r;
        return -1;
    };
    const int taken = thumbTop() + 1;
    window->Click(taken, Cols - 1);
    EXPECT_EQ(window->TopLine(), end) << "taking the thumb scrolls nothing";
    window->Drag(taken - 5, Cols - 1);
    EXPECT_EQ(thumbTop(), taken - 1 - 5);
    EXPECT_LT(window->TopLine(), end);
    window->Drag(0, 3);
    EXPECT_EQ(window->TopLine(), 0);
    window->Drag(Rows - 1, 0);
    EXPECT_EQ(window->TopLine(), end);
    window->Release();
    window->Drag(0, Cols - 1);
    EXPECT_EQ(window->TopLine(), end) << "let go";

    window->Click(thumbTop() - 1, Cols - 1);   // below the bar's middle, above the thumb
    EXPECT_EQ(window->TopLine(), end - (TextRows - 1));
    window->Drag(0, Cols - 1);
    EXPECT_EQ(window->TopLine(), end - (TextRows - 1)) << "the track takes no thumb";

    window->Click(ReportRow + TextRows, 1);   // the horizontal bar's thumb, at its left
    window->Drag(ReportRow + TextRows, Cols - 2);
    EXPECT_EQ(window->LeftColumn(), static_cast<int>(TestReport[3].size()) - (Cols - 1));
}

TEST_F(TtyCore, ButtonsAnswerClicksAndTheCloseBoxCloses) {
    window->Click(1, 41);
    EXPECT_EQ(form->Memo->Lines->Count(), static_cast<int>(TestReport.size()));
    window->Click(1, 2);
    EXPECT_TRUE(window->Closed());
    form->Show();
    window->Click(0, 78);
    EXPECT_TRUE(window->Closed());
    form->Show();
    window->Key(TtyKeyEscape);   // the cancel button: Exit
    EXPECT_TRUE(window->Closed());
}

TEST_F(TtyCore, NarrowTerminalsKeepBothButtons) {
    for (int cols : {44, 30, 13}) {
        window->Resize(Rows, cols);
        Grid grid(Rows, cols);
        window->Draw(grid);
        const std::string strip = grid.Row(1);
        const auto run = strip.find("[Run]");
        ASSERT_NE(strip.find("[Exit]"), std::string::npos) << cols;
        ASSERT_NE(run, std::string::npos) << cols;
        form->Memo->Lines->Clear();
        window->Click(1, static_cast<int>(run) + 1);
        EXPECT_EQ(form->Memo->Lines->Count(), static_cast<int>(TestReport.size())) << cols;
    }
}

TEST_F(TtyCore, AnExceptionFromTheRunLeavesTheWindowOpen) {
    TestRunFailure = TestFailure::Standard;
    testing::internal::CaptureStderr();
    window->Key('r');
    const std::string shown = testing::internal::GetCapturedStderr();
    TestRunFailure = TestFailure::None;
    EXPECT_EQ(shown, "Test of Platform: suite failed on purpose\n");
    EXPECT_FALSE(window->Closed());
    EXPECT_EQ(form->Memo->Lines->Count(), LinesBeforeFailure);
    window->Key('r');
    EXPECT_EQ(form->Memo->Lines->Count(), static_cast<int>(TestReport.size()));
}

TEST(TtyNoticeBox, ShowsCaptionAndTextAndClosesOnOk) {
    const TtyNotice notice("QUIL Lib. Error Message", "failed to allocate 0 byte(s) in heap area.\r\n", 24, 80);
    Grid grid(24, 80);
    notice.Draw(grid);
    std::string all;
    int okRow = -1;
    int okCol = -1;
    for (int r = 0; r < 24; ++r) {
        all += grid.Row(r) + "\n";
        if (auto at = grid.Row(r).find("[ OK ]"); at != std::string::npos) {
            okRow = r;
            okCol = static_cast<int>(at);
        }
    }
    EXPECT_NE(all.find("+- QUIL Lib. Error Message -"), std::string::npos);
    EXPECT_NE(all.find("| failed to allocate 0 byte(s) in heap area. |"), std::string::npos);
    ASSERT_GE(okRow, 0);
    EXPECT_TRUE(notice.OkAt(okRow, okCol + 2));
    EXPECT_FALSE(notice.OkAt(okRow, okCol - 1));
    EXPECT_TRUE(TtyNotice::Dismisses(TtyKeyEnter));
    EXPECT_FALSE(TtyNotice::Dismisses('x'));
}

// --- the program in a pseudo-terminal ---------------------------------------------------------

namespace {

// Runs the program in the terminal as a shell with job control would: in a process group of
// its own in the foreground, its parent reporting a stop as "[stopped]" and letting it go on.
[[noreturn]] void RunUnderShell() {
    signal(SIGTTOU, SIG_IGN);
    const pid_t job = fork();
    if (job == 0) {
        setpgid(0, 0);
        tcsetpgrp(STDIN_FILENO, getpid());
        signal(SIGTTOU, SIG_DFL);
        execl(QUIL_TEST_PROGRAM, QUIL_TEST_PROGRAM, static_cast<char*>(nullptr));
        _exit(127);
    }
    setpgid(job, job);
    int status = 0;
    while (waitpid(job, &status, WUNTRACED) == job && WIFSTOPPED(status)) {
        tcsetpgrp(STDIN_FILENO, getpgrp());
        (void)!write(STDOUT_FILENO, "[stopped]", 9);
        tcsetpgrp(STDIN_FILENO, job);
        kill(-job, SIGCONT);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

class PtyProgram {
public:
    enum Mode { Plain, IgnoringHangup, UnderShell };

    // The program with the tty renderer forced and TERM=xterm, unless env says otherwise (an
    // empty value counts as unset).
    explicit PtyProgram(const char* failure, const std::map<std::string, std::string>& env = {}, Mode mode = Plain) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = 80;
        pid_ = forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            std::map<std::string, std::string> all = {{"QUIL_RENDERER", "tty"}, {"TERM", "xterm"}, {"NO_COLOR", ""},
                {"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}, {"QUIL_TEST_FAILURE", failure}};
            for (const auto& [name, value] : env) all[name] = value;
            for (const auto& [name, value] : all) setenv(name.c_str(), value.c_str(), 1);
            if (mode == IgnoringHangup) signal(SIGHUP, SIG_IGN);
            const rlimit noCore{0, 0};   // the signals that dump one
            setrlimit(RLIMIT_CORE, &noCore);
            if (mode == UnderShell) RunUnderShell();
            execl(QUIL_TEST_PROGRAM, QUIL_TEST_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    ~PtyProgram() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) close(master_);
    }

    bool Started() const { return pid_ > 0; }

    // Reads until text has appeared in what the program wrote since the last wait.
    bool WaitFor(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            if (const auto at = output_.find(text, seen_); at != std::string::npos) {
                seen_ = at + text.size();
                return true;
            }
            if (!ReadSome()) break;
        }
        return false;
    }

    void Type(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }

    // Waits for the program's end and returns its exit status as a shell gives it: 128 plus the
    // signal's number when a signal ended it; -1 when it did not end.
    int Wait() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            // Once the program has let go of the terminal, there is nothing more to read.
            const bool open = ReadSome();
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                // What it wrote last may still be on its way: the terminal ends after it.
                while (ReadSome() && std::chrono::steady_clock::now() < deadline) {}
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            if (!open) usleep(10000);
        }
        return -1;
    }

    // Waits until the program has read all that was typed.
    bool WaitUntilRead() {
        const int typed = open(ptsname(master_), O_RDWR | O_NOCTTY);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int waiting = 1;
        while (typed >= 0 && ioctl(typed, FIONREAD, &waiting) == 0 && waiting > 0 &&
               std::chrono::steady_clock::now() < deadline)
            usleep(1000);
        if (typed >= 0) close(typed);
        return waiting == 0;
    }

    pid_t Pid() const { return pid_; }
    // The terminal goes away, as when its window is closed.
    void Hangup() {
        close(master_);
        master_ = -1;
    }
    const std::string& Output() const { return output_; }
    termios Terminal() const {
        termios t{};
        tcgetattr(master_, &t);
        return t;
    }

private:
    bool ReadSome() {
        if (master_ < 0) return false;
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) return true;
        char buffer[4096];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) return false;
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    bool exited_ = false;
    std::string output_;
    std::size_t seen_ = 0;
};

// Whether the last of on is followed by off in the program's output.
bool TurnedOff(const std::string& out, const std::string& on, const std::string& off) {
    const auto lastOn = out.rfind(on);
    const auto lastOff = out.rfind(off);
    return lastOn == std::string::npos || (lastOff != std::string::npos && lastOff > lastOn);
}

// The alternate screen is left only where the terminal type has one.
void ExpectRestored(const PtyProgram& program, bool alternateScreen = true) {
    const termios t = program.Terminal();
    EXPECT_TRUE(t.c_lflag & ICANON) << "line editing back on";
    EXPECT_TRUE(t.c_lflag & ECHO) << "echo back on";
    const std::string& out = program.Output();
    EXPECT_TRUE(TurnedOff(out, "1000h", "1000l")) << "mouse tracking off";
    EXPECT_TRUE(TurnedOff(out, "\x1b[?1002h", "\x1b[?1002l")) << "the drag reports off";
    EXPECT_TRUE(TurnedOff(out, "\x1b[?25l", "\x1b[?25h")) << "cursor shown";
    if (!alternateScreen) return;
    const auto entered = out.find("\x1b[?1049h");
    const auto left = out.rfind("\x1b[?1049l");
    ASSERT_NE(entered, std::string::npos);
    ASSERT_NE(left, std::string::npos);
    EXPECT_LT(entered, left) << "the alternate screen is left at the end";
}

}  // namespace

TEST(TtyProgram, RunByKeyDrawsTheReportAndExitRestoresTheTerminal) {
    PtyProgram program("");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    program.Type("r");
    ASSERT_TRUE(program.WaitFor("line 40"));
    program.Type("\x0c");   // Ctrl-L draws the whole screen again
    ASSERT_TRUE(program.WaitFor("QUIL Library Test Platform"));
    kill(program.Pid(), SIGSTOP);   // stopped and let go on from outside: the screen is taken back
    kill(program.Pid(), SIGCONT);
    ASSERT_TRUE(program.WaitFor("\x1b[?1002l"));
    ASSERT_TRUE(program.WaitFor("\x1b[?1002h"));
    program.Type("e");
    EXPECT_EQ(program.Wait(), 0);
    ExpectRestored(program);
}

// Keypad Enter sends ESC O M; screen's and tmux's descriptions do not name it.
TEST(TtyProgram, KeypadEnterRunsWhateverTheTerminalDescriptionSays) {
    for (const char* term : {"xterm", "screen", "tmux-256color"}) {
        PtyProgram program("", {{"TERM", term}});
        ASSERT_TRUE(program.WaitFor("Platform under test")) << term;
        program.Type("\x1bOM");
        EXPECT_TRUE(program.WaitFor("line 40")) << term;
        program.Type("e");
        EXPECT_EQ(program.Wait(), 0) << term;
    }
}

// Terminals send Alt chords, and keys their description does not name, as Escape and more.
TEST(TtyProgram, OnlyALoneEscapePressesExit) {
    for (const auto& [term, keys] : {std::pair{"xterm", "\x1b" "e"}, std::pair{"xterm", "\x1b\x1b"},
                                      std::pair{"vt100", "\x1b[6~"}, std::pair{"screen", "\x1b[1;5C"},
                                      std::pair{"screen", "\x1b[1;2A"}}) {
        PtyProgram program("", {{"TERM", term}});
        ASSERT_TRUE(program.WaitFor("Platform under test"));
        program.Type(keys);
        ASSERT_TRUE(program.WaitUntilRead());
        usleep(300000);   // longer than an Escape waits for the rest of its sequence
        program.Type("r");
        EXPECT_TRUE(program.WaitFor("line 40")) << term << " " << keys + 1;
        program.Type("\x1b");
        EXPECT_EQ(program.Wait(), 0);
        ExpectRestored(program, std::string_view(term) != "vt100");
    }
}

TEST(TtyProgram, CtrlZSuspendsAndTheScreenComesBackOnResume) {
    PtyProgram program("", {}, PtyProgram::UnderShell);
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    program.Type("\x1a");
    ASSERT_TRUE(program.WaitFor("\x1b[?1002l"));   // no mouse reports while stopped
    ASSERT_TRUE(program.WaitFor("\x1b[?1049l"));   // the shell's screen
    ASSERT_TRUE(program.WaitFor("[stopped]"));
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    ASSERT_TRUE(program.WaitFor("\x1b[?1002h"));
    program.Type("e");
    EXPECT_EQ(program.Wait(), 0);
    ExpectRestored(program);
}

// An xterm mouse report in the SGR form that TERM=xterm announces, at a zero-based cell: code 0
// for the left button, 32 for a move with it held; final M for a press or move, m for a release.
std::string MouseReport(int code, int row, int col, char final = 'M') {
    return "\x1b[<" + std::to_string(code) + ";" + std::to_string(col + 1) + ";" + std::to_string(row + 1) + final;
}

std::string MouseClick(int row, int col) { return MouseReport(0, row, col) + MouseReport(0, row, col, 'm'); }

TEST(TtyProgram, RunAndExitByMouse) {
    PtyProgram program("");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    program.Type(MouseClick(1, 42));   // [Run]
    ASSERT_TRUE(program.WaitFor("line 40"));
    program.Type(MouseClick(1, 3));    // [Exit]
    EXPECT_EQ(program.Wait(), 0);
    ExpectRestored(program);
}

TEST(TtyProgram, TheScrollBarsThumbIsDraggedWithTheMouse) {
    PtyProgram program("");
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    ASSERT_TRUE(program.WaitFor("\x1b[?1002h")) << "moves with a button held reported";
    program.Type("r");
    ASSERT_TRUE(program.WaitFor("line 40"));
    program.Type(MouseReport(0, 20, 79));   // the thumb, at the bottom of the vertical bar
    // ncurses hands over only the last of the reports that arrive together.
    ASSERT_TRUE(program.WaitUntilRead());
    usleep(50000);
    program.Type(MouseReport(32, 2, 60));
    EXPECT_TRUE(program.WaitFor("Platform test..."));
    program.Type("e");
    EXPECT_EQ(program.Wait(), 0);
    ExpectRestored(program);
}

TEST(TtyProgram, AFailedRunShowsANoticeAndTheWindowGoesOn) {
    PtyProgram program("standard");
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(program.WaitFor("Platform under test"));
    program.Type("r");
    ASSERT_TRUE(program.WaitFor("suite failed on purpose"));
    ASSERT_TRUE(program.WaitFor("[ OK ]"));
    program.Type("\r");
    program.Type("\x11");   // Ctrl-Q closes the window
    EXPECT_EQ(program.Wait(), 0);
    ExpectRestored(program);
}

// Signal 0 stands for Ctrl-C, the terminal's interrupt key; that run is also one without colours.
// SIGABRT stands for the faults, whose handler restores the terminal itself.
TEST(TtyProgram, SignalsRestoreTheTerminalAndEndTheProgramAsTheyWould) {
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129},
                                         std::pair{SIGQUIT, 131}, std::pair{SIGUSR1, 138}, std::pair{SIGALRM, 142},
                                         std::pair{SIGRTMIN, 128 + SIGRTMIN}, std::pair{SIGABRT, 134},
                                         std::pair{0, 130}}) {
        PtyProgram program("", {{"NO_COLOR", signal == 0 ? "1" : ""}});
        ASSERT_TRUE(program.WaitFor("Platform under test"));
        signal == 0 ? program.Type("\x03") : (void)kill(program.Pid(), signal);
        EXPECT_EQ(program.Wait(), status) << signal;
        ExpectRestored(program);
        EXPECT_EQ(program.Output().find("\x1b[44m") == std::string::npos, signal == 0) << "the caption's blue";
    }
}

TEST(TtyProgram, ATerminalThatGoesAwayEndsTheProgram) {
    for (const auto& [mode, status] : {std::pair{PtyProgram::Plain, 129}, std::pair{PtyProgram::IgnoringHangup, 1}}) {
        PtyProgram program("", {}, mode);
        ASSERT_TRUE(program.WaitFor("Platform under test"));
        program.Hangup();
        EXPECT_EQ(program.Wait(), status);
    }
}

// Forced, the terminal renderer refuses such a terminal; chosen by itself, the program writes the
// report there instead, naming an unknown type but not a dumb one.
TEST(TtyProgram, TerminalsThatCannotBeDriven) {
    for (const auto& [term, renderer, said, status] :
         {std::tuple{"no-such-terminal", "tty", "TERM=no-such-terminal: unknown terminal type\r\n", 1},
          std::tuple{"dumb", "tty", "the terminal TERM=dumb cannot place the cursor\r\n", 1},
          std::tuple{"no-such-terminal", "", "unknown terminal type; writing the report to standard output instead", 0},
          std::tuple{"dumb", "", "Platform test...\r\n", 0}}) {
        PtyProgram program("", {{"TERM", term}, {"QUIL_RENDERER", renderer}});
        EXPECT_TRUE(program.WaitFor(said)) << term << " " << renderer << "\n" << program.Output();
        EXPECT_TRUE(status != 0 || program.WaitFor("line 40"));
        EXPECT_EQ(program.Wait(), status);
        EXPECT_EQ(program.Output().find("\x1b[?1049h"), std::string::npos) << "no screen of its own";
    }
}
