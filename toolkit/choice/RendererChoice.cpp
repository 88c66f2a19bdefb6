#include "choice/RendererChoice.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "batch/BatchRenderer.h"
#include "qt/QtRenderer.h"
#include "tty/TtyRenderer.h"

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
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
        if (auto kind = RendererKindNamed(forced)) return *kind;
        std::fprintf(stderr, "QUIL_RENDERER=%s is not one of qt, tty, batch; choosing by itself\n", forced);
    }
    const bool display = IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
    return AutomaticRendererKind(display, isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1);
}

std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, const char* programPath) {
    switch (kind) {
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath);
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
    case RendererKind::Batch: break;
    }
    return std::make_unique<BatchRenderer>();
}

std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath) {
    return MakeRenderer(ChosenRendererKind(), programPath);
}
