// Which renderer shows the program, chosen once at start-up.
//
// QUIL_RENDERER=qt|tty|batch forces one. Otherwise: qt when a display is there (DISPLAY or
// WAYLAND_DISPLAY set, or QT_QPA_PLATFORM naming a Qt platform), tty when standard input and
// standard output are both terminals, batch for everything else. On Windows the choice is
// between win32, the automatic one, and batch.
#pragma once

#include <memory>
#include <optional>

#include "widgets/Application.h"

enum class RendererKind { Qt, Tty, Batch, Win32 };

// The kind a QUIL_RENDERER value names; nothing for an unknown value.
std::optional<RendererKind> RendererKindNamed(const char* name);
RendererKind AutomaticRendererKind(bool display, bool stdinTerminal, bool stdoutTerminal);

// The choice for this process; an unknown QUIL_RENDERER is reported on standard error and the
// automatic choice made instead.
RendererKind ChosenRendererKind();
std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, const char* programPath);
std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath);
