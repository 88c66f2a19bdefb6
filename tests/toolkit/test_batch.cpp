// The batch renderer: one Run, the report on the output stream, the exit status; and the
// standard streams that the start-up makes safe before any renderer is chosen.
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

struct BatchRun {
    std::ostringstream Out;
    std::ostringstream Err;
    TApplication App;
    TFmTest* Form = nullptr;

    int Run() { return Run(Out); }
    int Run(std::ostream& out) {
        App.Initialize(std::make_unique<BatchRenderer>(out, Err));
        App.Title = PlatformTestProgram.ApplicationTitle;
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
    EXPECT_EQ(batch.Out.str(), TestReportText());
    EXPECT_EQ(batch.Err.str(), "");
}

TEST(Batch, AFailedRunWritesWhatItHadThenTheMessageAndFails) {
    TestRunFailure = TestFailure::Standard;
    BatchRun batch;
    const int status = batch.Run();
    TestRunFailure = TestFailure::None;
    EXPECT_NE(status, 0);
    EXPECT_EQ(batch.Out.str(), TestReportText(LinesBeforeFailure));
    EXPECT_EQ(batch.Err.str(), "Test of Platform: suite failed on purpose\n");
}

TEST(Batch, TheProgramChoosesBatchWithoutDisplayOrTerminal) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {"QUIL_RENDERER", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, {});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, TestReportText());
}

TEST(Batch, TheProgramExitsNonZeroWhenTheRunFails) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {}, {{"QUIL_RENDERER", "batch"}, {"QUIL_TEST_FAILURE", "plain"}});
    EXPECT_NE(run.Status, 0);
    EXPECT_EQ(run.Out, TestReportText(LinesBeforeFailure));
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

TEST(StandardStreams, ClosedStandardDescriptorsAreOpenedOnTheNullDevice) {
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
