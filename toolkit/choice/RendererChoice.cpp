#include "choice/RendererChoice.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "batch/BatchRenderer.h"
#include "choice/StandardStreams.h"
#include "qt/QtRenderer.h"
#include "tty/TtyRenderer.h"

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
    switch (kind) {
    case RendererKind::Qt: return std::make_unique<QtRenderer>(programPath, automatic);
    case RendererKind::Tty: return std::make_unique<TtyRenderer>();
    case RendererKind::Batch: break;
    }
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
