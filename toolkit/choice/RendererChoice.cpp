#include "choice/RendererChoice.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "batch/BatchRenderer.h"
#ifdef _WIN32
#include "win32/Win32Renderer.h"
#else
#include <unistd.h>

#include "qt/QtRenderer.h"
#include "tty/TtyRenderer.h"
#endif

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

#ifdef _WIN32
constexpr const char* KnownNames = "win32, batch";
#else
constexpr const char* KnownNames = "qt, tty, batch";
#endif

}  // namespace

std::optional<RendererKind> RendererKindNamed(const char* name) {
    const std::string_view n = name != nullptr ? name : "";
#ifdef _WIN32
    if (n == "win32") return RendererKind::Win32;
#else
    if (n == "qt") return RendererKind::Qt;
    if (n == "tty") return RendererKind::Tty;
#endif
    if (n == "batch") return RendererKind::Batch;
    return std::nullopt;
}

RendererKind AutomaticRendererKind(bool display, bool stdinTerminal, bool stdoutTerminal) {
    if (display) return RendererKind::Qt;
    if (stdinTerminal && stdoutTerminal) return RendererKind::Tty;
    return RendererKind::Batch;
}

RendererKind ChosenRendererKind() {
    if (IsSet("QUIL_RENDERER")) {
        const char* forced = std::getenv("QUIL_RENDERER");
        if (auto kind = RendererKindNamed(forced)) return *kind;
        std::fprintf(stderr, "QUIL_RENDERER=%s is not one of %s; choosing by itself\n", forced, KnownNames);
    }
#ifdef _WIN32
    return RendererKind::Win32;
#else
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
    return AutomaticRendererKind(display, isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1);
#endif
}

std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, [[maybe_unused]] const char* programPath) {
    switch (kind) {
#ifdef _WIN32
    case RendererKind::Win32: return std::make_unique<Win32Renderer>();
    case RendererKind::Qt:
    case RendererKind::Tty: break;
    case RendererKind::Batch: UseParentConsole(); break;
#else
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath);
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
    case RendererKind::Win32:
    case RendererKind::Batch: break;
#endif
    }
    return std::make_unique<BatchRenderer>();
}

std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath) {
    return MakeRenderer(ChosenRendererKind(), programPath);
}
