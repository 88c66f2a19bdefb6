// The batch renderer: one Run, the report on the output stream, the exit status.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <sstream>

#include "FmMain.h"
#include "ProcessRun.h"
#include "TestProgram.h"
#include "batch/BatchRenderer.h"
#include "choice/StandardStreams.h"
#include "widgets/Application.h"

namespace {

std::string Joined(std::vector<std::string>::const_iterator first, std::vector<std::string>::const_iterator last) {
    std::string text;
    for (; first != last; ++first) text += *first + "\n";
    return text;
}

struct BatchRun {
    std::ostringstream Out;
    std::ostringstream Err;
    TApplication App;
    TFmMain* Form = nullptr;

    int Run() { return Run(Out); }
    int Run(std::ostream& out) {
        App.Initialize(std::make_unique<BatchRenderer>(out, Err));
        App.Title = ProgramTitles.ApplicationTitle;
        App.CreateForm(Form);
        App.Run();
        return App.ExitCode;
    }
};

}  // namespace

TEST(Batch, WritesTheReportTheMemoHoldsAfterOneRun) {
    BatchRun batch;
    EXPECT_EQ(batch.Run(), 0);
    std::string memo;
    for (int i = 0; i < batch.Form->Memo->Lines->Count(); ++i) memo += (*batch.Form->Memo->Lines)[i] + "\n";
    EXPECT_EQ(batch.Out.str(), memo);
    EXPECT_EQ(batch.Out.str(), Joined(TestReport.begin(), TestReport.end()));
    EXPECT_EQ(batch.Err.str(), "");
}

TEST(Batch, AFailedRunWritesWhatItHadThenTheMessageAndFails) {
    TestRunFailure = TestFailure::Standard;
    BatchRun batch;
    const int status = batch.Run();
    TestRunFailure = TestFailure::None;
    EXPECT_NE(status, 0);
    EXPECT_EQ(batch.Out.str(), Joined(TestReport.begin(), TestReport.begin() + LinesBeforeFailure));
    EXPECT_EQ(batch.Err.str(), "Test of Platform: suite failed on purpose\n");
}

TEST(Batch, TheProgramChoosesBatchWithoutDisplayOrTerminal) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {"QUIL_RENDERER", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, Joined(TestReport.begin(), TestReport.end()));
}

TEST(Batch, TheProgramExitsNonZeroWhenTheRunFails) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {}, {{"QUIL_RENDERER", "batch"}, {"QUIL_TEST_FAILURE", "plain"}});
    EXPECT_NE(run.Status, 0);
    EXPECT_EQ(run.Out, Joined(TestReport.begin(), TestReport.begin() + LinesBeforeFailure));
    EXPECT_EQ(run.Err, "Test of Platform: exception of class TestPlainError\n");
}

TEST(Batch, AReportThatCannotBeWrittenIsAFailure) {
    BatchRun batch;
    std::ostream nowhere(nullptr);
    EXPECT_EQ(batch.Run(nowhere), 1);
    EXPECT_EQ(batch.Err.str(), "Test of Platform: cannot write the report\n");

    // A reader that stopped early (SIGPIPE ignored) is no failure.
    struct ReaderGone : std::streambuf {
        int overflow(int) override {
            errno = EPIPE;
            return traits_type::eof();
        }
    } gone;
    std::ostream pipe(&gone);
    BatchRun early;
    EXPECT_EQ(early.Run(pipe), 0);
    EXPECT_EQ(early.Err.str(), "");
}

