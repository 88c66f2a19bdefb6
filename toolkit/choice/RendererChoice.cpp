#include "choice/RendererChoice.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "batch/BatchRenderer.h"
// Qt 6 and ncurses are not installed for every target: a program may have batch alone.
#ifndef QUIL_RENDERER_QT
#define QUIL_RENDERER_QT 0
#endif
#ifndef QUIL_RENDERER_TTY
#define QUIL_RENDERER_TTY 0
#endif
#if QUIL_RENDERER_QT
#include "qt/QtRenderer.h"
#endif
#if QUIL_RENDERER_TTY
#include "tty/TtyRenderer.h"
#endif

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

constexpr bool Built(RendererKind kind) {
    if (kind == RendererKind::Qt) return QUIL_RENDERER_QT;
    if (kind == RendererKind::Tty) return QUIL_RENDERER_TTY;
    return true;
}

}  // namespace

std::optional<RendererKind> RendererKindNamed(const char* name) {
    const std::string_view n = name != nullptr ? name : "";
    if (n == "qt") return RendererKind::Qt;
    if (n == "tty") return RendererKind::Tty;
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
        const auto kind = RendererKindNamed(forced);
        if (kind && Built(*kind)) return *kind;
        std::fprintf(stderr, kind ? "QUIL_RENDERER=%s is not built into this program; choosing by itself\n"
                                  : "QUIL_RENDERER=%s is not one of qt, tty, batch; choosing by itself\n",
                     forced);
    }
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
    return AutomaticRendererKind(display && Built(RendererKind::Qt),
                                 isatty(STDIN_FILENO) == 1 && Built(RendererKind::Tty),
                                 isatty(STDOUT_FILENO) == 1);
}

std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, const char* programPath) {
    switch (kind) {
#if QUIL_RENDERER_QT
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath);
#endif
#if QUIL_RENDERER_TTY
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
#endif
    default: break;
    }
    (void)programPath;
    return std::make_unique<BatchRenderer>();
}

std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath) {
    return MakeRenderer(ChosenRendererKind(), programPath);
}
