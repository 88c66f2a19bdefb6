#include "choice/RendererChoice.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchRenderer.h"
#include "choice/StandardStreams.h"
// Each renderer but batch is built only where its library is: Qt 6 and ncurses are not installed
// for every target, native Windows controls exist only on Windows, and a page only for a program
// built with Emscripten.
#ifndef QUIL_RENDERER_QT
#define QUIL_RENDERER_QT 0
#endif
#ifndef QUIL_RENDERER_TTY
#define QUIL_RENDERER_TTY 0
#endif
#ifndef QUIL_RENDERER_WIN32
#define QUIL_RENDERER_WIN32 0
#endif
#ifndef QUIL_RENDERER_WEB
#define QUIL_RENDERER_WEB 0
#endif
#if QUIL_RENDERER_QT
#include "qt/QtRenderer.h"
#endif
#if QUIL_RENDERER_TTY
#include "tty/TtyRenderer.h"
#endif
#if QUIL_RENDERER_WIN32
#include "win32/Win32Renderer.h"
#endif
#if QUIL_RENDERER_WEB
#include "web/WebRenderer.h"
#endif

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

struct KindName {
    RendererKind kind;
    const char* name;
};

// Every renderer, in the order of the automatic choice.
constexpr KindName kRenderers[] = {
    {RendererKind::Win32, "win32"},
    {RendererKind::Web, "web"},
    {RendererKind::Qt, "qt"},
    {RendererKind::Tty, "tty"},
    {RendererKind::Batch, "batch"},
};

const char* NameOf(RendererKind kind) {
    for (const KindName& r : kRenderers)
        if (r.kind == kind) return r.name;
    return "?";
}

// How the user is told what the automatic choice took instead.
const char* Instead(RendererKind kind) {
    switch (kind) {
    case RendererKind::Win32:
    case RendererKind::Qt: return "opening the desktop window instead";
    case RendererKind::Web: return "showing the window in the page instead";
    case RendererKind::Tty: return "showing the window in the terminal instead";
    case RendererKind::Batch: break;
    }
    return "writing the report to standard output instead";
}

constexpr bool Built(RendererKind kind) {
    switch (kind) {
    case RendererKind::Win32: return QUIL_RENDERER_WIN32;
    case RendererKind::Web: return QUIL_RENDERER_WEB;
    case RendererKind::Qt: return QUIL_RENDERER_QT;
    case RendererKind::Tty: return QUIL_RENDERER_TTY;
    case RendererKind::Batch: break;
    }
    return true;
}

// "qt, tty or batch": the renderers that has(kind) counts, for messages.
template <class Has>
std::string NamesOf(const Has& has) {
    std::vector<const char*> names;
    for (const KindName& r : kRenderers)
        if (has(r.kind)) names.push_back(r.name);
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
        text += names[i];
    }
    return text;
}

// "qt, tty or batch" for the renderers this program has.
std::string BuiltNames() { return NamesOf(Built); }

}  // namespace

std::string RendererHelp() {
    std::vector<RendererKind> built;
    for (const KindName& r : kRenderers)
        if (Built(r.kind)) built.push_back(r.kind);
    return RendererHelp(built);
}

