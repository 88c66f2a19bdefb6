#include "choice/RendererChoice.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchRenderer.h"
#include "choice/StandardStreams.h"
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

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// How the user is told what the automatic choice took instead.
const char* Instead(RendererKind kind) {
    switch (kind) {
    case RendererKind::Qt: return "opening the desktop window instead";
    case RendererKind::Tty: return "showing the window in the terminal instead";
    case RendererKind::Batch: break;
    }
    return "writing the report to standard output instead";
}

constexpr bool Built(RendererKind kind) {
    if (kind == RendererKind::Qt) return QUIL_RENDERER_QT;
    if (kind == RendererKind::Tty) return QUIL_RENDERER_TTY;
    return true;
}

}  // namespace

std::optional<RendererKind> RendererKindNamed(std::string_view name) {
    if (SameLetters(name, "qt")) return RendererKind::Qt;
    if (SameLetters(name, "tty")) return RendererKind::Tty;
    if (SameLetters(name, "batch")) return RendererKind::Batch;
    return std::nullopt;
}

std::optional<RendererKind> ForcedRendererKind() {
    const char* forced = std::getenv("QUIL_RENDERER");
    if (forced == nullptr || *forced == '\0') return std::nullopt;
    if (auto kind = RendererKindNamed(forced)) return kind;
    throw std::invalid_argument(std::string("QUIL_RENDERER=") + forced + " names no renderer (qt, tty or batch)");
}

std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, const char* programPath, bool automatic) {
    if (!Built(kind)) {
        // Nobody asked for it when the choice is automatic, so there is nothing to say.
        throw RendererUnavailable(std::string("the ") + (kind == RendererKind::Qt ? "qt" : "tty") +
                                      " renderer is not built into this program",
                                  automatic);
    }
    switch (kind) {
#if QUIL_RENDERER_QT
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath, automatic);
#endif
#if QUIL_RENDERER_TTY
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
#endif
    default: break;
    }
    (void)programPath;
    (void)automatic;
    if (StandardOutputWasClosed()) throw RendererUnavailable("standard output is closed: the report would be lost");
    return std::make_unique<BatchRenderer>();
}

std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath) {
    if (const auto forced = ForcedRendererKind()) return MakeRenderer(*forced, programPath, false);
    std::vector<std::string> passedOver;
    for (RendererKind kind : {RendererKind::Qt, RendererKind::Tty, RendererKind::Batch}) {
        try {
            auto renderer = MakeRenderer(kind, programPath, true);
            const std::string name = ProgramNameOf(programPath);
            for (const std::string& why : passedOver)
                std::fprintf(stderr, "%s: %s; %s\n", name.c_str(), why.c_str(), Instead(kind));
            return renderer;
        } catch (const RendererUnavailable& unavailable) {
            if (kind == RendererKind::Batch) throw;
            if (!unavailable.Quiet()) passedOver.emplace_back(unavailable.what());
        }
    }
    return nullptr;   // not reached: batch either starts or throws
}
