#include "Startup.h"

#include <algorithm>
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

constexpr std::size_t HelpWidth = 80;

// Text as lines of at most width columns, broken between words; its own line breaks go.
std::string Wrapped(const std::string& text, std::size_t width) {
    std::string lines;
    std::size_t column = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find_first_of(" \n", start), text.size());
        const std::size_t length = end - start;
        if (length > 0) {
            if (column > 0 && column + 1 + length > width) {
                lines += '\n';
                column = 0;
            }
            if (column > 0) {
                lines += ' ';
                ++column;
            }
            lines.append(text, start, length);
            column += length;
        }
        start = end + 1;
    }
    return lines;
}

// Writes text to standard output; a text that cannot be written is reported as a failure.
int Print(const std::string& name, const std::string& text) {
    UseParentConsole();
    std::fputs(text.c_str(), stdout);
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return 0;
    std::fprintf(stderr, "%s: cannot write: %s\n", name.c_str(), std::strerror(errno != 0 ? errno : EIO));
    return Failed;
}

int Refuse(const std::string& name, const std::string& why) {
    UseParentConsole();
    std::fprintf(stderr, "%s: %s\nTry '%s --help' for more information.\n", name.c_str(), why.c_str(),
                 name.c_str());
    return Misused;
}

#ifdef _WIN32
constexpr bool ForWindows = true;
#else
constexpr bool ForWindows = false;
#endif

}  // namespace

std::string HelpText(const std::string& name, const ProgramDescriptor& program, bool forWindows) {
    return "Usage: " + name + " [--help] [--version]\n\n" + Wrapped(program.Summary, HelpWidth) +
           "\n\n" + RendererHelp() +
           "\n"
           "Exit status: 0 when done; 1 when no renderer could start, the report could not\n"
           "be written or a batch Run failed; 2 for a wrong option or QUIL_RENDERER value" +
           (forWindows ? ".\n" : ";\n128+N when signal N ended the program.\n");
}

int RunTestPlatform(int argc, char* argv[], const ProgramDescriptor& program) {
    OpenClosedStandardStreams();
    const char* path = argc > 0 && argv[0] != nullptr ? argv[0] : "quil";
    const std::string name = ProgramNameOf(path);
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && (arg == "--help" || arg == "-h")) return Print(name, HelpText(name, program, ForWindows));
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