// Each process at start: the command line, QUIL_RENDERER, where the output goes and which
// display is named. Every case starts without a renderer forced and without a display.
TEST(Startup, CommandLineStreamsAndDisplays) {
    const std::string report = Joined(TestReport.begin(), TestReport.end());
    const std::string name = "platform_program: ";
    const std::string tryHelp = "\nTry 'platform_program --help' for more information.\n";
    const std::string noX = name + "the qt renderer cannot start: cannot open the X display \":9377\"";
    const std::string instead = "; writing the report to standard output instead\n";
    struct Case {
        std::vector<std::string> Args;
        std::map<std::string, std::string> Set;
        Output To;
        int Status;
        std::string Out;   // the start of the output, which is empty when this is
        std::string Err;   // the start of the error output; empty: no message of the program
    } const cases[] = {
        {{"--help"}, {}, Output::Pipe, 0, "Usage: platform_program [--help] [--version]\n\nShows a small fixed report", ""},
        {{"--version"}, {}, Output::Pipe, 0, "platform_program (QUIL) 2", ""},
        {{"--help"}, {}, Output::Full, 1, "", name + "cannot write: No space left on device\n"},
        {{"--bogus"}, {}, Output::Pipe, 2, "", name + "unknown option '--bogus'" + tryHelp},
        {{"extra"}, {}, Output::Pipe, 2, "", name + "unexpected argument 'extra'" + tryHelp},
        {{}, {{"QUIL_RENDERER", "bogus"}}, Output::Pipe, 2, "", name + "QUIL_RENDERER=bogus names no renderer (qt, tty or batch)" + tryHelp},
        {{}, {{"QUIL_RENDERER", "BATCH"}}, Output::Pipe, 0, report, ""},
        {{}, {{"QUIL_RENDERER", "tty"}}, Output::Pipe, 1, "", name + "the tty renderer needs a terminal on standard input and output\n"},
        {{}, {}, Output::Full, 1, "", name + "cannot write the report: No space left on device\n"},
        {{}, {}, Output::ReaderGone, 128 + SIGPIPE, "", ""},
        {{}, {}, Output::Closed, 1, "", name + "standard output is closed: the report would be lost\n"},
        {{}, {{"DISPLAY", ":9377"}}, Output::Pipe, 0, report, noX + instead},
        {{}, {{"DISPLAY", ":9377"}, {"QUIL_RENDERER", "qt"}}, Output::Pipe, 1, "", noX + "\n"},
        {{}, {{"WAYLAND_DISPLAY", "quil-no-such-display"}}, Output::Pipe, 0, report, name + "the qt renderer cannot start: "},
        {{}, {{"WAYLAND_DISPLAY", "quil-no-such-display"}, {"QUIL_RENDERER", "Qt"}}, Output::Pipe, 1, "", name + "the qt renderer cannot start: "},
        {{}, {{"QT_QPA_PLATFORM", "offscreen"}}, Output::Pipe, 0, report, ""},
    };
    for (const Case& c : cases) {
        const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM,
            {"QUIL_RENDERER", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}, c.Set, c.Args, c.To);
        const std::string seen = "case " + std::to_string(&c - cases) + "\n" + run.Out + run.Err;
        EXPECT_EQ(run.Status, c.Status) << seen;
        EXPECT_TRUE(run.Out.starts_with(c.Out) && run.Out.empty() == c.Out.empty()) << seen;
        EXPECT_TRUE(c.Err.empty() ? run.Err.find(name) == std::string::npos : run.Err.starts_with(c.Err)) << seen;
    }
}

TEST(Startup, HelpFitsAnEightyColumnTerminal) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {}, {}, {"-h"});
    ASSERT_EQ(run.Status, 0);
    std::size_t start = 0;
    for (std::size_t end; (end = run.Out.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << run.Out.substr(start, end - start);
    for (const char* renderer : {"  qt  ", "  tty  ", "  batch  ", "Ctrl+Q", "signal"})
        EXPECT_NE(run.Out.find(renderer), std::string::npos) << renderer << " in\n" << run.Out;
}

TEST(Startup, ClosedStandardDescriptorsAreOpenedOnTheNullDevice) {
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        const pid_t child = fork();
        if (child == 0) {
            close(fd);
            OpenClosedStandardStreams();
            const int next = open("/dev/null", O_RDONLY);   // must not get the closed one's number
            _exit(next > STDERR_FILENO && fcntl(fd, F_GETFD) != -1 && StandardOutputWasClosed() == (fd == STDOUT_FILENO) ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "descriptor " << fd;
    }
}