std::string RendererHelp(const std::vector<RendererKind>& renderers) {
    // Within the text, Built asks the renderers given rather than this program's.
    const auto Built = [&renderers](RendererKind kind) {
        return kind == RendererKind::Batch || std::find(renderers.begin(), renderers.end(), kind) != renderers.end();
    };
    const bool desktop = Built(RendererKind::Win32) || Built(RendererKind::Web) || Built(RendererKind::Qt);
    const bool terminal = Built(RendererKind::Tty);
    std::string text = "The report is shown by the first renderer that can start here:\n";
    if (Built(RendererKind::Win32)) text += "  win32  the program's window\n";
    if (Built(RendererKind::Web)) text += "  web    the window in the page, where a browser opened the program\n";
    if (Built(RendererKind::Qt))
        text += "  qt     a desktop window, where a display that a person sees can be opened\n";
    if (terminal)
        text += "  tty    the same window in the terminal, where standard input and output\n"
                "         are a terminal that can place the cursor\n";
    text += "  batch  no window: one Run, the report on standard output\n"
            "QUIL_RENDERER=" + NamesOf(Built) + " (in any letter case) forces one.\n";
    if (!desktop && !terminal) return text;

    text += "\nKeys in the window (letters in either case):\n"
            "  r, Enter                Run\n";
    text += terminal ? "  e, Escape               Exit (in a terminal only a lone Escape)\n"
                     : "  e, Escape               Exit\n";
    if (desktop)
        text += "  Tab, Shift+Tab          move between Exit, Run and the report\n"
                "  Space                   press the button that has the focus\n";
    text += "  arrows, Page Up/Down    move in the report\n";
    if (desktop)
        text += "  Home, End               the line's start and end; with Ctrl the report's\n";
    if (terminal)
        text += desktop ? "                          (in a terminal the report's top and bottom)\n"
                        : "  Home, End               the report's top and bottom\n";
    if (desktop) text += "  Ctrl+A, Ctrl+C          select all of the report, copy it\n";
    text += "  Ctrl+Q                  close the window\n";
    if (terminal) text += "  Ctrl+L, Ctrl+Z, Ctrl+C  in a terminal: redraw, suspend, interrupt\n";

    text += "\nEnvironment: QUIL_RENDERER";
    if (terminal) text += "; NO_COLOR (a terminal window without colours)";
    if (Built(RendererKind::Qt))
        text += ";\nDISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM (where the desktop window opens)";
    return text + ".\n";
}

std::optional<RendererKind> RendererKindNamed(std::string_view name) {
    for (const KindName& r : kRenderers)
        if (SameLetters(name, r.name)) return r.kind;
    return std::nullopt;
}

std::optional<RendererKind> ForcedRendererKind() {
    const char* forced = std::getenv("QUIL_RENDERER");
    if (forced == nullptr || *forced == '\0') return std::nullopt;
    if (auto kind = RendererKindNamed(forced)) return kind;
    throw std::invalid_argument(std::string("QUIL_RENDERER=") + forced + " names no renderer (" +
                                BuiltNames() + ")");
}

std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, [[maybe_unused]] const char* programPath,
                                        bool automatic) {
    if (!Built(kind)) {
        // Nobody asked for it when the choice is automatic, so there is nothing to say.
        throw RendererUnavailable(std::string("the ") + NameOf(kind) +
                                      " renderer is not built into this program",
                                  automatic);
    }
    switch (kind) {
#if QUIL_RENDERER_WIN32
    case RendererKind::Win32: return std::make_unique<Win32Renderer>();
#endif
#if QUIL_RENDERER_WEB
    case RendererKind::Web: return std::make_unique<WebRenderer>();
#endif
#if QUIL_RENDERER_QT
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath);
#endif
#if QUIL_RENDERER_TTY
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
#endif
    default: break;
    }
    UseParentConsole();
    if (StandardOutputWasClosed()) throw RendererUnavailable("standard output is closed: the report would be lost");
    return std::make_unique<BatchRenderer>();
}

std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath) {
    if (const auto forced = ForcedRendererKind()) return MakeRenderer(*forced, programPath, false);
    std::vector<std::string> passedOver;
    for (const KindName& r : kRenderers) {
        // Typed at a prompt with the output sent to a file or a pipe, the report goes there.
        if (r.kind == RendererKind::Qt && OutputRedirectedAtAPrompt()) continue;
        try {
            auto renderer = MakeRenderer(r.kind, programPath, true);
            const std::string name = ProgramNameOf(programPath);
            for (const std::string& why : passedOver)
                std::fprintf(stderr, "%s: %s; %s\n", name.c_str(), why.c_str(), Instead(r.kind));
            return renderer;
        } catch (const RendererUnavailable& unavailable) {
            if (r.kind == RendererKind::Batch) throw;
            if (!unavailable.Quiet()) passedOver.emplace_back(unavailable.what());
        }
    }
    return nullptr;   // not reached: batch either starts or throws
}
