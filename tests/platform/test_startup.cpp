// The programs' start-up, each case a process of its own: the command line, QUIL_RENDERER,
// where the output goes and which display is named.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>

#include "ProcessRun.h"
#include "TestProgram.h"

// Each process at start: the command line, QUIL_RENDERER, where the output goes, which display
// is named and how the program was started. Every case starts without a renderer forced and
// without a display. Qt's minimalegl platform stands for a display a person sees: nothing asks
// it beforehand, and it cannot start here.
TEST(Startup, CommandLineStreamsAndDisplays) {
    const std::string report = TestReportText();
    const std::string name = "platform_program: ";
    // A file that is not a framebuffer, and one that this user (as root: nobody) cannot write.
    char folder[] = "/tmp/quil-startup-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    chmod(folder, 0755);
    const std::string file = std::string(folder) + "/file";
    const std::string readOnly = std::string(folder) + "/read-only";
    for (const std::string& path : {file, readOnly}) std::ofstream(path) << "";
    chmod(readOnly.c_str(), 0444);
    const std::string cannot = name + "the qt renderer cannot start: ";
    const std::string tryHelp = "\nTry 'platform_program --help' for more information.\n";
    const std::string noX = cannot + "cannot open the X display \":9377\"";
    const std::string instead = "; writing the report to standard output instead\n";
    struct Case {
        std::vector<std::string> Args;
        std::map<std::string, std::string> Set;
        Output To;
        int Status;
        std::string Out;   // the start of the output, which is empty when this is
        std::string Err;   // the start of a line of the error output (Qt's plugins may say more
                           // before it); empty: no message of the program
        Start From = {};
    } const cases[] = {
        {{"--help"}, {}, Output::Pipe, 0, "Usage: platform_program [--help] [--version]\n\nShows a small fixed report", ""},
        {{"-h"}, {}, Output::Pipe, 0, "Usage: platform_program [--help] [--version]\n\nShows a small fixed report", ""},
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
        {{}, {{"WAYLAND_DISPLAY", "quil-no-such-display"}}, Output::Pipe, 0, report, cannot},
        {{}, {{"WAYLAND_DISPLAY", "quil-no-such-display"}, {"QUIL_RENDERER", "Qt"}}, Output::Pipe, 1, "", cannot},
        {{}, {{"QT_QPA_PLATFORM", "offscreen"}}, Output::Pipe, 0, report, ""},
        {{}, {{"QT_QPA_PLATFORM", "minimal"}}, Output::Pipe, 0, report, ""},
        {{}, {{"QT_QPA_PLATFORM", "offscreen"}, {"QUIL_RENDERER", "qt"}}, Output::Pipe, 1, "",
         cannot + "QT_QPA_PLATFORM=offscreen shows the window to nobody\n"},
        {{}, {{"QT_QPA_PLATFORM", "minimal"}, {"QUIL_RENDERER", "qt"}}, Output::Pipe, 1, "",
         cannot + "QT_QPA_PLATFORM=minimal shows the window to nobody\n"},
        {{}, {{"QT_QPA_PLATFORM", "linuxfb:fb=" + file}, {"QUIL_RENDERER", "qt"}}, Output::Pipe, 1, "",
         cannot + file + " is not a framebuffer\n"},
        {{}, {{"QT_QPA_PLATFORM", "linuxfb:fb=" + file}}, Output::Pipe, 0, report,
         cannot + file + " is not a framebuffer" + instead},
        {{}, {{"QT_QPA_PLATFORM", "linuxfb:fb=" + readOnly}, {"QUIL_RENDERER", "qt"}}, Output::Pipe, 1, "",
         cannot + "cannot open the framebuffer " + readOnly + ": Permission denied\n", {false, true}},
        // Typed at a prompt with the output sent on (quadrun | less): the report goes there. From
        // a launcher the desktop window opens, here to fail.
        {{}, {{"QT_QPA_PLATFORM", "minimalegl"}}, Output::Pipe, 0, report, "", {true}},
        {{}, {{"QT_QPA_PLATFORM", "minimalegl"}}, Output::Pipe, 1, "", cannot},
    };
    for (const Case& c : cases) {
        const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM,
            {"QUIL_RENDERER", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}, c.Set, c.Args, c.To,
            c.From);
        const std::string seen = "case " + std::to_string(&c - cases) + "\n" + run.Out + run.Err;
        EXPECT_EQ(run.Status, c.Status) << seen;
        EXPECT_TRUE(run.Out.starts_with(c.Out) && run.Out.empty() == c.Out.empty()) << seen;
        EXPECT_TRUE(c.Err.empty() ? run.Err.find(name) == std::string::npos
                                : ("\n" + run.Err).find("\n" + c.Err) != std::string::npos) << seen;
    }
    std::filesystem::remove_all(folder);
}

TEST(Startup, HelpFitsAnEightyColumnTerminal) {
    const ProcessResult run = RunProgram(QUIL_TEST_PROGRAM, {}, {}, {"-h"});
    ASSERT_EQ(run.Status, 0);
    std::size_t start = 0;
    for (std::size_t end; (end = run.Out.find('\n', start)) != std::string::npos; start = end + 1)
        EXPECT_LE(end - start, 80u) << run.Out.substr(start, end - start);
    for (const char* renderer : {"  qt  ", "  tty  ", "  batch  ", "Tab, Shift+Tab", "Ctrl+Q", "signal"})
        EXPECT_NE(run.Out.find(renderer), std::string::npos) << renderer << " in\n" << run.Out;
}
