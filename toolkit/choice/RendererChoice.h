// Which renderer shows the program, chosen once at start-up.
//
// QUIL_RENDERER=win32|web|qt|tty|batch (in any letter case) forces one, and a forced renderer
// that cannot start is an error. Otherwise the first of win32, web, qt, tty and batch that can
// start here is taken: win32 on Windows; web in a browser's page (under Node.js there is none);
// qt when a display that a person sees can be opened and the program was not typed at a prompt
// with its output redirected (standard input a terminal, standard output not: that output wants
// the report), tty when standard input and output are a terminal that can place the cursor,
// batch for everything else. Where one is passed over for
// a reason the user would want to know (a display named but not there, an unknown terminal
// type), one line on standard error says why.
// A program never chooses a renderer it was built without (win32 exists only on Windows, web only
// with Emscripten; Qt 6 and ncurses may not be installed for a cross target), and forcing one is
// an error.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "widgets/Application.h"

enum class RendererKind { Qt, Tty, Batch, Win32, Web };

// The part of --help about the renderers this program was built with, their keys and the
// environment they read; no line is wider than 80 columns.
std::string RendererHelp();
// The same for a program built with the renderers listed (and batch, which every program has).
std::string RendererHelp(const std::vector<RendererKind>& renderers);

// The kind a QUIL_RENDERER value names, in any letter case; nothing for an unknown value.
std::optional<RendererKind> RendererKindNamed(std::string_view name);

// What QUIL_RENDERER forces, nothing when it is unset or empty; throws std::invalid_argument,
// with the message to show, for a value that names no renderer.
std::optional<RendererKind> ForcedRendererKind();

// The renderer of kind, or RendererUnavailable when it cannot start here. A display that nobody
// sees (Qt's offscreen and minimal platforms) is no display; passed over by the automatic choice
// without a word, it is an error when qt is forced.
std::unique_ptr<TRenderer> MakeRenderer(RendererKind kind, const char* programPath, bool automatic);

// The forced renderer, or the first of the automatic order that starts. Throws
// std::invalid_argument for an unknown QUIL_RENDERER value and RendererUnavailable when the
// renderer to use cannot start.
std::unique_ptr<TRenderer> ChooseRenderer(const char* programPath);
