/// \file
/// The library's one error report and the message box that shows it.
///
/// ShowMessageBox takes what the library hands a message box: owner window, text, caption and
/// style, and shows it through the active handler. By default that is the system's own message
/// box on Windows and a line on standard error elsewhere. A program that shows its own modal
/// dialogs (each of the test programs' windows does) installs a handler with
/// SetMessageBoxHandler and restores the previous one when it closes. Texts are UTF-8.
///
/// On Windows, MessageBoxA, MB_OK, MB_ICONERROR and IDOK are the system's (<windows.h>), so a
/// program may include this header next to the Windows headers. Elsewhere this header stands in
/// for them.
#pragma once

#include "../QuilExport.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace quil {

#ifndef _WIN32
constexpr unsigned MB_OK = 0x00000000u;         ///< Style: a single OK button.
constexpr unsigned MB_ICONERROR = 0x00000010u;  ///< Style: the error icon (and an OK button).

/// Result of a box closed with its OK button.
constexpr int IDOK = 1;

/// The stand-in for the system's message box: ShowMessageBox under the designed name.
QUIL_EXPORT int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style);
#endif

/// What ShowMessageBox calls: the same arguments and result.
using MessageBoxHandler = int (*)(void* owner, const char* text, const char* caption,
                                  unsigned style);

/// Shows a modal notice through the active handler and returns when it has been closed.
QUIL_EXPORT int ShowMessageBox(void* owner, const char* text, const char* caption,
                               unsigned style);

/// Installs handler (null restores the default); returns the one it replaces. Not for use while
/// another thread may report.
QUIL_EXPORT MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

#ifdef _WIN32
/// The system's message box with UTF-8 text and caption (MessageBoxW). Without an owner, the
/// calling thread's active window owns it, if it has one.
QUIL_EXPORT int SystemMessageBox(void* owner, const char* text, const char* caption,
                                 unsigned style);
#endif

}  // namespace quil

#ifndef QUIL_NO_GLOBAL_NAMES
#ifndef _WIN32
using quil::MB_OK;
using quil::MB_ICONERROR;
using quil::IDOK;
using quil::MessageBoxA;
#else
using quil::SystemMessageBox;
#endif
using quil::MessageBoxHandler;
using quil::ShowMessageBox;
using quil::SetMessageBoxHandler;
#endif
