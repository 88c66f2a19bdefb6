// The programs' start-up, each case a process of its own: the command line, QUIL_RENDERER,
// where the output goes and which display is named.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "ProcessRun.h"
#include "TestProgram.h"

namespace {

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

}  // namespace

// Each process at start: the command line, QUIL_RENDERER, where the output goes and which
// display is named. Every case starts without a renderer forced and without a display.
TEST(Startup, CommandLineStreamsAndDisplays) {
    const std::string report = Joined(TestReport);
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
        {{"--version"}, {}, Output::Pipe, 0, "platform_program (QUIL) 1", ""},
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
