#include "Startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "FmMain.h"
#include "choice/RendererChoice.h"
#include "choice/StandardStreams.h"
#include "widgets/Application.h"

namespace {

constexpr int Failed = 1;
constexpr int Misused = 2;

std::string Help(const std::string& name, const ProgramDescriptor& program) {
    return "Usage: " + name + " [--help] [--version]\n\n" + program.Summary + "\n\n"
           "The report is shown by the first renderer that can start here:\n"
           "  qt     a desktop window, where a display that a person sees can be opened\n"
           "  tty    the same window in the terminal, where standard input and output are a\n"
           "         terminal that can place the cursor\n"
           "  batch  no window: one Run, the report on standard output\n"
           "QUIL_RENDERER=qt, tty or batch (in any letter case) forces one.\n"
           "\n"
           "Keys in the window:\n"
           "  r, Enter                   Run\n"
           "  e, Escape                  Exit (in a terminal a lone Escape; Alt chords do nothing)\n"
           "  arrows, Page Up/Down,      scroll the report (in the desktop window Home and End go\n"
           "  Home, End                  to the line's ends, Ctrl-Home and Ctrl-End to the report's)\n"
           "  Ctrl-Q                     close the window\n"
           "  Ctrl-L, Ctrl-Z, Ctrl-C     in a terminal: redraw, suspend, interrupt\n"
           "\n"
           "Environment: QUIL_RENDERER; NO_COLOR (a terminal window without colours); DISPLAY,\n"
           "WAYLAND_DISPLAY and QT_QPA_PLATFORM (where the desktop window opens).\n"
           "\n"
           "Exit status: 0 when done; 1 when no renderer could start, the report could not be\n"
           "written or a batch Run failed; 2 for a wrong option or QUIL_RENDERER value; 128+N\n"
           "when signal N ended the program.\n";
}

// Writes text to standard output; a text that cannot be written is reported as a failure.
int Print(const std::string& name, const std::string& text) {
    std::fputs(text.c_str(), stdout);
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
    std::fprintf(stderr, "%s: cannot write: %s\n", name.c_str(), std::strerror(errno != 0 ? errno : EIO));
    return Failed;
}

int Refuse(const std::string& name, const std::string& why) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name.c_str(), why.c_str(),
                 name.c_str());
    return Misused;
}

}  // namespace

int RunTestPlatform(int argc, char* argv[], const ProgramDescriptor& program) {
    OpenClosedStandardStreams();
    const char* path = argc > 0 && argv[0] != nullptr ? argv[0] : "quil";
    const std::string name = ProgramNameOf(path);
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && (arg == "--help" || arg == "-h")) return Print(name, Help(name, program));
        if (options && arg == "--version") return Print(name, name + " (QUIL) " QUIL_VERSION "\n");
        if (options && arg == "--") {
            options = false;
            continue;
        }
        if (options && arg.starts_with("-") && arg != "-") return Refuse(name, "unknown option '" + std::string(arg) + "'");
        return Refuse(name, "unexpected argument '" + std::string(arg) + "'");
    }

    try {
        ForcedRendererKind();
    } catch (const std::invalid_argument& wrong) {
        return Refuse(name, wrong.what());
    }

    TApplication Application;
    Application.ExeName = path;
    try {
        Application.Initialize(ChooseRenderer(path));
        CreateProgramWindow(Application, program);
        Application.Run();
    } catch (const RendererUnavailable& unavailable) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), unavailable.what());
        return Failed;
    } catch (...) {
        Application.HandleException();
    }
    return Application.ExitCode;
}
